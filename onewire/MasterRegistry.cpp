#include "MasterRegistry.h"

#include "Ds2480bMaster.h"
#include "Ds2490Master.h"
#include "LibusbTransport.h"
#include "SimMaster.h"

namespace onewire {

namespace {

std::unique_ptr<OneWireMaster> openSerial(const PortName& port, std::string& error) {
    return Ds2480bMaster::open(port.device, error);
}

// Serial port 0 is the device of the chosen port; there is no other.
bool serialPort(int number, PortName& out) {
    std::string source, error;
    const auto chosen = PortName::current(source, error);
    if (number != 0 || !chosen || chosen->kind != PortName::Kind::Serial)
        return false;
    out = *chosen;
    return true;
}

std::unique_ptr<OneWireMaster> openUsb(const PortName& port, std::string& error) {
    std::string name;
    auto usb = LibusbTransport::open(port.index, name, error);
    if (!usb)
        return nullptr;
    auto master = std::make_unique<Ds2490Master>(std::move(usb), name);
    if (!master->init(error))
        return nullptr;
    return master;
}

// USB port N is the N-th DS2490 found.
bool usbPort(int number, PortName& out) {
    out = PortName{};
    out.kind = PortName::Kind::Usb;
    out.index = number;
    return true;
}

const MasterRow kRows[] = {
    {.kind = PortName::Kind::Serial,
     .name = "serial",
     .portType = 5,
     .version = "DS2480B serial adapter (DS9097U), Version 4.00",
     .open = openSerial,
     .port = serialPort},
    {.kind = PortName::Kind::Usb,
     .name = "usb",
     .portType = 6,
     .version = "DS9490 USB adapter (DS2490, libusb-1.0), Version 4.00",
     .open = openUsb,
     .port = usbPort},
    {.kind = PortName::Kind::Sim,
     .name = "sim",
     .portType = 15,
     .version = "Simulated USB 1-Wire adapter, Version 4.00",
     .open = onewiresim::SimMaster::open,
     .port = onewiresim::SimMaster::port,
     .present = onewiresim::SimMaster::present,
     .setup = onewiresim::SimMaster::setup,
     .place = onewiresim::SimMaster::place,
     .pace = onewiresim::SimMaster::pace},
};

} // namespace

std::span<const MasterRow> MasterRegistry::rows() {
    return kRows;
}

const MasterRow* MasterRegistry::byKind(PortName::Kind kind) {
    for (const MasterRow& row : kRows)
        if (row.kind == kind)
            return &row;
    return nullptr;
}

const MasterRow* MasterRegistry::byName(const std::string& name) {
    for (const MasterRow& row : kRows)
        if (name == row.name)
            return &row;
    return nullptr;
}

const MasterRow* MasterRegistry::byPortType(int16_t type) {
    for (const MasterRow& row : kRows)
        if (row.portType == type)
            return &row;
    return nullptr;
}

PortName MasterRegistry::resolve(const PortName& port) {
    if (port.kind != PortName::Kind::Auto)
        return port;
    std::string error;
    PortName resolved;
    resolved.kind =
        LibusbTransport::list(error).empty() ? PortName::Kind::Sim : PortName::Kind::Usb;
    return resolved;
}

std::unique_ptr<OneWireMaster> MasterRegistry::open(const PortName& port, std::string& error) {
    const PortName p = resolve(port);
    const MasterRow* row = byKind(p.kind);
    if (!row) {
        error = "no master serves " + p.text();
        return nullptr;
    }
    return row->open(p, error);
}

} // namespace onewire
