#pragma once

#include "OneWireMaster.h"
#include "PortName.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace onewire {

// The calls whose time a master may set itself.
enum class BusCall { Setup, Search };

// One kind of 1-Wire master as the driver above sees it. The hooks below
// `port` are optional (null): a master without them has no port driver to
// miss, no set-up answer of its own, no place that moves and no bus time to
// wait out.
struct MasterRow {
    PortName::Kind kind;
    const char* name;    // the port name's word: sim, usb, serial
    int16_t portType;    // the TMEX port type it is served as
    const char* version; // its type version text
    // The master, opened and answering; nullptr and `error` otherwise.
    std::unique_ptr<OneWireMaster> (*open)(const PortName& port, std::string& error);
    // The port that port number `number` of this type names now; false for none.
    bool (*port)(int number, PortName& out);

    // False while the master's port driver is missing.
    bool (*present)() = nullptr;
    // What a set-up of port `number` answers before the master is asked.
    std::optional<int> (*setup)(int number) = nullptr;
    // Where the port stands now; a master opened for another place is opened again.
    std::string (*place)() = nullptr;
    // Waits out the time `call` takes on this bus, `spent` of which has passed.
    void (*pace)(BusCall call, std::chrono::microseconds spent) = nullptr;
};

// Every master the driver serves, one row each, in one table.
class MasterRegistry {
public:
    static std::span<const MasterRow> rows();
    static const MasterRow* byKind(PortName::Kind kind);
    static const MasterRow* byName(const std::string& name);
    static const MasterRow* byPortType(int16_t type);

    // `auto` becomes the first DS2490 when one is plugged in, else `sim`.
    static PortName resolve(const PortName& port);
    // The master of a port name, through its row.
    static std::unique_ptr<OneWireMaster> open(const PortName& port, std::string& error);
};

} // namespace onewire
