#include "Ds2490Master.h"

#include "Status.h"

#include <algorithm>

namespace onewire {

using namespace ds2490;

// A failed or timed-out transfer leaves the bridge with stale bytes or a
// halted command: the next command first clears them. An adapter that has
// vanished cannot be cleared and stays broken.
int Ds2490Master::fail(int code) {
    if (recovering_)
        broken_ = true;
    else
        recover();
    return code;
}

bool Ds2490Master::recover() {
    recovering_ = true;
    ++recoveries_;
    const bool lostSetup = ep0Full_;
    ep0Full_ = false;
    bool ok = lostSetup ? usb_->control(kControlCommand, kResetDevice, 0) >= 0
                        : usb_->control(kControlCommand, kFlushReceive, 0) >= 0 &&
                              usb_->control(kControlCommand, kFlushTransmit, 0) >= 0;
    if (ok && lostSetup)
        ok = usb_->control(kModeCommand, kModePulseEnable, 0) >= 0 &&
             usb_->control(kModeCommand, kModeSpeed, kSpeedRegular) >= 0;
    // Stale bytes on EP3 would shift every later read: drop what the status
    // says is waiting, in requests as large as a packet.
    for (int round = 0; ok && round < 8; ++round) {
        uint8_t packet[kMaxStatus];
        const int n = usb_->status(packet, static_cast<int>(sizeof packet));
        const ds2490::Status st = parseStatus(packet, n < 0 ? 0 : static_cast<size_t>(n));
        if (n < 0 || !st.valid) {
            ok = false;
            break;
        }
        if (st.dataInCount == 0)
            break;
        uint8_t stale[64];
        if (usb_->bulkIn(stale, static_cast<int>(sizeof stale)) < 0) {
            ok = false;
            break;
        }
    }
    recovering_ = false;
    if (!ok)
        broken_ = true;
    return ok;
}

int Ds2490Master::command(uint8_t type, uint16_t value, uint16_t index) {
    if (broken_)
        return kErrPort;
    const int r = usb_->control(type, value, index);
    return r < 0 ? fail(r) : 0;
}

// Reads the status endpoint until the bridge is idle with its command buffer
// empty; the result codes seen on the way are gathered in `last`.
int Ds2490Master::waitIdle(ds2490::Status& last) {
    const auto deadline = std::chrono::steady_clock::now() + kCommandLimit;
    std::vector<uint8_t> results;
    // the status endpoint is polled every millisecond: the count bounds a
    // bridge that answers at once but is never idle
    for (int polls = 0; polls < kCommandLimit.count(); ++polls) {
        uint8_t packet[kMaxStatus];
        const int n = usb_->status(packet, static_cast<int>(sizeof packet));
        if (n < 0)
            return fail(n);
        last = parseStatus(packet, static_cast<size_t>(n));
        if (!last.valid)
            return fail(kErrPort);
        if (last.flags & kFlagEp0Full) {
            ep0Full_ = true; // a setup packet was lost: only RESET DEVICE clears it
            return fail(kErrPort);
        }
        results.insert(results.end(), last.results.begin(), last.results.end());
        if (last.idle()) {
            last.results = std::move(results);
            return 0;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
    }
    return fail(kErrTimeout);
}

// The bytes the last commands read from the bus, as they come out of EP3.
int Ds2490Master::readBack(uint8_t* bytes, int count) {
    int done = 0;
    while (done < count) {
        const int n = usb_->bulkIn(bytes + done, count - done);
        if (n < 0)
            return fail(n);
        if (n == 0)
            return fail(kErrTimeout);
        done += n;
    }
    return 0;
}

bool Ds2490Master::init(std::string& error) {
    ds2490::Status status;
    if (command(kControlCommand, kResetDevice, 0) < 0 ||
        command(kModeCommand, kModePulseEnable, 0) < 0 ||
        command(kModeCommand, kModeSpeed, kSpeedRegular) < 0 || waitIdle(status) < 0) {
        error = "the DS2490 " + name_ + " does not answer";
        return false;
    }
    return true;
}

int Ds2490Master::reset() {
    if (const int r = command(kCommCommand, kOneWireReset | kF | kIm | kNtf | kSe, kSpeedRegular);
        r < 0)
        return r;
    ds2490::Status status;
    if (const int r = waitIdle(status); r < 0)
        return r;
    // With NTF every reset reports a result, 0x00 for a plain presence: none
    // at all means the answer was lost, not that a device is there.
    if (status.results.empty())
        return fail(kErrTimeout);
    return resetResult(status);
}

int Ds2490Master::touchBit(bool bit) {
    if (const int r =
            command(kCommCommand, static_cast<uint16_t>(kBitIo | kIm | (bit ? kD : 0)), 0);
        r < 0)
        return r;
    uint8_t back = 0;
    if (const int r = readBack(&back, 1); r < 0)
        return r;
    return back & 1;
}

int Ds2490Master::triplet(bool preferred, Triplet& out) {
    for (int i = 0; i < 2; ++i)
        if (const int r = command(kCommCommand, kBitIo | kIm | kD, 0); r < 0)
            return r;
    uint8_t back[2] = {};
    if (const int r = readBack(back, 2); r < 0)
        return r;
    out.id = back[0] & 1;
    out.complement = back[1] & 1;
    out.taken = out.id != out.complement ? out.id : preferred;
    return command(kCommCommand, static_cast<uint16_t>(kBitIo | kIm | kIcp | (out.taken ? kD : 0)),
                   0);
}

int Ds2490Master::search(uint8_t searchCommand, const Rom& preference, SearchPass& out) {
    if (!searchAccess_)
        return OneWireMaster::search(searchCommand, preference, out);
    if (broken_)
        return kErrPort;
    out = {};
    if (const int r = usb_->bulkOut(preference.data(), static_cast<int>(preference.size()));
        r != static_cast<int>(preference.size()))
        return fail(r < 0 ? r : kErrPort);
    const int sent = usb_->control(kCommCommand, kSearchAccess | kRst | kF | kRts | kIm | kNtf,
                                   static_cast<uint16_t>(0x0100 | searchCommand));
    if (sent < 0) {
        fail(sent);
        if (broken_ || sent != kErrPort)
            return sent;
        // The bridge answers, but not this command: search bit by bit.
        searchAccess_ = false;
        return OneWireMaster::search(searchCommand, preference, out);
    }
    ds2490::Status status;
    if (const int r = waitIdle(status); r < 0)
        return r;
    if (status.results.empty())
        return fail(kErrTimeout); // NTF: the result was lost
    if (status.resultBits() & (kResultNoPresence | kResultShort))
        return 0; // F: the bridge dropped whatever it had
    uint8_t back[16] = {};
    if (const int r = readBack(back, 16); r < 0)
        return r;
    std::copy(back, back + 8, out.rom.begin());
    std::copy(back + 8, back + 16, out.discrepancies.begin());
    return 1;
}

int Ds2490Master::touchByte(uint8_t byte) {
    if (const int r = command(kCommCommand, kByteIo | kIm, byte); r < 0)
        return r;
    uint8_t back = 0;
    if (const int r = readBack(&back, 1); r < 0)
        return r;
    return back;
}

} // namespace onewire
