#pragma once

#include "UsbTransport.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// A stand-in for libusb-1.0 with the functions the DS2490 transport calls,
// linked in its place into a test build of the transport. It keeps a log of
// every call ("claim_interface 0", "control 01 0442 0000", "bulk 83"), lets any
// call fail with a libusb error, and hands the transfers to a device model
// (the bridge model). A stalled endpoint stays halted until it is cleared, as
// on a real bus.
class LibusbStandIn {
public:
    struct Device {
        uint8_t bus = 1;
        uint8_t address = 5;
        uint16_t vendor = 0x04FA;
        uint16_t product = 0x2490;
    };

    static LibusbStandIn& instance();
    // One DS2490 on bus 1 device 5, configured, the kernel's driver bound; no
    // model behind it, no failures, an empty log.
    void reset();

    // `call` (a log entry, e.g. "set_interface_alt_setting 0 3") gives `error`
    // the next `times` times it is made, or always with -1.
    void fail(const std::string& call, int error, int times = -1);
    // The log without the transfers: the opening and closing sequence.
    std::vector<std::string> setupCalls() const;
    // The log entries from `from` on.
    std::vector<std::string> callsSince(size_t from) const {
        return {calls.begin() + static_cast<long>(from), calls.end()};
    }

    std::vector<Device> devices;
    int configuration = 1;
    bool kernelDriver = true;
    onewire::UsbTransport* model = nullptr; // where the transfers go
    std::vector<std::string> calls;
    int openContexts = 0;
    int openHandles = 0;
    int openLists = 0;
    std::vector<uint8_t> halted; // endpoints stalled and not yet cleared

    // Internal: logs `call` and gives the scripted error for it, 0 when none.
    int enter(const std::string& call);

private:
    struct Failure {
        int error;
        int times;
    };
    std::map<std::string, Failure> failures_;
};
