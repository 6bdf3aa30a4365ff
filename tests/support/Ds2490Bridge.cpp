#include "Ds2490Bridge.h"

#include "PortName.h"
#include "Status.h"

#include <algorithm>

using namespace onewire;
using namespace onewire::ds2490;

int Ds2490Bridge::control(uint8_t request, uint16_t value, uint16_t index) {
    if (unplugged)
        return onewire::kErrPort;
    ++transfers;
    ++commands;
    switch (request) {
    case kControlCommand:
        controls.push_back(value);
        if (value == kResetDevice || value == kFlushReceive)
            in_.clear();
        if (value == kResetDevice || value == kFlushTransmit)
            out_.clear();
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
    case kSearchAccess:
        if (refuseSearchAccess)
            return onewire::kErrPort;
        return searchAccess(value, index, feedback);
    default:
        return onewire::kErrPort;
    }
}

// Reset, the search command and 64 triplets, each disagreement settled by the
// path from EP2; a path nobody answers on reads as 1 bits to the end.
int Ds2490Bridge::searchAccess(uint16_t value, uint16_t index, bool feedback) {
    ++searchAccesses;
    Rom path{};
    for (uint8_t& b : path) {
        if (out_.empty())
            break;
        b = out_.front();
        out_.pop_front();
    }
    const int presence = (value & kRst) ? wire_.reset() : 1;
    if (presence < 0)
        return onewire::kErrPort;
    if (presence == 0 || presence == 3) {
        if (feedback)
            results_.push_back(presence == 0 ? kResultNoPresence : kResultShort);
        if (value & kF)
            in_.clear();
        return 0;
    }
    if (wire_.touchByte(static_cast<uint8_t>(index)) < 0)
        return onewire::kErrPort;
    Rom rom{};
    Rom disagreed{};
    bool nobody = false;
    for (int n = 0; n < 64; ++n) {
        OneWireMaster::Triplet t;
        if (!nobody && wire_.triplet(romBit(path, n), t) < 0)
            return onewire::kErrPort;
        nobody = nobody || (t.id && t.complement);
        setRomBit(rom, n, nobody || t.taken);
        setRomBit(disagreed, n, !nobody && !t.id && !t.complement);
    }
    in_.insert(in_.end(), rom.begin(), rom.end());
    if (value & kRts)
        in_.insert(in_.end(), disagreed.begin(), disagreed.end());
    if (feedback && ((value & kNtf) || presence == 2))
        results_.push_back(presence == 2 ? kResultAlarm : 0);
    return 0;
}

int Ds2490Bridge::status(uint8_t* data, int length) {
    if (unplugged)
        return onewire::kErrPort;
    ++transfers;
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

int Ds2490Bridge::bulkOut(const uint8_t* data, int length) {
    if (unplugged)
        return onewire::kErrPort;
    ++transfers;
    out_.insert(out_.end(), data, data + length);
    return length;
}

int Ds2490Bridge::bulkIn(uint8_t* data, int length) {
    if (unplugged)
        return onewire::kErrPort;
    ++transfers;
    if (in_.empty())
        return onewire::kErrTimeout; // nothing comes: libusb gives up at its limit
    int n = 0;
    while (n < length && !in_.empty()) {
        data[n++] = in_.front();
        in_.pop_front();
    }
    return n;
}
