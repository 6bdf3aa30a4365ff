#include "DecoderTestSupport.h"
#include "TabletImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kWrap = 33554425.0 / 86400.0;

TabletImage imageWith(uint32_t clockSeconds, int32_t stamp, std::initializer_list<uint32_t> words) {
    TabletImage image;
    image.setTimeStamp(stamp);
    image.setClock(clockSeconds);
    size_t position = 0;
    for (uint32_t word : words)
        image.setRecord(position++, word);
    return image;
}

TEST(DecoderTime, ImageBaseRelatesTabletClockStampAndComputerClock) {
    // clock 1 000 000 s, stamp 400 000 s, now 2024-01-01 12:00:00: a record with
    // time field t lands at now - (600 000 - t) s.
    for (Variant v : {Variant::Main, Variant::Garage}) {
        const auto parser = makeParser(v, datetime::fixedClock(kTestNow));
        const uint32_t word = v == Variant::Main ? mainWord(0, 8, 600000) : garageWord(0, 0, 75000);
        const TabletImage image = imageWith(1000000, 400000, {word});
        const auto events = parser->decodeImage(image.bytes(), 512);
        ASSERT_EQ(events->count(), 124);
        EXPECT_NEAR(events->at(0).time, kTestNow, 1e-9) << variantName(v);
        EXPECT_EQ(datetime::format(events->at(0).time), "01.01.2024 12:00:00");
    }
}

TEST(DecoderTime, NegativeStampMovesTheBaseBackUnsignedClockDoesNot) {
    const double negative = TabletDataParserBase::imageTimeBase(kTestNow, 0, -86400);
    const double zero = TabletDataParserBase::imageTimeBase(kTestNow, 0, 0);
    EXPECT_NEAR(zero - negative, 1.0, 1e-12);
    const double highClock = TabletDataParserBase::imageTimeBase(kTestNow, 0x80000000u, 0);
    EXPECT_NEAR(zero - highClock, 2147483648.0 / 86400.0, 1e-9);
}

TEST(DecoderTime, LengthsDecideTheRecordCount) {
    const auto parser = makeParser(Variant::Garage, datetime::fixedClock(kTestNow));
    const std::vector<uint8_t> bytes(1024, 0);
    const std::pair<size_t, int> rows[] = {{0, 0}, {3, 0}, {4, 1}, {7, 1}, {8, 2}, {496, 124}};
    for (const auto& [length, count] : rows) {
        double base = 0.0;
        EXPECT_EQ(parser->decodeEvents(std::span(bytes).first(length), base)->count(), count)
            << length;
    }
    const TabletImage image;
    for (int32_t length : {-1, 0, 15})
        EXPECT_EQ(parser->decodeImage(image.bytes(), length)->count(), 0) << length;
    EXPECT_EQ(parser->decodeImage(image.bytes(), 16)->count(), 0);
    EXPECT_EQ(parser->decodeImage(image.bytes(), 20)->count(), 1);
    // a length beyond the bytes handed over is cut to them
    EXPECT_EQ(parser->decodeImage(std::span(image.bytes()).first(100), 512)->count(), 21);
    EXPECT_EQ(parser->decodeImage(std::span(image.bytes()).first(10), 512)->count(), 0);
}

TEST(DecoderTime, ImageWithoutRegisterPageReadsClockZero) {
    const auto parser = makeParser(Variant::Main, datetime::fixedClock(kTestNow));
    TabletImage image = imageWith(1000000, 0, {mainWord(0, 8, 0)});
    const auto full = parser->decodeImage(image.bytes(), 512);
    const auto cut = parser->decodeImage(std::span(image.bytes()).first(512), 512);
    EXPECT_NEAR(cut->at(0).time - full->at(0).time, 1000000 * kSecond, 1e-9);
}

TEST(DecoderTime, CounterWrapLowersTheBaseForAllLaterRecords) {
    for (Variant v : {Variant::Main, Variant::Garage}) {
        const auto parser = makeParser(v, datetime::fixedClock(kTestNow));
        // newest first: 800 s, then 1600 s (later: the counter wrapped), then 400 s
        const auto bytes =
            v == Variant::Main
                ? records({mainWord(0, 8, 800), mainWord(0, 8, 1600), mainWord(0, 8, 400)})
                : records({garageWord(0, 0, 100), garageWord(0, 0, 200), garageWord(0, 0, 50)});
        double base = 10.0;
        const auto events = parser->decodeEvents(bytes, base);
        ASSERT_EQ(events->count(), 3);
        EXPECT_DOUBLE_EQ(events->at(0).time, 25569.0 + 800 * kSecond + 10.0);
        EXPECT_DOUBLE_EQ(events->at(1).time, 25569.0 + 1600 * kSecond + 10.0 - kWrap);
        EXPECT_DOUBLE_EQ(events->at(2).time, 25569.0 + 400 * kSecond + 10.0 - kWrap);
        EXPECT_DOUBLE_EQ(base, 10.0 - kWrap) << "the caller's base is lowered too";
    }
}

TEST(DecoderTime, WrapStepIsTheGarageCounterRangePlusOneSecond) {
    EXPECT_NEAR(TabletDataParserBase::kCounterWrapDays, 388.361400462963, 1e-12);
    EXPECT_DOUBLE_EQ(TabletDataParserBase::kCounterWrapDays * 86400.0, 4194303.0 * 8 + 1);
}

TEST(DecoderTime, EqualTimesDoNotWrap) {
    const auto parser = makeParser(Variant::Main, datetime::fixedClock(kTestNow));
    const auto bytes = records({mainWord(0, 8, 500), mainWord(0, 8, 500)});
    double base = 0.0;
    const auto events = parser->decodeEvents(bytes, base);
    EXPECT_EQ(events->at(0).time, events->at(1).time);
    EXPECT_EQ(base, 0.0);
}

TEST(DecoderTime, DroppedMainRecordStillLowersTheBase) {
    const auto parser = makeParser(Variant::Main, datetime::fixedClock(kTestNow));
    // kept at 100 s; dropped zone information at 200 s (wraps); kept at 50 s
    const auto bytes = records({mainWord(0, 8, 100), mainWord(8, 0, 200), mainWord(0, 8, 50)});
    double base = 0.0;
    const auto events = parser->decodeEvents(bytes, base);
    ASSERT_EQ(events->count(), 2);
    EXPECT_EQ(events->at(1).number, 3);
    EXPECT_DOUBLE_EQ(events->at(1).time, 25569.0 + 50 * kSecond - kWrap);
}

TEST(DecoderTime, FirstKeptRecordNeverWrapsEvenAfterDroppedOnes) {
    const auto parser = makeParser(Variant::Main, datetime::fixedClock(kTestNow));
    std::vector<uint32_t> words(124, mainWord(1, 0, 0));
    words[0] = mainWord(8, 0, 10);       // dropped, position 0
    words[1] = mainWord(0, 8, 16777215); // kept: previous time is still +infinity
    std::vector<uint8_t> bytes;
    for (uint32_t w : words) {
        const auto r = records({w});
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    double base = 0.0;
    const auto events = parser->decodeEvents(bytes, base);
    ASSERT_EQ(events->count(), 123);
    EXPECT_EQ(events->at(0).number, 2);
    EXPECT_EQ(events->at(122).number, 124);
    EXPECT_DOUBLE_EQ(events->at(0).time, 25569.0 + 16777215 * kSecond);
}

TEST(DecoderTime, GarageMarksEverythingOlderThanTheFirstPowerUp) {
    const auto parser = makeParser(Variant::Garage, datetime::fixedClock(kTestNow));
    const auto bytes =
        records({garageWord(0, 0, 900), garageWord(3, 0x80, 0), garageWord(2, 0x48, 700),
                 garageWord(3, 0x80, 600), garageWord(1, 0x05, 500)});
    double base = 0.0;
    const auto events = parser->decodeEvents(bytes, base);
    const uint8_t states[] = {0, 0, 1, 1, 1};
    for (int i = 0; i < 5; ++i) {
        const EventInfo& e = events->at(i);
        EXPECT_EQ(e.timeState, states[i]) << i;
        EXPECT_EQ(e.noteText, states[i] ? "Время требует корректировки" : "") << i;
    }
    EXPECT_EQ(events->at(1).zeroTime, 1);
    EXPECT_EQ(events->at(3).zeroTime, 0);
}

TEST(DecoderTime, MilitaryDatesFromTheComputerClockWithoutWrap) {
    const auto parser = makeParser(Variant::Military, datetime::fixedClock(kTestNow));
    const TabletImage image = imageWith(
        1000000, 400000, {mainWord(0, 8, 400000), mainWord(0, 8, 399940), mainWord(0, 8, 500000)});
    const auto events = parser->decodeImage(image.bytes(), 512);
    EXPECT_EQ(datetime::format(events->at(0).time), "12.01.1970 13:46:40");
    EXPECT_EQ(datetime::format(events->at(1).time), "12.01.1970 13:45:40");
    // later than the previous record and kept as it is
    EXPECT_EQ(datetime::format(events->at(2).time), "13.01.1970 17:33:20");

    double base = 0.0;
    const auto imported = parser->decodeEvents(records({mainWord(0, 8, 3600)}), base);
    EXPECT_EQ(datetime::format(imported->at(0).time), "01.01.2024 13:00:00");
    EXPECT_EQ(base, 0.0);
}

TEST(DecoderTime, MilitaryReadsTheClockForEveryRecord) {
    int reads = 0;
    const auto parser = makeParser(Variant::Military, [&] { return kTestNow + reads++; });
    double base = 0.0;
    const auto events = parser->decodeEvents(records({0u, 0u, 0u}), base);
    EXPECT_EQ(reads, 3);
    EXPECT_DOUBLE_EQ(events->at(2).time - events->at(0).time, 2.0);
}

TEST(DecoderTime, NumbersKeepTheirPositionsAcrossGaps) {
    const auto parser = makeParser(Variant::Main, datetime::fixedClock(kTestNow));
    std::vector<uint8_t> bytes(496, 0);
    bytes[3] = 0x80;          // position 0 dropped
    bytes[4 * 50 + 3] = 0xB8; // position 50 dropped
    double base = 0.0;
    const auto events = parser->decodeEvents(bytes, base);
    ASSERT_EQ(events->count(), 122);
    int expected = 2;
    for (const EventInfo& e : *events) {
        if (expected == 51)
            ++expected;
        EXPECT_EQ(e.number, expected);
        EXPECT_EQ(e.position, expected - 1);
        ++expected;
    }
}

} // namespace
