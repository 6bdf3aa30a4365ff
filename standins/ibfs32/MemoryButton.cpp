#include "MemoryButton.h"

#include "LittleEndian.h"

#include <cmath>

namespace onewiresim {

namespace {
constexpr uint16_t kClockFirst = 0x202;
constexpr uint16_t kClockLast = 0x206;
constexpr uint8_t kStatusAlarmFlags = 0x07;
constexpr uint8_t kStatusWritable = 0x38;
// Control register write protections, permanent once set: WPR the clock and
// its alarm, WPI the interval timer and its alarm, WPC the cycle counter and
// its alarm.
constexpr uint8_t kProtectClock = 0x01;
constexpr uint8_t kProtectInterval = 0x02;
constexpr uint8_t kProtectCycle = 0x04;
constexpr uint8_t kProtectBits = kProtectClock | kProtectInterval | kProtectCycle;

// The protection bit that guards a register page byte, 0 for none.
uint8_t protectionOf(uint16_t address) {
    const int reg = address - MemoryButton::kRegisterPage;
    if ((reg >= 0x02 && reg <= 0x06) || (reg >= 0x10 && reg <= 0x14))
        return kProtectClock;
    if ((reg >= 0x07 && reg <= 0x0B) || (reg >= 0x15 && reg <= 0x19))
        return kProtectInterval;
    if ((reg >= 0x0C && reg <= 0x0F) || (reg >= 0x1A && reg <= 0x1D))
        return kProtectCycle;
    return 0;
}
} // namespace

const char* modelName(Model model) {
    switch (model) {
    case Model::DS1994:
        return "ds1994";
    case Model::DS1993:
        return "ds1993";
    case Model::DS1992:
        return "ds1992";
    case Model::RomOnly:
        return "rom";
    }
    return "ds1993";
}

bool modelFromName(const std::string& name, Model& model) {
    for (Model m : {Model::DS1994, Model::DS1993, Model::DS1992, Model::RomOnly}) {
        if (name == modelName(m)) {
            model = m;
            return true;
        }
    }
    return false;
}

Model defaultModelForFamily(uint8_t family) {
    switch (family) {
    case 0x04:
        return Model::DS1994;
    case 0x08:
        return Model::DS1992;
    case 0x01:
        return Model::RomOnly;
    default:
        return Model::DS1993;
    }
}

MemoryButton::MemoryButton(Model model, const std::array<uint8_t, 8>& rom)
    : model_(model), rom_(rom) {
    switch (model) {
    case Model::DS1994:
    case Model::DS1993:
        memory_.assign(512, 0);
        break;
    case Model::DS1992:
        memory_.assign(128, 0);
        break;
    case Model::RomOnly:
        break;
    }
}

uint16_t MemoryButton::addressSpace() const {
    return static_cast<uint16_t>(memory_.size() + (hasClock() ? registers_.size() : 0));
}

void MemoryButton::clockAt(double now, uint32_t& seconds, uint8_t& fraction) const {
    if (!oscillatorRunning() || now <= clockReference_) {
        seconds = clockSeconds_;
        fraction = clockFraction_;
        return;
    }
    const uint64_t ticks = (static_cast<uint64_t>(clockSeconds_) << 8) + clockFraction_ +
                           static_cast<uint64_t>(std::floor((now - clockReference_) * 256.0));
    seconds = static_cast<uint32_t>(ticks >> 8); // the counter wraps at 32 bits
    fraction = static_cast<uint8_t>(ticks);
}

void MemoryButton::setClock(uint32_t seconds, uint8_t fraction, double now) {
    restoreClock(seconds, fraction, now);
}

void MemoryButton::restoreClock(uint32_t seconds, uint8_t fraction, double reference) {
    clockSeconds_ = seconds;
    clockFraction_ = fraction;
    clockReference_ = reference;
    registers_[2] = fraction;
    le::write32(registers_.data() + 3, seconds);
}

uint8_t MemoryButton::readByte(uint16_t address, double now) const {
    if (address < memory_.size())
        return memory_[address];
    if (!hasClock() || address >= addressSpace())
        return 0xFF;
    if (address >= kClockFirst && address <= kClockLast) {
        uint32_t seconds;
        uint8_t fraction;
        clockAt(now, seconds, fraction);
        return address == kClockFirst
                   ? fraction
                   : static_cast<uint8_t>(seconds >> (8 * (address - kClockFirst - 1)));
    }
    return registers_[address - kRegisterPage];
}

void MemoryButton::writeByte(uint16_t address, uint8_t value, double now) {
    if (address < memory_.size()) {
        memory_[address] = value;
        return;
    }
    if (!hasClock() || address >= addressSpace())
        return;
    const size_t reg = address - kRegisterPage;
    if (registers_[1] & protectionOf(address))
        return;
    if (reg == 0) {
        registers_[0] =
            static_cast<uint8_t>((registers_[0] & ~kStatusWritable) | (value & kStatusWritable));
    } else if (reg == 1) {
        const uint8_t old = registers_[1];
        value |= old & kProtectBits;
        if (old & kProtectClock)
            value |= old & kOscillator; // a protected clock cannot be stopped
        // Stopping the oscillator freezes the counter; starting it runs from now.
        uint32_t seconds;
        uint8_t fraction;
        clockAt(now, seconds, fraction);
        registers_[1] = value;
        restoreClock(seconds, fraction, now);
    } else if (address >= kClockFirst && address <= kClockLast) {
        uint32_t seconds;
        uint8_t fraction;
        clockAt(now, seconds, fraction);
        if (address == kClockFirst) {
            fraction = value;
        } else {
            const int shift = 8 * (address - kClockFirst - 1);
            seconds = (seconds & ~(0xFFu << shift)) | (static_cast<uint32_t>(value) << shift);
        }
        restoreClock(seconds, fraction, now);
    } else {
        registers_[reg] = value;
    }
}

void MemoryButton::select() {
    phase_ = model_ == Model::RomOnly ? Phase::Idle : Phase::Command;
    clockLatched_ = false;
}

uint8_t MemoryButton::touch(uint8_t master, double now, bool& changed) {
    switch (phase_) {
    case Phase::Command:
        switch (master) {
        case 0xF0:
            phase_ = Phase::ReadMemoryTa1;
            break;
        case 0x0F:
            phase_ = Phase::WriteTa1;
            break;
        case 0xAA:
            phase_ = Phase::ReadScratchpad;
            readIndex_ = 0;
            break;
        case 0x55:
            phase_ = Phase::CopyTa1;
            break;
        default:
            phase_ = Phase::Idle;
            break;
        }
        return 0xFF;
    case Phase::ReadMemoryTa1:
        address_ = master;
        phase_ = Phase::ReadMemoryTa2;
        return 0xFF;
    case Phase::ReadMemoryTa2:
        address_ = static_cast<uint16_t>(address_ | master << 8);
        phase_ = Phase::ReadMemoryData;
        return 0xFF;
    case Phase::ReadMemoryData: {
        if (address_ >= addressSpace())
            return 0xFF;
        const uint16_t address = address_++;
        if (hasClock() && address >= kClockFirst && address <= kClockLast) {
            // The clock is latched for one pass, as the part copies it to a buffer.
            if (!clockLatched_) {
                clockAt(now, latchedSeconds_, latchedFraction_);
                clockLatched_ = true;
            }
            return address == kClockFirst
                       ? latchedFraction_
                       : static_cast<uint8_t>(latchedSeconds_ >> (8 * (address - kClockFirst - 1)));
        }
        const uint8_t value = readByte(address, now);
        if (hasClock() && address == kRegisterPage && (registers_[0] & kStatusAlarmFlags)) {
            registers_[0] &= static_cast<uint8_t>(~kStatusAlarmFlags);
            changed = true;
        }
        return value;
    }
    case Phase::WriteTa1:
        ta1_ = master;
        phase_ = Phase::WriteTa2;
        return 0xFF;
    case Phase::WriteTa2:
        ta2_ = master;
        offset_ = ta1_ & 0x1F;
        es_ = static_cast<uint8_t>(offset_); // clears AA, OF and PF
        phase_ = Phase::WriteData;
        return 0xFF;
    case Phase::WriteData:
        if (offset_ > 31) {
            es_ |= kOverflow;
        } else {
            scratchpad_[static_cast<size_t>(offset_)] = master;
            es_ = static_cast<uint8_t>((es_ & 0xE0) | offset_);
            ++offset_;
        }
        return 0xFF;
    case Phase::ReadScratchpad: {
        const int index = readIndex_++;
        if (index == 0)
            return ta1_;
        if (index == 1)
            return ta2_;
        if (index == 2)
            return es_;
        const int offset = (ta1_ & 0x1F) + index - 3;
        if (offset > 31) {
            readIndex_ = index; // stays past the end
            return 0xFF;
        }
        return scratchpad_[static_cast<size_t>(offset)];
    }
    case Phase::CopyTa1:
        copyTa1_ = master;
        phase_ = Phase::CopyTa2;
        return 0xFF;
    case Phase::CopyTa2:
        copyTa2_ = master;
        phase_ = Phase::CopyEs;
        return 0xFF;
    case Phase::CopyEs:
        phase_ = Phase::Idle;
        if (copyTa1_ == ta1_ && copyTa2_ == ta2_ && master == es_) {
            copyScratchpad(now);
            changed = true;
            phase_ = Phase::Copied;
        }
        return 0xFF;
    case Phase::Copied:
        return 0x00; // the part signals a finished copy with 0 bits until the next reset
    case Phase::Idle:
        break;
    }
    return 0xFF;
}

void MemoryButton::copyScratchpad(double now) {
    const uint16_t target = static_cast<uint16_t>((ta2_ << 8 | ta1_) & ~0x1F);
    const int first = ta1_ & 0x1F;
    const int last = es_ & 0x1F;
    for (int i = first; i <= last; ++i)
        writeByte(static_cast<uint16_t>(target + i), scratchpad_[static_cast<size_t>(i)], now);
    es_ |= kAuthorized;
}

} // namespace onewiresim
