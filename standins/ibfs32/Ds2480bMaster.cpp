#include "Ds2480bMaster.h"

#include "Ds2480b.h"
#include "PortName.h"
#include "Tmex.h"

#include <thread>
#include <vector>

namespace onewire {

using namespace ds2480b;

std::unique_ptr<Ds2480bMaster> Ds2480bMaster::open(const std::string& device, std::string& error) {
    std::unique_ptr<Ds2480bMaster> m(new Ds2480bMaster(device));
    if (!m->line_.open(device, error))
        return nullptr;
    // A DS2480B that was powered up already answers the timing byte as a
    // reset; a second try without it covers an answer that came late.
    if (m->setup(true, error) || m->setup(false, error))
        return m;
    return nullptr;
}

bool Ds2480bMaster::setup(bool calibrate, std::string& error) {
    broken_ = false;
    dataMode_ = false;
    if (calibrate) {
        // Master reset by a break, then the first reset command at 9600 baud
        // sets the DS2480B's timing; it is not answered after power-up.
        line_.sendBreak();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const uint8_t timing = kReset;
        if (!line_.write(&timing, 1, kAnswerLimit)) {
            error = "cannot write to " + device_;
            return false;
        }
    }
    // what a powered-up DS2480B answered, or a late answer to a first try, is dropped
    std::this_thread::sleep_for(std::chrono::milliseconds(calibrate ? 10 : 50));
    line_.flushInput();
    std::vector<uint8_t> commands, answers(std::size(kSetup));
    for (const ConfigStep& step : kSetup)
        commands.push_back(step.command);
    if (!line_.write(commands.data(), commands.size(), kAnswerLimit)) {
        error = "cannot write to " + device_;
        return false;
    }
    const int got = line_.read(answers.data(), answers.size(), kAnswerLimit);
    if (got != static_cast<int>(answers.size())) {
        error = got < 0 ? "cannot read from " + device_ : "no DS2480B answers on " + device_;
        return false;
    }
    for (size_t i = 0; i < answers.size(); ++i)
        if ((answers[i] & kSetup[i].answerMask) != kSetup[i].answer) {
            error = "the device on " + device_ + " does not answer as a DS2480B";
            return false;
        }
    return true;
}

int Ds2480bMaster::fail(int code) {
    broken_ = true;
    return code;
}

bool Ds2480bMaster::send(const uint8_t* data, size_t length) {
    return line_.write(data, length, kAnswerLimit);
}

int Ds2480bMaster::receive(uint8_t* data, size_t length) {
    const int got = line_.read(data, length, kAnswerLimit);
    if (got == static_cast<int>(length))
        return got;
    return fail(got < 0 ? tmex::kPortError : kTimeout);
}

bool Ds2480bMaster::toMode(bool data) {
    if (dataMode_ == data)
        return true;
    const uint8_t switchTo = data ? kDataMode : kCommandMode;
    if (!send(&switchTo, 1))
        return false;
    dataMode_ = data;
    return true;
}

// One reset command: the result bits of the answer, or a negative error.
int Ds2480bMaster::resetOnce() {
    if (!toMode(false) || !send(&kReset, 1))
        return fail(tmex::kPortError);
    uint8_t answer = 0;
    if (const int r = receive(&answer, 1); r < 0)
        return r;
    if ((answer & kResetResponseMask) != kResetResponse)
        return fail(tmex::kPortError);
    lastResetAnswer_ = answer;
    return answer & 3;
}

int Ds2480bMaster::reset() {
    if (broken_)
        return tmex::kPortError;
    int result = resetOnce();
    if (result < 0)
        return result;
    bool alarm = result == kAlarmingPresence;
    if (result == kShorted || alarm) {
        // A DS1994 with a pending alarm stretches the reset beyond the
        // DS2480B's answer, which then reads as a short, and the bytes that
        // follow collide: let the part finish, drop what came meanwhile and
        // reset once more.
        std::this_thread::sleep_for(kAlarmSettle);
        line_.flushInput();
        result = resetOnce();
        if (result < 0)
            return result;
        alarm = alarm || result == kAlarmingPresence;
    }
    switch (result) {
    case kShorted:
        return 3;
    case kPresence:
        return alarm ? 2 : 1;
    case kAlarmingPresence:
        return 2;
    default:
        return 0;
    }
}

std::vector<std::string> Ds2480bMaster::details() const {
    if (!lastResetAnswer_)
        return {};
    return {"revision " + std::to_string((*lastResetAnswer_ & kRevisionMask) >> 2),
            std::string("programming voltage: ") +
                (*lastResetAnswer_ & kProgrammingVoltage ? "yes" : "no")};
}

int Ds2480bMaster::touchBit(bool bit) {
    if (broken_)
        return tmex::kPortError;
    const uint8_t command = bit ? kBit | kBitOne : kBit;
    if (!toMode(false) || !send(&command, 1))
        return fail(tmex::kPortError);
    uint8_t answer = 0;
    if (const int r = receive(&answer, 1); r < 0)
        return r;
    // the answer repeats the command with the bit read in its two low bits
    if ((answer & 0xFC) != (command & 0xFC))
        return fail(tmex::kPortError);
    return answer & 1;
}

int Ds2480bMaster::touchByte(uint8_t byte) {
    if (broken_)
        return tmex::kPortError;
    if (!toMode(true))
        return fail(tmex::kPortError);
    const uint8_t twice[2] = {byte, byte};
    if (!send(twice, byte == kCommandMode ? 2 : 1))
        return fail(tmex::kPortError);
    uint8_t answer = 0;
    if (const int r = receive(&answer, 1); r < 0)
        return r;
    return answer;
}

int Ds2480bMaster::searchPass(const Rom& preference, SearchPass& out) {
    if (broken_)
        return tmex::kPortError;
    uint8_t directions[16];
    encodeSearch(preference, directions);
    std::vector<uint8_t> out16;
    for (uint8_t b : directions) {
        out16.push_back(b);
        if (b == kCommandMode)
            out16.push_back(b);
    }
    const uint8_t on[] = {kAcceleratorOn};
    const uint8_t off[] = {kAcceleratorOff};
    if (!toMode(false) || !send(on, 1) || !toMode(true) || !send(out16.data(), out16.size()))
        return fail(tmex::kPortError);
    uint8_t answer[16];
    if (const int r = receive(answer, sizeof answer); r < 0)
        return r;
    if (!toMode(false) || !send(off, 1))
        return fail(tmex::kPortError);
    return decodeSearch(answer, out);
}

} // namespace onewire
