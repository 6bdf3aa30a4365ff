#include "Ds2490.h"

namespace onewire::ds2490 {

uint8_t Status::resultBits() const {
    uint8_t bits = 0;
    for (uint8_t r : results)
        bits |= r;
    return bits;
}

Status parseStatus(const uint8_t* data, size_t length) {
    Status s;
    if (!data || length < kStateRegisters)
        return s;
    s.valid = true;
    s.flags = data[kStatusFlags];
    s.commandBufferCount = data[kCommandBufferCount];
    s.dataInCount = data[kDataInCount];
    const size_t end = length < kMaxStatus ? length : kMaxStatus;
    for (size_t i = kStateRegisters; i < end; ++i)
        if (data[i] != kDeviceDetected)
            s.results.push_back(data[i]);
    return s;
}

int resetResult(const Status& status) {
    const uint8_t bits = status.resultBits();
    if (bits & kResultShort)
        return 3;
    if (bits & kResultNoPresence)
        return 0;
    if (bits & kResultAlarm)
        return 2;
    return 1;
}

} // namespace onewire::ds2490
