#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace onewiresim {

// What kind of part a button is; the family code in its ROM is independent of
// it, so a part can be made under any family code.
enum class Model { DS1994, DS1993, DS1992, RomOnly };

const char* modelName(Model model);
bool modelFromName(const std::string& name, Model& model);
Model defaultModelForFamily(uint8_t family);

// One 1-Wire memory button: ROM code, NV memory, and for the DS1994 the register
// page with its real-time clock. It answers the function commands byte by byte
// once the bus has selected it.
class MemoryButton {
public:
    static constexpr uint16_t kRegisterPage = 0x200;
    static constexpr uint8_t kOscillator = 0x10; // control register, clock runs
    static constexpr uint8_t kAuthorized = 0x80; // E/S: AA
    static constexpr uint8_t kOverflow = 0x40;   // E/S: OF

    MemoryButton(Model model, const std::array<uint8_t, 8>& rom);

    Model model() const { return model_; }
    const std::array<uint8_t, 8>& rom() const { return rom_; }
    uint8_t family() const { return rom_[0]; }
    bool hasClock() const { return model_ == Model::DS1994; }
    // Addressable bytes: memory plus, for the DS1994, the register page.
    uint16_t addressSpace() const;

    // Memory and register page as read at host time `now` (seconds since 1970).
    uint8_t readByte(uint16_t address, double now) const;
    void writeByte(uint16_t address, uint8_t value, double now);
    std::vector<uint8_t>& memory() { return memory_; }
    const std::vector<uint8_t>& memory() const { return memory_; }
    std::array<uint8_t, 32>& registers() { return registers_; }
    const std::array<uint8_t, 32>& registers() const { return registers_; }

    // The clock: counter and 1/256 s fraction as they were at host time `reference`.
    void setClock(uint32_t seconds, uint8_t fraction, double now);
    void clockAt(double now, uint32_t& seconds, uint8_t& fraction) const;
    double clockReference() const { return clockReference_; }
    uint32_t clockBaseSeconds() const { return clockSeconds_; }
    uint8_t clockBaseFraction() const { return clockFraction_; }
    void restoreClock(uint32_t seconds, uint8_t fraction, double reference);
    bool oscillatorRunning() const { return registers_[1] & kOscillator; }

    // Function-command protocol. `select` starts a transaction (after a ROM
    // command chose this button); `touch` takes the master's byte and returns
    // what the button drives on the bus (0xFF: nothing). `changed` reports that
    // persistent memory was written.
    void select();
    uint8_t touch(uint8_t master, double now, bool& changed);
    // True while a Read Memory streams data (the faults act on these bytes).
    bool streamingMemory() const { return phase_ == Phase::ReadMemoryData; }
    // The address the next streamed memory byte comes from.
    uint16_t readAddress() const { return address_; }
    // True while the scratchpad is read back.
    bool readingScratchpad() const { return phase_ == Phase::ReadScratchpad; }
    // True for the data bytes of a function command: memory read, scratchpad
    // written or read back, copy authorization (not the command and its address).
    bool inDataPhase() const {
        switch (phase_) {
        case Phase::ReadMemoryData:
        case Phase::WriteData:
        case Phase::ReadScratchpad:
        case Phase::CopyTa1:
        case Phase::CopyTa2:
        case Phase::CopyEs:
            return true;
        default:
            return false;
        }
    }

    const std::array<uint8_t, 32>& scratchpad() const { return scratchpad_; }
    uint8_t endingStatus() const { return es_; }

private:
    enum class Phase {
        Command,
        ReadMemoryTa1,
        ReadMemoryTa2,
        ReadMemoryData,
        WriteTa1,
        WriteTa2,
        WriteData,
        ReadScratchpad,
        CopyTa1,
        CopyTa2,
        CopyEs,
        Copied,
        Idle,
    };

    void copyScratchpad(double now);

    Model model_;
    std::array<uint8_t, 8> rom_;
    std::vector<uint8_t> memory_;
    std::array<uint8_t, 32> registers_{};
    uint32_t clockSeconds_ = 0;
    uint8_t clockFraction_ = 0;
    double clockReference_ = 0.0;

    // volatile state of the part
    std::array<uint8_t, 32> scratchpad_{};
    uint8_t ta1_ = 0, ta2_ = 0, es_ = 0;

    // transaction state
    Phase phase_ = Phase::Idle;
    uint16_t address_ = 0;
    int offset_ = 0;
    int readIndex_ = 0;
    uint8_t copyTa1_ = 0, copyTa2_ = 0;
    bool clockLatched_ = false;
    uint32_t latchedSeconds_ = 0;
    uint8_t latchedFraction_ = 0;
};

} // namespace onewiresim
