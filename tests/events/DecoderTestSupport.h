#pragma once

#include "ParserFactory.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

// A fixed "now" for decoders: 2024-01-01 12:00:00.
inline constexpr double kTestNow = 45292.5;

inline std::vector<uint8_t> records(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> bytes;
    for (uint32_t w : words)
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(w >> (8 * i)));
    return bytes;
}

// Word of the main and military layout.
inline uint32_t mainWord(int code, int sub, uint32_t seconds) {
    return static_cast<uint32_t>(code) << 28 | static_cast<uint32_t>(sub) << 24 |
           (seconds & 0xFFFFFF);
}

// Word of the garage layout.
inline uint32_t garageWord(int kind, int detail, uint32_t units) {
    return static_cast<uint32_t>(detail) << 24 | static_cast<uint32_t>(kind) << 22 |
           (units & 0x3FFFFF);
}
