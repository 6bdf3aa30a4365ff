#include "MasterFactory.h"

#include "Ds2480bMaster.h"
#include "Ds2490Master.h"
#include "LibusbTransport.h"
#include "SimMaster.h"

namespace onewire {

PortName MasterFactory::resolve(const PortName& port) {
    if (port.kind != PortName::Kind::Auto)
        return port;
    std::string error;
    PortName resolved;
    resolved.kind =
        LibusbTransport::list(error).empty() ? PortName::Kind::Sim : PortName::Kind::Usb;
    return resolved;
}

int16_t MasterFactory::portType(const PortName& port) {
    switch (resolve(port).kind) {
    case PortName::Kind::Usb:
        return kUsbPortType;
    case PortName::Kind::Serial:
        return kSerialPortType;
    default:
        return kSimPortType;
    }
}

int16_t MasterFactory::portNumber(const PortName& port) {
    return port.kind == PortName::Kind::Usb ? static_cast<int16_t>(port.index) : 0;
}

std::unique_ptr<OneWireMaster> MasterFactory::open(const PortName& port, std::string& error) {
    const PortName p = resolve(port);
    switch (p.kind) {
    case PortName::Kind::Serial:
        return Ds2480bMaster::open(p.device, error);
    case PortName::Kind::Usb: {
        std::string name;
        auto usb = LibusbTransport::open(p.index, name, error);
        if (!usb)
            return nullptr;
        auto master = std::make_unique<Ds2490Master>(std::move(usb), name);
        if (!master->init(error))
            return nullptr;
        return master;
    }
    default: {
        onewiresim::SimAdapter adapter(onewiresim::SimAdapter::defaultDir());
        adapter.ensureCreated(error);
        if (!adapter.usable()) {
            error = "the simulated adapter folder " + adapter.dir().string() + " cannot be used" +
                    (error.empty() ? "" : ": " + error);
            return nullptr;
        }
        error.clear();
        return std::make_unique<onewiresim::SimMaster>(std::move(adapter));
    }
    }
}

} // namespace onewire
