#include "Ds2480bEmulator.h"

#include "Ds2480b.h"
#include "LiftingWire.h"

using namespace onewire;
using namespace onewire::ds2480b;

void Ds2480bEmulator::receive(uint8_t byte, std::vector<uint8_t>& answers) {
    if (!calibrated_) {
        calibrated_ = true; // the timing byte: measured, not answered
        commands.push_back(byte);
        return;
    }
    if (!dataMode_) {
        command(byte, answers);
        return;
    }
    if (escape_) {
        escape_ = false;
        if (byte == kCommandMode) {
            data(byte, answers); // 0xE3 twice: one 0xE3 on the bus
        } else {
            dataMode_ = false;
            command(byte, answers);
        }
        return;
    }
    if (byte == kCommandMode) {
        escape_ = true;
        return;
    }
    data(byte, answers);
}

void Ds2480bEmulator::command(uint8_t byte, std::vector<uint8_t>& answers) {
    commands.push_back(byte);
    if (byte == kDataMode) {
        dataMode_ = true;
        return;
    }
    if (byte == kCommandMode || byte == kPulseTerminate)
        return;
    if ((byte & 0x81) == 0x01) { // configuration
        const int parameter = byte >> 4 & 7;
        if (parameter != 0) {
            parameters_[parameter] = byte >> 1 & 7;
            answers.push_back(byte & 0xFE);
        } else {
            answers.push_back(
                static_cast<uint8_t>((byte & 0xF0) | parameters_[byte >> 1 & 7] << 1));
        }
        return;
    }
    if ((byte & 0xE3) == 0xC1) { // reset
        ++resets;
        const int r = wire_.reset();
        if (r < 0)
            return;
        uint8_t result = r == 1   ? kPresence
                         : r == 2 ? kAlarmingPresence
                         : r == 3 ? kShorted
                                  : kNoPresence;
        // A tablet whose alarm stretches the reset still holds the bus low when
        // the answer is sampled: it reads as a short, and a collision byte
        // follows once the part lets go.
        const auto* lifting = dynamic_cast<const LiftingWire*>(&wire_);
        const bool stretched = r == 2 && lifting && lifting->lastResetStretched();
        if (shorted || stretched)
            result = kShorted;
        answers.push_back(static_cast<uint8_t>(kResetResponse | kChipRevision |
                                               (programmingVoltage ? kProgrammingVoltage : 0) |
                                               result));
        if (stretched)
            answers.push_back(0x00);
        return;
    }
    if ((byte & 0xE1) == 0x81) { // single bit
        const int r = wire_.touchBit(byte & kBitOne);
        if (r < 0)
            return;
        answers.push_back(static_cast<uint8_t>((byte & 0xFC) | (r ? 3 : 0)));
        return;
    }
    if ((byte & 0xE3) == 0xA1) { // search accelerator on or off
        accelerator_ = byte & 0x10;
        searchBytes_.clear();
        return;
    }
    // pulse and other commands are not used by the driver: unanswered
}

void Ds2480bEmulator::data(uint8_t byte, std::vector<uint8_t>& answers) {
    if (accelerator_) {
        searchBytes_.push_back(byte);
        if (searchBytes_.size() == 16)
            search(answers);
        return;
    }
    const int r = wire_.touchByte(byte);
    if (r >= 0)
        answers.push_back(static_cast<uint8_t>(r));
}

// Each ROM bit: read the bit and its complement, then write the direction:
// the host's r where the devices disagree, the only way where they agree,
// and 1 from the first bit nobody answers on.
void Ds2480bEmulator::search(std::vector<uint8_t>& answers) {
    ++searches;
    uint8_t out[16] = {};
    bool lost = false;
    for (int n = 0; n < 64; ++n) {
        const int shift = (n % 4) * 2;
        const bool r = searchBytes_[static_cast<size_t>(n / 4)] >> (shift + 1) & 1;
        const int id = wire_.touchBit(true);
        const int complement = wire_.touchBit(true);
        if (id < 0 || complement < 0)
            return;
        bool taken, discrepancy;
        if (lost || (id && complement)) {
            lost = true;
            taken = true;
            discrepancy = true;
        } else if (!id && !complement) {
            taken = r;
            discrepancy = true;
        } else {
            taken = id;
            discrepancy = false;
        }
        if (wire_.touchBit(taken) < 0)
            return;
        out[n / 4] |=
            static_cast<uint8_t>((discrepancy ? 1 : 0) << shift | (taken ? 1 : 0) << (shift + 1));
    }
    searchBytes_.clear();
    answers.insert(answers.end(), out, out + 16);
}
