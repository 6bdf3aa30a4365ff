// The time correction on the list, its segments and its unsaved state.
#include "EventLog.h"
#include "DecoderTestSupport.h"

#include <gtest/gtest.h>

namespace {

constexpr double kHour = 1.0 / 24;

// Twelve main-variant events newest first, power-loss markers at 3 and 8.
EventLog mainLog() {
    std::vector<uint32_t> words;
    for (uint32_t i = 0; i < 12; ++i) {
        const bool marker = i == 3 || i == 8;
        words.push_back(marker ? mainWord(15, 2, 600000 - 60 * i)
                               : mainWord(0, 8, 600000 - 60 * i));
    }
    std::vector<uint8_t> bytes(4 * words.size());
    for (size_t i = 0; i < words.size(); ++i)
        le::write32(bytes.data() + 4 * i, words[i]);
    std::shared_ptr<const TabletDataParserBase> parser =
        makeParser(Variant::Main, datetime::fixedClock(kTestNow));
    double base = 0.0;
    auto events = parser->decodeEvents(bytes, base);
    return EventLog(std::move(*events), parser, EventLog::Origin::ReadOut);
}

std::vector<double> times(const EventLog& log) {
    std::vector<double> t;
    for (const EventInfo& e : log.events())
        t.push_back(e.time);
    return t;
}

TEST(EventLog, CorrectionMovesTheWholeSegmentAndMarksIt) {
    EventLog log = mainLog();
    const std::vector<double> before = times(log);
    ASSERT_EQ(log.events().count(), 12);
    EXPECT_FALSE(log.modified());
    const auto old = log.correctTime(5, before[5] + kHour);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->first, 3);
    EXPECT_EQ(old->last(), 7);
    for (int i = 0; i < 12; ++i) {
        const bool moved = i >= 3 && i <= 7;
        const EventInfo& e = log.events().at(i);
        EXPECT_NEAR(e.time - before[static_cast<size_t>(i)], moved ? kHour : 0.0, 1e-6) << i;
        EXPECT_EQ(e.timeState, moved ? 2 : 0) << i;
        EXPECT_EQ(e.noteText, moved ? "Время отредактировано вручную" : "") << i;
    }
    // the others keep their distance to the picked one
    EXPECT_NEAR(log.events().at(3).time - log.events().at(5).time, before[3] - before[5], 1e-9);
    EXPECT_TRUE(log.modified());
}

TEST(EventLog, SegmentsOfTheMainRule) {
    const EventLog log = mainLog();
    const struct {
        int row, first, last;
    } rows[] = {{0, 0, 2}, {2, 0, 2}, {3, 3, 7}, {7, 3, 7}, {8, 8, 11}, {11, 8, 11}};
    for (const auto& row : rows) {
        const auto segment = log.segmentOf(row.row);
        ASSERT_TRUE(segment) << row.row;
        EXPECT_EQ(segment->first, row.first) << row.row;
        EXPECT_EQ(segment->second, row.last) << row.row;
    }
    EXPECT_FALSE(log.segmentOf(-1));
    EXPECT_FALSE(log.segmentOf(12));
}

TEST(EventLog, ANewDayMovesTheFirstSegmentOnly) {
    EventLog log = mainLog();
    const std::vector<double> before = times(log);
    ASSERT_TRUE(log.correctTime(0, before[0] + 1.0));
    for (int i = 0; i < 3; ++i)
        EXPECT_DOUBLE_EQ(log.events().at(i).time - before[static_cast<size_t>(i)], 1.0) << i;
    EXPECT_DOUBLE_EQ(log.events().at(3).time, before[3]);
}

TEST(EventLog, TheSameTimeOrARowOutsideChangesNothing) {
    EventLog log = mainLog();
    const std::vector<double> before = times(log);
    EXPECT_FALSE(log.correctTime(5, before[5]));
    EXPECT_FALSE(log.correctTime(-1, 1.0));
    EXPECT_FALSE(log.correctTime(12, 1.0));
    EXPECT_EQ(times(log), before);
    for (const EventInfo& e : log.events())
        EXPECT_EQ(e.timeState, 0);
    EXPECT_FALSE(log.modified());
    EXPECT_EQ(log.revision(), 0u);
}

TEST(EventLog, RestoringTheOldSegmentPutsTimesStatesAndNotesBack) {
    EventLog log = mainLog();
    const EventLog untouched = mainLog();
    const auto first = log.correctTime(4, log.events().at(4).time - 2 * kHour);
    const auto second = log.correctTime(9, log.events().at(9).time + kHour);
    ASSERT_TRUE(first && second);
    log.restore(*second);
    log.restore(*first);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(log.events().at(i).time, untouched.events().at(i).time) << i;
        EXPECT_EQ(log.events().at(i).timeState, untouched.events().at(i).timeState) << i;
        EXPECT_EQ(log.events().at(i).noteText, untouched.events().at(i).noteText) << i;
    }
    EXPECT_EQ(log.revision(), 4u);
}

TEST(EventLog, SavingClearsTheUnsavedStateUntilTheNextChange) {
    EventLog log = mainLog();
    EXPECT_FALSE(log.modified());
    ASSERT_TRUE(log.correctTime(1, log.events().at(1).time + kHour));
    EXPECT_TRUE(log.modified());
    log.markSaved();
    EXPECT_FALSE(log.modified());
    ASSERT_TRUE(log.correctTime(1, log.events().at(1).time + kHour));
    EXPECT_TRUE(log.modified());
    EXPECT_EQ(log.revision(), 2u);
}

TEST(EventLog, WithoutARuleTheRowAloneMoves) {
    EventCollection events;
    for (int i = 0; i < 3; ++i) {
        EventInfo e;
        e.time = 100.0 - i;
        events.append(e);
    }
    EventLog log(std::move(events), nullptr, EventLog::Origin::File);
    EXPECT_EQ(log.origin(), EventLog::Origin::File);
    ASSERT_TRUE(log.correctTime(1, 50.0));
    EXPECT_EQ(log.events().at(0).time, 100.0);
    EXPECT_EQ(log.events().at(1).time, 50.0);
    EXPECT_EQ(log.events().at(1).timeState, EventInfo::EditedByHand);
    EXPECT_EQ(log.events().at(2).time, 98.0);
}

TEST(EventLog, TheGarageRunEndsAtThePowerUp) {
    // newest first: two events, a power-up, then an older run that needs correction
    const std::vector<uint32_t> words = {garageWord(0, 0, 900),  garageWord(1, 5, 800),
                                         garageWord(3, 0x80, 0), garageWord(2, 0x48, 700),
                                         garageWord(0, 1, 600),  garageWord(3, 0x80, 0),
                                         garageWord(1, 3, 500)};
    std::vector<uint8_t> bytes(4 * words.size());
    for (size_t i = 0; i < words.size(); ++i)
        le::write32(bytes.data() + 4 * i, words[i]);
    std::shared_ptr<const TabletDataParserBase> parser =
        makeParser(Variant::Garage, datetime::fixedClock(kTestNow));
    double base = 0.0;
    EventLog log(std::move(*parser->decodeEvents(bytes, base)), parser, EventLog::Origin::Import);
    ASSERT_EQ(log.events().count(), 7);
    EXPECT_EQ(log.events().at(3).timeState, 1);
    ASSERT_TRUE(log.correctTime(4, log.events().at(4).time - 600.0 / 86400));
    const int states[] = {0, 0, 0, 2, 2, 2, 1};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(log.events().at(i).timeState, states[i]) << i;
}

} // namespace
