#include "Ds2490Bridge.h"

#include "PortName.h"
#include "Status.h"

#include <algorithm>

using namespace onewire;
using namespace onewire::ds2490;

int Ds2490Bridge::control(uint8_t request, uint16_t value, uint16_t index) {
    if (unplugged)
        return onewire::kErrPort;
    ++commands;
    switch (request) {
    case kControlCommand:
        controls.push_back(value);
        if (value == kResetDevice || value == kFlushReceive)
            in_.clear();
        if (value == kResetDevice) {
            results_.clear();
            ep0Full = false;
        }
        return 0;
    case kModeCommand:
        if (value == kModeSpeed)
            speed_ = static_cast<uint8_t>(index);
        return 0;
    case kCommCommand:
        break;
    default:
        return onewire::kErrPort; // stall
    }
    const bool feedback = !(value & kIcp);
    if (announceDevice) {
        results_.push_back(kDeviceDetected);
        announceDevice = false;
    }
    switch (commandOf(value)) {
    case kOneWireReset: {
        const int r = wire_.reset();
        if (r < 0)
            return onewire::kErrPort;
        const uint8_t code = r == 0   ? kResultNoPresence
                             : r == 3 ? kResultShort
                             : r == 2 ? kResultAlarm
                                      : 0;
        if (dropResetResult)
            dropResetResult = false;
        else if (feedback && (code || (value & kNtf)))
            results_.push_back(code);
        return 0;
    }
    case kBitIo: {
        const int r = wire_.touchBit(value & kD);
        if (r < 0)
            return onewire::kErrPort;
        if (feedback)
            in_.push_back(static_cast<uint8_t>(r));
        return 0;
    }
    case kByteIo: {
        const int r = wire_.touchByte(static_cast<uint8_t>(index));
        if (r < 0)
            return onewire::kErrPort;
        if (staleByte) {
            // the byte comes late: after the read for it gave up
            staleByte = false;
            late_.push_back(static_cast<uint8_t>(r));
            return 0;
        }
        if (feedback)
            in_.push_back(static_cast<uint8_t>(r));
        return 0;
    }
    default:
        return onewire::kErrPort;
    }
}

int Ds2490Bridge::status(uint8_t* data, int length) {
    if (unplugged)
        return onewire::kErrPort;
    if (stallStatus) {
        stallStatus = false;
        return onewire::kErrPort;
    }
    in_.insert(in_.end(), late_.begin(), late_.end());
    late_.clear();
    uint8_t packet[kMaxStatus] = {};
    packet[1] = speed_;
    packet[kStatusFlags] = static_cast<uint8_t>(kFlagIdle | (ep0Full ? kFlagEp0Full : 0));
    packet[kDataInCount] = static_cast<uint8_t>(std::min<size_t>(in_.size(), 128));
    size_t n = kStateRegisters;
    for (uint8_t r : results_)
        if (n < kMaxStatus)
            packet[n++] = r;
    results_.clear();
    const int count = std::min(length, static_cast<int>(n));
    std::copy(packet, packet + count, data);
    return count;
}

int Ds2490Bridge::bulkOut(const uint8_t*, int length) {
    return unplugged ? onewire::kErrPort : length;
}

int Ds2490Bridge::bulkIn(uint8_t* data, int length) {
    if (unplugged)
        return onewire::kErrPort;
    if (in_.empty())
        return onewire::kErrTimeout; // nothing comes: libusb gives up at its limit
    int n = 0;
    while (n < length && !in_.empty()) {
        data[n++] = in_.front();
        in_.pop_front();
    }
    return n;
}
