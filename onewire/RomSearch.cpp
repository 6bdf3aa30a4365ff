#include "RomSearch.h"

#include <algorithm>
#include <cstring>

namespace onewire {

namespace {

void startOver(uint8_t* state) {
    state[RomSearch::kStateDiscrepancy] = 0;
    state[RomSearch::kStateLastDevice] = 0;
}

} // namespace

bool RomSearch::plausible(const Rom& rom) {
    return rom[0] != 0 && Crc::crc8(rom.data(), rom.size()) == 0;
}

int RomSearch::next(OneWireMaster& master, uint8_t* state) {
    if (state[kStateLastDevice] == 1) {
        startOver(state);
        return 0;
    }
    const int lastDiscrepancy = state[kStateDiscrepancy] <= 64 ? state[kStateDiscrepancy] : 0;
    Rom previous{};
    std::memcpy(previous.data(), state + kStateRom, previous.size());

    // Where the devices disagree: the previous path below the last discrepancy,
    // the 1 branch at it, the 0 branch above it.
    Rom preference{};
    for (int n = 0; n + 1 < lastDiscrepancy; ++n)
        setRomBit(preference, n, romBit(previous, n));
    if (lastDiscrepancy > 0)
        setRomBit(preference, lastDiscrepancy - 1, true);

    OneWireMaster::SearchPass pass;
    const int found = master.search(kSearchRom, preference, pass);
    if (found < 0)
        return found;
    if (found == 0 || !plausible(pass.rom)) {
        // nobody there, a device left in the middle, or noise: the next
        // search starts over
        startOver(state);
        return 0;
    }
    int lastZero = 0;
    for (int n = 0; n < 64; ++n)
        if (romBit(pass.discrepancies, n) && !romBit(pass.rom, n))
            lastZero = n + 1;
    std::memcpy(state + kStateRom, pass.rom.data(), pass.rom.size());
    state[kStateDiscrepancy] = static_cast<uint8_t>(lastZero);
    state[kStateLastDevice] = lastZero == 0 ? 1 : 0;
    return 1;
}

int RomSearch::access(OneWireMaster& master, const uint8_t* state) {
    const int presence = master.reset();
    if (presence < 0)
        return presence;
    if (presence != 1 && presence != 2)
        return 0;
    if (const int r = master.touchByte(kMatchRom); r < 0)
        return r;
    for (size_t i = 0; i < 8; ++i)
        if (const int r = master.touchByte(state[kStateRom + i]); r < 0)
            return r;
    return 1;
}

} // namespace onewire
