#include "Cp1251.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <set>
#include <string>

namespace {

std::string allBytes() {
    std::string s;
    for (int b = 0; b < 256; ++b)
        s += static_cast<char>(b);
    return s;
}

TEST(Cp1251, EveryByteSurvivesBothWays) {
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(cp1251::fromUtf8(cp1251::toUtf8(one)), one) << b;
    }
    EXPECT_EQ(cp1251::fromUtf8(cp1251::toUtf8(allBytes())), allBytes());
}

TEST(Cp1251, EveryByteIsItsOwnCharacter) {
    std::set<std::string> seen;
    for (int b = 0; b < 256; ++b)
        seen.insert(cp1251::toUtf8(std::string(1, static_cast<char>(b))));
    EXPECT_EQ(seen.size(), 256u);
}

// The C library's own code page table, for every byte it assigns.
TEST(Cp1251, AgreesWithTheSystemTable) {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    int compared = 0;
    for (int b = 1; b < 256; ++b) {
        char in[1] = {static_cast<char>(b)};
        char out[8] = {};
        char* inp = in;
        char* outp = out;
        size_t inLeft = 1, outLeft = sizeof out;
        if (iconv(cd, &inp, &inLeft, &outp, &outLeft) == static_cast<size_t>(-1)) {
            EXPECT_EQ(b, 0x98) << "only 0x98 is unassigned";
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            continue;
        }
        EXPECT_EQ(cp1251::toUtf8(std::string(in, 1)), std::string(out, outp)) << b;
        ++compared;
    }
    iconv_close(cd);
    EXPECT_GE(compared, 254);
}

TEST(Cp1251, CyrillicBytes) {
    EXPECT_EQ(cp1251::fromUtf8("Пожар! Ёё №5"), "\xCF\xEE\xE6\xE0\xF0! \xA8\xB8 \xB9"
                                                "5");
    EXPECT_EQ(cp1251::toUtf8("\xC0\xDF\xE0\xFF"), "АЯая");
    EXPECT_EQ(cp1251::toUtf8("\x98"), "\xC2\x98");
}

struct EncodeRow {
    const char* name;
    std::string utf8;
    std::string bytes;
};

TEST(Cp1251, CharactersWithoutAByteBecomeQuestionMarks) {
    const EncodeRow rows[] = {
        {"CJK", "日本", "??"},
        {"emoji", "a\xF0\x9F\x94\xA5z", "a?z"},
        {"Latin accent", "é", "?"},
        {"euro sign has a byte", "€", "\x88"},
        {"overlong zero", std::string("\xC0\x80", 2), "??"},
        {"cut sequence", "\xD0", "?"},
        {"lone continuation", "\x80x", "?x"},
        {"surrogate", "\xED\xA0\x80", "???"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
        {"zero byte kept", std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const EncodeRow& row : rows)
        EXPECT_EQ(cp1251::fromUtf8(row.utf8), row.bytes) << row.name;
}

} // namespace
