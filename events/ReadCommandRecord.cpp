#include "ReadCommandRecord.h"

#include "OneWireCrc.h"

namespace ReadCommandRecord {

uint32_t serialKey(std::span<const uint8_t, 8> rom) {
    const uint32_t v = rom[1] | rom[2] << 8 | rom[3] << 16 | static_cast<uint32_t>(rom[4]) << 24;
    return v >> 2 | v << 30;
}

std::array<uint8_t, kSize> build(std::span<const uint8_t, 8> rom, uint8_t version,
                                 const TabletImage::Crc8Step& crc) {
    const uint32_t key = serialKey(rom);
    std::array<uint8_t, kSize> r = {kCommandByte,
                                    static_cast<uint8_t>(key),
                                    static_cast<uint8_t>(key >> 8),
                                    static_cast<uint8_t>(key >> 16),
                                    static_cast<uint8_t>(key >> 24),
                                    version,
                                    0x00,
                                    0};
    uint8_t seed = 0;
    for (size_t i = 0; i < kCrcOffset; ++i)
        seed = crc ? crc(seed, r[i]) : onewire::crc8Byte(seed, r[i]);
    r[kCrcOffset] = seed;
    return r;
}

} // namespace ReadCommandRecord
