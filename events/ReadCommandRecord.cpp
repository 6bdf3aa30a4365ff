#include "ReadCommandRecord.h"

#include "LittleEndian.h"
#include "OneWireCrc.h"

namespace ReadCommandRecord {

uint32_t serialKey(std::span<const uint8_t, 8> rom) {
    const uint32_t v = le::read32(rom.data() + 1);
    return v >> 2 | v << 30;
}

std::array<uint8_t, kSize> build(std::span<const uint8_t, 8> rom, uint8_t version,
                                 const TabletImage::Crc8Step& crc) {
    const uint32_t key = serialKey(rom);
    std::array<uint8_t, kSize> r = {kCommandByte, 0, 0, 0, 0, version, 0x00, 0};
    le::write32(r.data() + 1, key);
    uint8_t seed = 0;
    for (size_t i = 0; i < kCrcOffset; ++i)
        seed = crc ? crc(seed, r[i]) : onewire::crc8Byte(seed, r[i]);
    r[kCrcOffset] = seed;
    return r;
}

} // namespace ReadCommandRecord
