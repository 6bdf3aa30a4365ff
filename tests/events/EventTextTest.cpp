// Event texts: shared by the events that show them, read like strings.
#include "EventText.h"
#include "DecoderTestSupport.h"
#include "EventLog.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(EventText, ReadsAndComparesLikeAString) {
    const EventText empty;
    const EventText none("");
    const EventText norm("Норма");
    const EventText copy = norm;
    const EventText equal(std::string("Норма"));
    struct Row {
        const EventText& text;
        const char* expected;
    } rows[] = {{empty, ""}, {none, ""}, {norm, "Норма"}, {copy, "Норма"}, {equal, "Норма"}};
    for (const Row& row : rows) {
        EXPECT_EQ(row.text, row.expected);
        EXPECT_EQ(row.text, std::string(row.expected));
        EXPECT_EQ(row.text.str(), row.expected);
        EXPECT_EQ(row.text.empty(), *row.expected == '\0');
        EXPECT_EQ(row.text.size(), std::string(row.expected).size());
        const std::string& asString = row.text;
        EXPECT_EQ(asString, row.expected);
        std::ostringstream out;
        out << row.text;
        EXPECT_EQ(out.str(), row.expected);
    }
    EXPECT_TRUE(copy.sharedWith(norm));
    EXPECT_FALSE(equal.sharedWith(norm));
    EXPECT_EQ(equal, norm) << "equal bytes are equal texts";
    EXPECT_FALSE(norm == empty);
}

TEST(EventText, LivesAsLongAsAnyCopy) {
    EventText kept;
    {
        EventText first("Питание включено");
        EventText second = first;
        kept = std::move(second);
        EXPECT_TRUE(second.empty());
    }
    EXPECT_EQ(kept, "Питание включено");
    EventText moved(std::move(kept));
    EXPECT_TRUE(kept.empty());
    EXPECT_EQ(moved, "Питание включено");
}

// Events of one variant that show the same text hold the same text object,
// also across decoding runs; the notes are the variant's one text.
TEST(EventText, DecodedEventsShareTheirTexts) {
    const auto bytes = records({garageWord(3, 0x80, 10), garageWord(0, 0, 9), garageWord(0, 0, 8),
                                garageWord(2, 0x08, 7), garageWord(0, 0, 6)});
    struct Row {
        Variant variant;
        std::vector<uint8_t> bytes;
    } rows[] = {
        {Variant::Garage, bytes},
        {Variant::Main, records({mainWord(0, 8, 50), mainWord(4, 0, 40), mainWord(0, 8, 30)})},
        {Variant::Military, records({mainWord(0, 8, 50), mainWord(3, 0, 40), mainWord(0, 8, 30)})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.variant));
        const auto parser = makeParser(row.variant, datetime::fixedClock(kTestNow));
        double base = 0.0, again = 0.0;
        const auto list = parser->decodeEvents(row.bytes, base);
        const auto second = parser->decodeEvents(row.bytes, again);
        ASSERT_GE(list->count(), 3);
        const int last = list->count() - 1;
        EXPECT_TRUE(list->at(last).typeText.sharedWith(list->at(last - 2).typeText));
        EXPECT_TRUE(list->at(last).infoText.sharedWith(list->at(last - 2).infoText));
        EXPECT_TRUE(list->at(0).typeText.sharedWith(second->at(0).typeText));
        EXPECT_TRUE(list->at(0).infoText.sharedWith(second->at(0).infoText));
    }
    const auto parser = makeParser(Variant::Garage, datetime::fixedClock(kTestNow));
    double base = 0.0;
    const auto garage = parser->decodeEvents(bytes, base);
    for (int i = 1; i < garage->count(); ++i) {
        EXPECT_EQ(garage->at(i).noteText, eventtext::kNeedsCorrection);
        EXPECT_TRUE(garage->at(i).noteText.sharedWith(eventtext::needsCorrectionNote()));
    }
}

TEST(EventText, ATimeCorrectionWritesTheOneNote) {
    const std::shared_ptr<const TabletDataParserBase> parser =
        makeParser(Variant::Main, datetime::fixedClock(kTestNow));
    double base = 0.0;
    auto events = parser->decodeEvents(
        records({mainWord(0, 8, 500), mainWord(0, 8, 400), mainWord(0, 8, 300)}), base);
    EventLog log(std::move(*events), parser, EventLog::Origin::ReadOut);
    ASSERT_TRUE(log.correctTime(1, log.events().at(1).time + 1.0 / 24));
    for (const EventInfo& e : log.events()) {
        EXPECT_EQ(e.noteText, eventtext::kEditedByHand);
        EXPECT_TRUE(e.noteText.sharedWith(eventtext::editedByHandNote()));
    }
}

} // namespace
