#pragma once

#include "MemoryButton.h"
#include "SimAdapter.h"

#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace onewiresim {

// The 1-Wire bus of the simulated adapter: the tablets lying on it, the ROM
// command layer and the faults. Every reset reads the adapter folder again, so
// tablets come and go between calls. Not thread-safe: the driver serialises calls.
// What tells one version of a tablet file from the next. Tablet files are
// replaced by a rename, so the inode changes with every write, also within one
// tick of the file system's clock.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t modifiedNs = 0;
    int64_t size = 0;
    bool operator==(const FileIdentity&) const = default;
};

class Bus {
public:
    explicit Bus(SimAdapter adapter);

    const SimAdapter& adapter() const { return adapter_; }

    // Reset pulse: 1 when a device answers with a presence pulse, 2 when a
    // DS1994 with a pending alarm answers (the alarm fault), else 0.
    int reset();
    // The last reset was stretched by an interrupt pulse (up to about 4.8 ms).
    bool lastResetStretched() const { return lastResetStretched_; }
    // One byte on the wire: the master's byte ANDed with what the devices drive.
    uint8_t touch(uint8_t master);
    // One time slot, least significant bit of a byte first. During a Search ROM
    // the devices answer bit, complement and follow the direction written.
    bool touchBit(bool master);
    // Takes a tablet off the adapter at once, in the middle of a transaction.
    void lift(const std::string& name) { removeFromAdapter(name); }

private:
    struct Device {
        std::string name;
        std::shared_ptr<MemoryButton> button;
        FileIdentity identity;
    };
    enum class Phase { AfterReset, ReadRom, MatchRom, Function, Search, Ignored };

    void refresh();
    void selectAll();
    void save(Device& device);
    void removeFromAdapter(const std::string& name);
    // The flip-bits fault on a byte the tablet sent from memory `address`
    // (-1: read back from the scratchpad).
    uint8_t flipBits(uint8_t value, int address);
    uint8_t driven() const;
    bool searchSlot(bool master);

    SimAdapter adapter_;
    std::map<std::string, Device> cache_;
    std::vector<Device*> present_;
    std::vector<Device*> selected_;
    Phase phase_ = Phase::Ignored;
    int romIndex_ = 0;
    std::array<uint8_t, 8> matchRom_{};

    // a byte made of single time slots
    int bitCount_ = 0;
    uint8_t bitMaster_ = 0;
    uint8_t bitDriven_ = 0xFF;
    // Search ROM: the devices still on the path, the bit and its slot (0 bit,
    // 1 complement, 2 direction)
    std::vector<Device*> searching_;
    int searchBit_ = 0;
    int searchSlot_ = 0;

    Fault fault_;
    int passed_ = 0; // data bytes since the fault was set (remove-after)
    int sent_ = 0;   // bytes the tablet sent since the fault was set (flip-bits)
    bool alarmSignalled_ = false;
    bool lastResetStretched_ = false;
};

} // namespace onewiresim
