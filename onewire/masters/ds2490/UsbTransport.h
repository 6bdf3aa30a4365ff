#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace onewire {

// The USB transfers a DS2490 takes, each with a time limit: vendor control
// requests on endpoint 0, the status registers on the interrupt endpoint EP1,
// data to the bus on bulk EP2 and from it on bulk EP3. libusb fills this on a
// real machine; a model of the bridge stands in for it in tests.
// Results: 0 or a byte count, or a negative Status (kErrPort when the
// device failed or vanished, kErrTimeout when it did not answer in time).
class UsbTransport {
public:
    virtual ~UsbTransport() = default;
    virtual int control(uint8_t request, uint16_t value, uint16_t index) = 0;
    virtual int status(uint8_t* data, int length) = 0;
    virtual int bulkOut(const uint8_t* data, int length) = 0;
    virtual int bulkIn(uint8_t* data, int length) = 0;
    // What the transport tells of the device ("alternate setting 3").
    virtual std::vector<std::string> details() const { return {}; }
};

} // namespace onewire
