#include "Ds2480b.h"

namespace onewire::ds2480b {

void encodeSearch(const Rom& preference, uint8_t out[16]) {
    for (int i = 0; i < 16; ++i)
        out[i] = 0;
    for (int n = 0; n < 64; ++n)
        if (romBit(preference, n))
            out[n / 4] |= static_cast<uint8_t>(1u << ((n % 4) * 2 + 1));
}

int decodeSearch(const uint8_t in[16], OneWireMaster::SearchPass& out) {
    out = {};
    for (int n = 0; n < 64; ++n) {
        const int shift = (n % 4) * 2;
        setRomBit(out.discrepancies, n, in[n / 4] >> shift & 1);
        setRomBit(out.rom, n, in[n / 4] >> (shift + 1) & 1);
    }
    return romBit(out.rom, 63) && romBit(out.discrepancies, 63) ? 0 : 1;
}

} // namespace onewire::ds2480b
