#include "SegmentRule.h"
#include "DecoderTestSupport.h"

#include <gtest/gtest.h>

namespace {

// A list as a log file gives it back: no raw copies.
std::unique_ptr<EventCollection> opened(Variant variant, std::initializer_list<uint32_t> words) {
    double base = 0.0;
    auto events =
        makeParser(variant, datetime::fixedClock(kTestNow))->decodeEvents(records(words), base);
    for (EventInfo& e : *events)
        e.raw.reset();
    return events;
}

TEST(SegmentRule, GarageTextsGiveTheGarageRuleAnythingElseTheMain) {
    const struct {
        const char* name;
        std::unique_ptr<EventCollection> events;
        Variant rule;
    } rows[] = {
        {"garage, all four groups",
         opened(Variant::Garage, {garageWord(0, 1, 10), garageWord(1, 3, 9), garageWord(2, 8, 8),
                                  garageWord(3, 0x80, 7)}),
         Variant::Garage},
        {"main", opened(Variant::Main, {mainWord(0, 8, 10), mainWord(15, 2, 9)}), Variant::Main},
        {"military", opened(Variant::Military, {mainWord(0, 8, 10), mainWord(3, 0, 9)}),
         Variant::Main},
        {"empty", std::make_unique<EventCollection>(), Variant::Main},
    };
    for (const auto& row : rows)
        EXPECT_EQ(segmentRuleVariant(*row.events), row.rule) << row.name;
}

TEST(SegmentRule, OneRecordWithoutAGarageTextGivesTheMainRule) {
    auto events = opened(Variant::Garage, {garageWord(3, 0x80, 7), garageWord(0, 0, 6)});
    ASSERT_EQ(segmentRuleVariant(*events), Variant::Garage);
    EventInfo foreign;
    foreign.typeText = "(3) Пульт";
    events->append(foreign);
    EXPECT_EQ(segmentRuleVariant(*events), Variant::Main);
    // a group text must match whole
    events->at(2).typeText = "(3) Информация о питании!";
    EXPECT_EQ(segmentRuleVariant(*events), Variant::Main);
    events->at(2).typeText = "(3) Информация о питании";
    EXPECT_EQ(segmentRuleVariant(*events), Variant::Garage);
}

} // namespace
