#include "OneWireCrc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Crc8Row {
    std::vector<uint8_t> bytes;
    uint8_t crc;
};

TEST(OneWireCrc, Crc8KnownValues) {
    const std::string digits = "123456789";
    const Crc8Row rows[] = {
        {{digits.begin(), digits.end()}, 0xA1},
        {{0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00}, 0xA2},
        {{0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00, 0xA2}, 0x00},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0x14},
        {{0, 0, 0, 0, 0, 0, 0}, 0x00},
        {{}, 0x00},
    };
    for (const auto& row : rows)
        EXPECT_EQ(onewire::crc8(row.bytes.data(), row.bytes.size()), row.crc);
}

TEST(OneWireCrc, ByteStepsChainLikeTheWholeBuffer) {
    const uint8_t bytes[] = {0x04, 0x12, 0x34, 0x56, 0x78, 0x02, 0x00};
    uint8_t seed = 0;
    for (uint8_t b : bytes)
        seed = onewire::crc8Byte(seed, b);
    EXPECT_EQ(seed, onewire::crc8(bytes, sizeof bytes));
}

TEST(OneWireCrc, Crc16KnownValue) {
    const std::string digits = "123456789";
    EXPECT_EQ(onewire::crc16(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()),
              0xBB3D);
}

} // namespace
