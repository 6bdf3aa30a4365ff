#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace onewire {

// A ROM code in bus order: family, six serial bytes, CRC-8.
using Rom = std::array<uint8_t, 8>;

constexpr bool romBit(const Rom& rom, int n) {
    return (rom[static_cast<size_t>(n / 8)] >> (n % 8)) & 1;
}
inline void setRomBit(Rom& rom, int n, bool value) {
    const auto mask = static_cast<uint8_t>(1u << (n % 8));
    auto& byte = rom[static_cast<size_t>(n / 8)];
    byte = static_cast<uint8_t>(value ? byte | mask : byte & ~mask);
}

// The two CRCs of the bus: CRC-8 (x^8 + x^5 + x^4 + 1, reflected 0x8C) of the
// ROM code and the memory parts, CRC-16 (reflected 0xA001) of their pages.
struct Crc {
    static constexpr uint8_t crc8(const uint8_t* data, size_t length, uint8_t seed = 0) {
        for (size_t i = 0; i < length; ++i) {
            seed ^= data[i];
            for (int bit = 0; bit < 8; ++bit)
                seed = (seed & 1) ? static_cast<uint8_t>((seed >> 1) ^ 0x8C)
                                  : static_cast<uint8_t>(seed >> 1);
        }
        return seed;
    }
    static constexpr uint16_t crc16(const uint8_t* data, size_t length, uint16_t seed = 0) {
        for (size_t i = 0; i < length; ++i) {
            seed ^= data[i];
            for (int bit = 0; bit < 8; ++bit)
                seed = (seed & 1) ? static_cast<uint16_t>((seed >> 1) ^ 0xA001)
                                  : static_cast<uint16_t>(seed >> 1);
        }
        return seed;
    }
};

// A ROM code with its CRC.
constexpr Rom makeRom(uint8_t family, const std::array<uint8_t, 6>& serial) {
    Rom rom{family, serial[0], serial[1], serial[2], serial[3], serial[4], serial[5], 0};
    rom[7] = Crc::crc8(rom.data(), 7);
    return rom;
}

} // namespace onewire
