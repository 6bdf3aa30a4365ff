#include "AtomicFile.h"
#include "Cp1251.h"
#include "FilesTestSupport.h"
#include "InputFile.h"
#include "LogFileReader.h"
#include "LogFileWriter.h"
#include "MemorySink.h"
#include "MemorySource.h"
#include "UsualTabletParser.h"

#include <sstream>

namespace {

std::vector<uint8_t> written(const EventCollection& events) {
    MemorySink sink;
    EXPECT_TRUE(LogFileWriter::write(sink, events));
    return sink.bytes;
}

LogFileReader::End readBytes(const std::vector<uint8_t>& bytes, EventCollection& events) {
    MemorySource source(bytes);
    return LogFileReader::read(source, events);
}

LogFileReader::End readFile(const std::filesystem::path& path, EventCollection& events) {
    InputFile file;
    EXPECT_EQ(file.open(path.string()), InputFile::Status::Opened) << path;
    return LogFileReader::read(file, events);
}

TEST(LogFile, BlockLayoutByteForByte) {
    EventInfo e;
    e.number = 0x11223344;
    e.zeroTime = 1;
    e.timeState = EventInfo::EditedByHand;
    e.position = -2;
    e.time = 45292.5;
    e.category = -3;
    e.codeByte = 0xA5;
    e.typeText = "abc";
    e.raw = std::array<uint8_t, 4>{1, 2, 3, 4};
    MemorySink sink;
    ASSERT_TRUE(LogFileWriter::writeEvent(sink, e));

    std::vector<uint8_t> expected(63, 0);
    const uint8_t number[] = {0x44, 0x33, 0x22, 0x11};
    std::copy(std::begin(number), std::end(number), expected.begin());
    expected[16] = 1;
    expected[17] = 2;
    const uint8_t position[] = {0xFE, 0xFF, 0xFF, 0xFF};
    std::copy(std::begin(position), std::end(position), expected.begin() + 20);
    const uint8_t time[] = {0, 0, 0, 0, 0x90, 0x1D, 0xE6, 0x40}; // 45292.5
    std::copy(std::begin(time), std::end(time), expected.begin() + 24);
    expected[32] = 0xFD;
    expected[40] = 0xA5;
    expected[48] = 3;
    expected[52] = 'a';
    expected[53] = 'b';
    expected[54] = 'c';
    EXPECT_EQ(sink.bytes, expected);
}

TEST(LogFile, EachVariantComesBackWhole) {
    for (Variant v : {Variant::Main, Variant::Garage, Variant::Military}) {
        for (int count : {124, 10000}) {
            SCOPED_TRACE(std::string(variantName(v)) + " " + std::to_string(count));
            const auto events = decodedList(v, count, 7u + static_cast<unsigned>(v));
            ASSERT_EQ(events->count(), count);
            EventCollection back;
            EXPECT_EQ(readBytes(written(*events), back), LogFileReader::End::Clean);
            expectSameEvents(*events, back);
        }
    }
}

TEST(LogFile, EditedTimesAndOddValuesComeBack) {
    EventCollection events;
    const double times[] = {0.0,
                            -1.5,
                            1e300,
                            std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity(),
                            45292.123456789};
    int n = 0;
    for (double t : times) {
        EventInfo e;
        e.number = n == 0 ? std::numeric_limits<int32_t>::min() : n;
        e.position = n == 1 ? std::numeric_limits<int32_t>::max() : n;
        e.time = t;
        e.timeState = static_cast<uint8_t>(n % 3);
        e.zeroTime = static_cast<uint8_t>(n % 2);
        e.category = static_cast<int8_t>(n == 2 ? -128 : n);
        e.codeByte = static_cast<uint8_t>(255 - n);
        e.noteText = eventtext::kEditedByHand;
        events.append(e);
        ++n;
    }
    EventCollection back;
    EXPECT_EQ(readBytes(written(events), back), LogFileReader::End::Clean);
    expectSameEvents(events, back);
}

TEST(LogFile, SameListSameBytes) {
    auto events = decodedList(Variant::Garage, 124, 3);
    const auto first = written(*events);
    // the raw copies are not part of the file
    for (EventInfo& e : *events)
        e.raw.reset();
    EXPECT_EQ(written(*events), first);
}

TEST(LogFile, CyrillicTextsComeBackByteForByte) {
    const auto bytes = fileBytes(dataFile("one-block.log"));
    EventCollection events;
    ASSERT_EQ(readBytes(bytes, events), LogFileReader::End::Clean);
    ASSERT_EQ(events.count(), 1);
    EXPECT_EQ(events.at(0).typeText, "(3) Информация о питании");
    EXPECT_EQ(events.at(0).infoText, "Питание включено");
    EXPECT_EQ(events.at(0).noteText, "Время требует корректировки");
    EXPECT_EQ(written(events), bytes);
}

TEST(LogFile, EveryByteValueInATextSurvives) {
    const auto bytes = fileBytes(dataFile("all-bytes.log"));
    EventCollection events;
    ASSERT_EQ(readBytes(bytes, events), LogFileReader::End::Clean);
    ASSERT_EQ(events.count(), 1);
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(cp1251::fromUtf8(events.at(0).typeText), all);
    EXPECT_EQ(written(events), bytes);
}

// One row of data/log/cases.tsv: a file, its whole blocks and how it ends.
struct LogCase {
    std::string file;
    int blocks;
    std::string end;
};

std::vector<LogCase> logCases() {
    std::ifstream in(dataFile("cases.tsv"));
    std::vector<LogCase> cases;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        LogCase c;
        fields >> c.file >> c.blocks >> c.end;
        cases.push_back(c);
    }
    return cases;
}

std::string endName(LogFileReader::End end) {
    switch (end) {
    case LogFileReader::End::Clean:
        return "clean";
    case LogFileReader::End::Empty:
        return "empty";
    case LogFileReader::End::Cut:
        return "cut";
    case LogFileReader::End::Failed:
        return "failed";
    }
    return "?";
}

TEST(LogFile, BrokenAndOddFilesGiveTheirWholeBlocks) {
    const auto cases = logCases();
    ASSERT_GE(cases.size(), 30u);
    EventCollection reference;
    ASSERT_EQ(readFile(dataFile("one-block.log"), reference), LogFileReader::End::Clean);
    for (const LogCase& c : cases) {
        SCOPED_TRACE(c.file);
        EventCollection fromFile, fromMemory;
        const auto end = readFile(dataFile(c.file), fromFile);
        EXPECT_EQ(endName(end), c.end);
        EXPECT_EQ(fromFile.count(), c.blocks);
        EXPECT_EQ(LogFileReader::isReadError(end), c.end != "clean");
        // the same from memory
        EXPECT_EQ(readBytes(fileBytes(dataFile(c.file)), fromMemory), end);
        expectSameEvents(fromFile, fromMemory);
        // every file that starts with the reference block gives it back whole
        if (c.file.starts_with("cut-at-") || c.file.starts_with("two-blocks") ||
            c.file == "length-past-end.log" || c.file == "foreign-slots.log") {
            EventCollection first;
            first.append(fromFile.at(0));
            expectSameEvents(reference, first);
        }
    }
}

TEST(LogFile, EveryFileSavesBackAsItsWholeBlocks) {
    // resaved/ holds what the script expects: zero slots, texts to their first zero
    for (const LogCase& c : logCases()) {
        SCOPED_TRACE(c.file);
        EventCollection events;
        readFile(dataFile(c.file), events);
        EXPECT_EQ(written(events), fileBytes(dataFile("resaved/" + c.file)));
    }
}

TEST(LogFile, ZeroByteEndsAText) {
    EventCollection events;
    ASSERT_EQ(readFile(dataFile("zero-in-text.log"), events), LogFileReader::End::Clean);
    ASSERT_EQ(events.count(), 1);
    EXPECT_EQ(events.at(0).typeText, "ab");
    EXPECT_EQ(events.at(0).infoText, "");
    EXPECT_EQ(events.at(0).noteText, "note");
}

TEST(LogFile, AllTwoHundredBlocksAreRead) {
    EventCollection events;
    ASSERT_EQ(readFile(dataFile("200-blocks.log"), events), LogFileReader::End::Clean);
    ASSERT_EQ(events.count(), 200);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(events.at(i).number, i + 1);
        EXPECT_EQ(events.at(i).time, 45000.0 + i + 1);
        EXPECT_EQ(events.at(i).infoText, i % 2 ? "Норма" : "Питание включено");
    }
}

TEST(LogFile, TheTextsOfAFileAreShared) {
    EventCollection events;
    ASSERT_EQ(readFile(dataFile("200-blocks.log"), events), LogFileReader::End::Clean);
    for (int i = 2; i < events.count(); ++i) {
        const EventInfo& e = events.at(i);
        const EventInfo& same = events.at(i % 2);
        EXPECT_TRUE(e.typeText.sharedWith(same.typeText)) << i;
        EXPECT_TRUE(e.infoText.sharedWith(same.infoText)) << i;
        if (!e.noteText.empty()) {
            EXPECT_TRUE(e.noteText.sharedWith(same.noteText)) << i;
        }
    }
}

// Fails the test when a reader asks for more than is left: a length is checked
// against the rest before the reader allocates or reads for it.
class GuardedSource : public MemorySource {
public:
    using MemorySource::MemorySource;
    bool read(void* data, size_t size) override {
        EXPECT_LE(size, remaining());
        return MemorySource::read(data, size);
    }
};

TEST(LogFile, NoLengthIsTakenOnTrustBeyondTheRest) {
    for (const LogCase& c : logCases()) {
        const auto bytes = fileBytes(dataFile(c.file));
        GuardedSource source(bytes);
        EventCollection events;
        LogFileReader::read(source, events);
        EXPECT_EQ(events.count(), c.blocks) << c.file;
    }
}

TEST(LogFile, FailingDeviceIsNotACut) {
    // a source that fails while bytes are still left
    class BrokenSource : public ByteSource {
    public:
        uint64_t remaining() const override { return 1000; }
        bool read(void*, size_t) override { return false; }
    } source;
    EventCollection events;
    EXPECT_EQ(LogFileReader::read(source, events), LogFileReader::End::Failed);
    EXPECT_TRUE(events.empty());
}

TEST(LogFile, GarageSegmentsSurviveTheFile) {
    // power-ups at 3 and 8 among ordinary records
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 12; ++i) {
        const uint32_t word = (i == 3 || i == 8) ? (0x80u << 24 | 3u << 22 | 100u)
                                                 : (0x01u << 24 | 1u << 22 | (500u - i));
        for (int k = 0; k < 4; ++k)
            bytes.push_back(static_cast<uint8_t>(word >> (8 * k)));
    }
    const auto parser = makeParser(Variant::Garage, datetime::fixedClock(kTestNow));
    double base = 0.0;
    const auto events = parser->decodeEvents(bytes, base);
    EventCollection back;
    ASSERT_EQ(readBytes(written(*events), back), LogFileReader::End::Clean);
    int first = -1, last = -1;
    parser->findTimeSegment(back, 5, first, last);
    EXPECT_EQ(first, 4);
    EXPECT_EQ(last, 8);
    for (int i = 0; i < events->count(); ++i) {
        int f1 = -1, l1 = -1, f2 = -1, l2 = -1;
        parser->findTimeSegment(*events, i, f1, l1);
        parser->findTimeSegment(back, i, f2, l2);
        EXPECT_EQ(f2, f1) << i;
        EXPECT_EQ(l2, l1) << i;
    }
}

} // namespace
