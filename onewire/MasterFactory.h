#pragma once

#include "OneWireMaster.h"
#include "PortName.h"

#include <memory>
#include <string>

namespace onewire {

// Turns a port name into its 1-Wire master: the simulated adapter folder, a
// DS2480B on a serial device or the N-th DS2490 on the USB.
class MasterFactory {
public:
    // `auto` becomes the first DS2490 when one is plugged in, else `sim`.
    static PortName resolve(const PortName& port);
    static int16_t portType(const PortName& port);
    static int16_t portNumber(const PortName& port);

    // The master, opened and answering; nullptr and `error` otherwise.
    static std::unique_ptr<OneWireMaster> open(const PortName& port, std::string& error);
};

} // namespace onewire
