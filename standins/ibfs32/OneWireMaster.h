#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace onewire {

using Rom = std::array<uint8_t, 8>;

// One 1-Wire bus master: the few primitives every adapter offers. The TMEX
// entry points, the ROM search and the access sequence are built on these, so
// each adapter (the simulated bus, a DS2480B on a serial line, a DS2490 on USB)
// only says how it makes a reset, a time slot and a byte.
//
// Results: 0 and above are values; negative values are TMEX error codes
// (kPortError when the adapter failed or vanished, kTimeout when it did not
// answer in time). After an error the master may be unusable until reopened.
class OneWireMaster {
public:
    virtual ~OneWireMaster() = default;

    // Reset pulse: 0 no presence, 1 presence, 2 alarming presence, 3 shorted.
    virtual int reset() = 0;
    // One byte, least significant bit first: the byte read back (0..255).
    virtual int touchByte(uint8_t byte) = 0;
    // One time slot: the bit read back (0 or 1).
    virtual int touchBit(bool bit) = 0;

    // One step of a ROM search: reads the bit and its complement and writes the
    // direction, `preferred` where the devices disagree.
    struct Triplet {
        bool id = false;
        bool complement = false;
        bool taken = false;
    };
    virtual int triplet(bool preferred, Triplet& out);

    // One pass over the 64 ROM bits after a search command: bit n of
    // `preference` is the direction taken where the devices disagree at bit n.
    // Fills the ROM of the path taken and the positions of disagreement.
    // 1 done, 0 when no device answered at some bit, negative on error.
    struct SearchPass {
        Rom rom{};
        Rom discrepancies{};
    };
    virtual int searchPass(const Rom& preference, SearchPass& out);

    // True after an error that needs the adapter opened again.
    virtual bool broken() const { return false; }

    // What the adapter tells of itself once it has worked ("revision 3"), for
    // the first check on a new adapter.
    virtual std::vector<std::string> details() const { return {}; }

    // What this master is, for messages ("DS2480B on /dev/ttyUSB0").
    virtual std::string describe() const = 0;
};

constexpr bool romBit(const Rom& rom, int n) {
    return (rom[static_cast<size_t>(n / 8)] >> (n % 8)) & 1;
}
inline void setRomBit(Rom& rom, int n, bool value) {
    const auto mask = static_cast<uint8_t>(1u << (n % 8));
    auto& byte = rom[static_cast<size_t>(n / 8)];
    byte = static_cast<uint8_t>(value ? byte | mask : byte & ~mask);
}

} // namespace onewire
