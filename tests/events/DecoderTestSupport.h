#pragma once

#include "LittleEndian.h"
#include "ParserFactory.h"

#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <vector>

// A fixed "now" for decoders: 2024-01-01 12:00:00.
inline constexpr double kTestNow = 45292.5;

inline std::vector<uint8_t> records(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> bytes(4 * words.size());
    size_t at = 0;
    for (uint32_t w : words) {
        le::write32(bytes.data() + at, w);
        at += 4;
    }
    return bytes;
}

// Word of the main and military layout.
inline uint32_t mainWord(int code, int sub, uint32_t seconds) {
    return variantRow(Variant::Main)
        .codec->encode({static_cast<uint8_t>(code << 4 | sub), 0, seconds});
}

// Word of the garage layout; the time in 8-second units.
inline uint32_t garageWord(int kind, int detail, uint32_t units) {
    return variantRow(Variant::Garage)
        .codec->encode({static_cast<uint8_t>(detail), static_cast<uint8_t>(kind), units * 8});
}

// One event of a hand-made list: the number, its position before it, the day
// count, category, time state, texts and whether the record was erased memory.
inline EventInfo listEvent(int number, double time, int category, int state, const char* info,
                           const char* note, bool erased = false) {
    EventInfo e;
    e.number = number;
    e.position = number - 1;
    e.time = time;
    e.category = static_cast<int8_t>(category);
    e.timeState = static_cast<uint8_t>(state);
    e.infoText = info;
    e.noteText = note;
    e.erased = erased;
    return e;
}

inline std::bitset<6> categories(std::initializer_list<int> list) {
    std::bitset<6> b;
    for (int c : list)
        b.set(static_cast<size_t>(c));
    return b;
}
