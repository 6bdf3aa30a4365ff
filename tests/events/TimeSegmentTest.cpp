#include "DecoderTestSupport.h"
#include "UsualTabletParser.h"

#include <gtest/gtest.h>

namespace {

struct SegmentRow {
    int index;
    int first;
    int last;
};

EventCollection listWithMarkers(int count, std::initializer_list<int> markers, uint8_t marker,
                                uint8_t other, const char* markerType) {
    EventCollection events;
    for (int i = 0; i < count; ++i) {
        EventInfo e;
        e.codeByte = other;
        for (int m : markers)
            if (m == i) {
                e.codeByte = marker;
                e.typeText = markerType;
            }
        events.append(e);
    }
    return events;
}

TEST(TimeSegment, MainAndMilitaryMarkersOpenASegment) {
    const SegmentRow rows[] = {{5, 3, 9},    {3, 3, 9}, {12, 10, 19}, {1, 0, 2},
                               {10, 10, 19}, {0, 0, 2}, {19, 10, 19}};
    for (Variant v : {Variant::Main, Variant::Military}) {
        const auto parser = makeParser(v);
        const auto events = listWithMarkers(20, {3, 10}, 0xF2, 0x08, "(15) Нотификация");
        for (const auto& row : rows) {
            int first = -7, last = -7;
            parser->findTimeSegment(events, row.index, first, last);
            EXPECT_EQ(first, row.first) << variantName(v) << " " << row.index;
            EXPECT_EQ(last, row.last) << variantName(v) << " " << row.index;
        }
    }
}

TEST(TimeSegment, MainMarkerNeedsCodeFifteenWithBitOne) {
    const auto parser = makeParser(Variant::Main);
    for (uint8_t code : {0xF1, 0xF4, 0xE2, 0x72}) {
        const auto events = listWithMarkers(10, {4}, code, 0x08, "");
        int first = -1, last = -1;
        parser->findTimeSegment(events, 6, first, last);
        EXPECT_EQ(first, 0) << int(code);
        EXPECT_EQ(last, 9) << int(code);
    }
    for (uint8_t code : {0xF2, 0xF3, 0xFF}) {
        const auto events = listWithMarkers(10, {4}, code, 0x08, "");
        int first = -1, last = -1;
        parser->findTimeSegment(events, 6, first, last);
        EXPECT_EQ(first, 4) << int(code);
    }
}

TEST(TimeSegment, GaragePowerUpClosesASegment) {
    const auto parser = makeParser(Variant::Garage);
    // decoded records carry their raw copy
    std::vector<uint32_t> words(15, garageWord(0, 0, 10));
    words[4] = words[9] = garageWord(3, 0x80, 10);
    std::vector<uint8_t> bytes;
    for (uint32_t w : words) {
        const auto r = records({w});
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    double base = 0.0;
    const auto decoded = parser->decodeEvents(bytes, base);
    // records opened from a log file: no raw copy, the marker comes from the stored fields
    auto stored = *decoded;
    for (EventInfo& e : stored)
        e.raw.reset();

    const SegmentRow rows[] = {{6, 5, 9},   {2, 0, 4},    {4, 5, 9},
                               {9, 10, 14}, {14, 10, 14}, {0, 0, 4}};
    for (const EventCollection* events : {decoded.get(), &stored}) {
        for (const auto& row : rows) {
            int first = -1, last = -1;
            parser->findTimeSegment(*events, row.index, first, last);
            EXPECT_EQ(first, row.first) << row.index;
            EXPECT_EQ(last, row.last) << row.index;
        }
    }
}

TEST(TimeSegment, StoredGarageMarkerNeedsKindThreeAndDetail0x80) {
    EventInfo e;
    e.codeByte = 0x80;
    e.typeText = "(3) Информация о питании";
    EXPECT_TRUE(UsualTabletParser::isPowerUp(e));
    e.typeText = "(2) Тревожное сообщение"; // detail 0x80 of an alarm: "Начало тушения"
    EXPECT_FALSE(UsualTabletParser::isPowerUp(e));
    e.typeText = "(3) Информация о питании";
    e.codeByte = 0x00;
    EXPECT_FALSE(UsualTabletParser::isPowerUp(e));
    // a raw copy wins over the stored fields
    e.codeByte = 0x80;
    e.raw = std::array<uint8_t, 4>{0, 0, 0x80, 0x80};
    EXPECT_FALSE(UsualTabletParser::isPowerUp(e));
}

TEST(TimeSegment, OutOfRangeIndexLeavesTheOutputsAlone) {
    for (Variant v : {Variant::Main, Variant::Garage, Variant::Military}) {
        const auto parser = makeParser(v);
        const EventCollection empty;
        const auto five = listWithMarkers(5, {}, 0, 0, "");
        for (const auto& [list, index] : {std::pair{&empty, 0}, {&five, -1}, {&five, 5}}) {
            int first = 42, last = 43;
            parser->findTimeSegment(*list, index, first, last);
            EXPECT_EQ(first, 42);
            EXPECT_EQ(last, 43);
        }
        int first = 42, last = 43;
        parser->findTimeSegment(five, 2, first, last);
        EXPECT_EQ(first, 0);
        EXPECT_EQ(last, 4);
    }
}

} // namespace
