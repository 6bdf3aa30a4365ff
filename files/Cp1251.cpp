#include "Cp1251.h"

#include <array>
#include <cstdint>

namespace {

// Code points of the bytes 0x80 to 0xBF; 0xC0 to 0xFF are U+0410 to U+044F.
constexpr std::array<char16_t, 64> kUpperHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};
constexpr char32_t kCyrillicA = 0x0410;
constexpr uint8_t kCyrillicAByte = 0xC0;
constexpr char kReplacement = '?';

constexpr char32_t codePoint(uint8_t byte) {
    if (byte < 0x80)
        return byte;
    if (byte >= kCyrillicAByte)
        return kCyrillicA + (byte - kCyrillicAByte);
    return kUpperHalf[byte - 0x80u];
}

// Each byte's character, encoded once: length and up to three UTF-8 bytes.
struct Utf8Char {
    uint8_t length;
    char bytes[3];
};

constexpr Utf8Char encode(char32_t c) {
    if (c < 0x80)
        return {1, {static_cast<char>(c), 0, 0}};
    if (c < 0x800)
        return {2, {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F)), 0}};
    return {3,
            {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
             static_cast<char>(0x80 | (c & 0x3F))}};
}

constexpr std::array<Utf8Char, 256> makeUtf8Table() {
    std::array<Utf8Char, 256> table{};
    for (int b = 0; b < 256; ++b)
        table[static_cast<size_t>(b)] = encode(codePoint(static_cast<uint8_t>(b)));
    return table;
}
constexpr std::array<Utf8Char, 256> kUtf8 = makeUtf8Table();

char byteFor(char32_t c) {
    if (c < 0x80)
        return static_cast<char>(c);
    if (c >= kCyrillicA && c < kCyrillicA + 64)
        return static_cast<char>(kCyrillicAByte + (c - kCyrillicA));
    for (size_t i = 0; i < kUpperHalf.size(); ++i)
        if (kUpperHalf[i] == c)
            return static_cast<char>(0x80 + i);
    return kReplacement;
}

// The length of the well-formed UTF-8 sequence at s[i] and its code point; 0
// when it is malformed (overlong forms and surrogates included).
size_t decodeUtf8(std::string_view s, size_t i, char32_t& c) {
    const auto at = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t lead = at(i);
    size_t length;
    char32_t min;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, c = lead & 0x1F, min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, c = lead & 0x0F, min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, c = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - i < length)
        return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (at(i + k) & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

namespace cp1251 {

std::string toUtf8(std::string_view bytes) {
    size_t size = 0;
    for (char b : bytes)
        size += kUtf8[static_cast<uint8_t>(b)].length;
    std::string out(size, '\0');
    char* p = out.data();
    for (char b : bytes) {
        const Utf8Char& c = kUtf8[static_cast<uint8_t>(b)];
        for (uint8_t i = 0; i < c.length; ++i)
            *p++ = c.bytes[i];
    }
    return out;
}

std::string fromUtf8(std::string_view utf8) {
    // one byte for each character or malformed byte: never more than the input
    std::string out(utf8.size(), '\0');
    char* p = out.data();
    for (size_t i = 0; i < utf8.size();) {
        if (static_cast<uint8_t>(utf8[i]) < 0x80) {
            *p++ = utf8[i++];
            continue;
        }
        char32_t c = 0;
        const size_t length = decodeUtf8(utf8, i, c);
        if (length == 0) {
            *p++ = kReplacement;
            ++i;
            continue;
        }
        *p++ = byteFor(c);
        i += length;
    }
    out.resize(static_cast<size_t>(p - out.data()));
    return out;
}

} // namespace cp1251
