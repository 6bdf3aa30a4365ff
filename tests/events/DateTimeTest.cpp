#include "DateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

struct FormatRow {
    double value;
    const char* text;
};

TEST(DateTime, FormatsDayCounts) {
    const double second = 1.0 / 86400.0;
    const FormatRow rows[] = {
        {25569.0, "01.01.1970 00:00:00"},
        {0.0, "30.12.1899 00:00:00"},
        {25569.5, "01.01.1970 12:00:00"},
        {36585.0, "29.02.2000 00:00:00"},
        // a hair below a whole second shows that second
        {25569.0 + 5 * second - 1e-10, "01.01.1970 00:00:05"},
        // a hair below midnight rolls over to the next day
        {25570.0 - 1e-10, "02.01.1970 00:00:00"},
        // 0.4 ms rounds away, 0.6 s does not make a second
        {25569.0 + 0.6 * second, "01.01.1970 00:00:00"},
        {-0.5, "30.12.1899 12:00:00"},
        {-1.25, "29.12.1899 06:00:00"},
        {2958465.0, "31.12.9999 00:00:00"},
        {2958466.0, ""},
        {-693593.0, "01.01.0001 00:00:00"},
        {-693594.0, ""},
        {std::numeric_limits<double>::infinity(), ""},
        {std::numeric_limits<double>::quiet_NaN(), ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(datetime::format(row.value), row.text) << row.value;
}

TEST(DateTime, EncodesDatesAndRejectsImpossibleOnes) {
    EXPECT_EQ(datetime::encodeDate(1970, 1, 1), 25569.0);
    EXPECT_EQ(datetime::encodeDate(2000, 2, 29), 36585.0);
    EXPECT_EQ(datetime::encodeDate(1899, 12, 30), 0.0);
    EXPECT_FALSE(datetime::encodeDate(2001, 2, 29));
    EXPECT_FALSE(datetime::encodeDate(1900, 2, 29));
    EXPECT_FALSE(datetime::encodeDate(2024, 13, 1));
    EXPECT_FALSE(datetime::encodeDate(0, 1, 1));
}

TEST(DateTime, DecodeRoundTripsEncodedParts) {
    const datetime::Parts parts{2024, 1, 1, 12, 34, 56, 0};
    const auto value = datetime::encodeDateTime(parts);
    ASSERT_TRUE(value);
    const auto back = datetime::decode(*value);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->year, 2024);
    EXPECT_EQ(back->hour, 12);
    EXPECT_EQ(back->minute, 34);
    EXPECT_EQ(back->second, 56);
    EXPECT_EQ(datetime::format(*value), "01.01.2024 12:34:56");
}

TEST(DateTime, LocalClockIsNearTheSystemTime) {
    const double now = datetime::localNow();
    // Between 2020 and 2100: the clock is read and converted, not garbage.
    EXPECT_GT(now, *datetime::encodeDate(2020, 1, 1));
    EXPECT_LT(now, *datetime::encodeDate(2100, 1, 1));
}

} // namespace
