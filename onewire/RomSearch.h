#pragma once

#include "OneWireMaster.h"

#include <cstddef>
#include <cstdint>

namespace onewire {

// The ROM search of Maxim application note 187 and the access sequence, on any
// master, with their state in the caller's TMEX state buffer (at least
// kStateSize bytes; its content is not trusted).
class RomSearch {
public:
    static constexpr size_t kStateRom = 8;          // the ROM found or set by TMRom
    static constexpr size_t kStateDiscrepancy = 16; // last discrepancy, 1..64, 0 none
    static constexpr size_t kStateLastDevice = 17;  // 1 when the last search found the last device
    static constexpr size_t kStateSize = 18;

    // The next device in the order the search finds them: 1 and its ROM in the
    // state; 0 when no (further) device answers, and the next call starts over;
    // negative on an adapter error.
    static int next(OneWireMaster& master, uint8_t* state);
    // Reset and Match ROM with the ROM in the state: 1 presence, 0 none,
    // negative on an adapter error.
    static int access(OneWireMaster& master, const uint8_t* state);
    // The conditions a found ROM must meet: a family code and a good CRC-8.
    static bool plausible(const Rom& rom);

    static constexpr uint8_t kSearchRom = 0xF0;
    static constexpr uint8_t kMatchRom = 0x55;
};

} // namespace onewire
