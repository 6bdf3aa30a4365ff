#include "OneWireMaster.h"

namespace onewire {

int OneWireMaster::triplet(bool preferred, Triplet& out) {
    const int id = touchBit(true);
    if (id < 0)
        return id;
    const int complement = touchBit(true);
    if (complement < 0)
        return complement;
    out.id = id;
    out.complement = complement;
    out.taken = id != complement ? id : preferred;
    const int written = touchBit(out.taken);
    return written < 0 ? written : 0;
}

int OneWireMaster::search(uint8_t command, const Rom& preference, SearchPass& out) {
    out = {};
    const int presence = reset();
    if (presence < 0)
        return presence;
    if (presence != 1 && presence != 2)
        return 0;
    if (const int r = touchByte(command); r < 0)
        return r;
    return searchPass(preference, out);
}

int OneWireMaster::searchPass(const Rom& preference, SearchPass& out) {
    out = {};
    for (int n = 0; n < 64; ++n) {
        Triplet t;
        if (const int r = triplet(romBit(preference, n), t); r < 0)
            return r;
        if (t.id && t.complement)
            return 0; // nobody left on this path
        setRomBit(out.rom, n, t.taken);
        setRomBit(out.discrepancies, n, !t.id && !t.complement);
    }
    return 1;
}

} // namespace onewire
