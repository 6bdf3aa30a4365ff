#pragma once

#include <cstddef>
#include <cstdint>

// The two CRCs of the 1-Wire world. Header-only: the driver stand-in, the
// simulated devices and the program's own checks all share it.
namespace onewire {

// CRC-8, x^8 + x^5 + x^4 + 1, reflected (0x8C), as the ROM code and the tablet headers use it.
constexpr uint8_t crc8Byte(uint8_t seed, uint8_t byte) {
    uint8_t crc = seed ^ byte;
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 1) ? static_cast<uint8_t>((crc >> 1) ^ 0x8C) : static_cast<uint8_t>(crc >> 1);
    return crc;
}

constexpr uint8_t crc8(const uint8_t* data, size_t length, uint8_t seed = 0) {
    for (size_t i = 0; i < length; ++i)
        seed = crc8Byte(seed, data[i]);
    return seed;
}

// CRC-16, reflected 0xA001.
constexpr uint16_t crc16Byte(uint16_t seed, uint8_t byte) {
    uint16_t crc = seed ^ byte;
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001)
                        : static_cast<uint16_t>(crc >> 1);
    return crc;
}

constexpr uint16_t crc16(const uint8_t* data, size_t length, uint16_t seed = 0) {
    for (size_t i = 0; i < length; ++i)
        seed = crc16Byte(seed, data[i]);
    return seed;
}

} // namespace onewire
