// Opening, saving and importing the list as files, without a window.
#include "LogFileIo.h"
#include "files/FilesTestSupport.h"

#include <gtest/gtest.h>

namespace {

const datetime::Clock kClock = datetime::fixedClock(kTestNow);

std::string name(const std::filesystem::path& path) {
    return path.string();
}

// Power-ups (garage) at 3 and 8; the same records under the main layout carry
// no marker.
std::vector<uint8_t> garageWithPowerUps() {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 12; ++i) {
        const uint32_t word = (i == 3 || i == 8) ? (0x80u << 24 | 3u << 22 | (600u - 10 * i))
                                                 : (0x01u << 24 | 1u << 22 | (600u - 10 * i));
        for (int k = 0; k < 4; ++k)
            bytes.push_back(static_cast<uint8_t>(word >> (8 * k)));
    }
    return bytes;
}

TEST(LogFileIo, OpenKeepsEveryWholeBlockAndNamesTheEnd) {
    const TempFolder tmp;
    std::filesystem::create_directory(tmp.path() / "folder");
    const auto oneBlock = fileBytes(dataFile("one-block.log"));
    writeBytes(tmp.path() / "cut-in-first.log", {oneBlock.begin(), oneBlock.begin() + 20});
    const struct {
        std::string file;
        FileStatus status;
        int events; // -1: no list
        uint64_t size;
    } rows[] = {
        {name(dataFile("two-blocks.log")), FileStatus::Ok, 2, 0},
        {name(dataFile("200-blocks.log")), FileStatus::Ok, 200, 0},
        {name(dataFile("cut-at-01.log")), FileStatus::ReadFailed, 1, 0},
        {name(dataFile("cut-at-20.log")), FileStatus::ReadFailed, 1, 0},
        {name(dataFile("length-past-end.log")), FileStatus::ReadFailed, 1, 0},
        // not one whole block: no list to replace the one on display
        {name(dataFile("length-ffffffff.log")), FileStatus::ReadFailed, -1, 0},
        {name(dataFile("empty.log")), FileStatus::ReadFailed, -1, 0},
        {name(tmp.path() / "cut-in-first.log"), FileStatus::ReadFailed, -1, 0},
        {name(tmp.path() / "missing.log"), FileStatus::CannotOpen, -1, 0},
        {name(tmp.path() / "folder"), FileStatus::CannotOpen, -1, 0},
        {"/dev/zero", FileStatus::CannotOpen, -1, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const LogFileIo::Opened opened = LogFileIo::openLogFile(row.file, kClock);
        EXPECT_EQ(opened.status, row.status);
        if (row.events < 0) {
            EXPECT_FALSE(opened.log.has_value());
        } else {
            ASSERT_TRUE(opened.log.has_value());
            EXPECT_EQ(opened.log->events().count(), row.events);
            EXPECT_EQ(opened.log->origin(), EventLog::Origin::File);
        }
    }
}

TEST(LogFileIo, OpenRefusesAFileLargerThanHalfAGigabyte) {
    const TempFolder tmp;
    const auto big = tmp.path() / "big.log";
    writeBytes(big, {});
    std::filesystem::resize_file(big, 536870913); // sparse: nothing is written
    const LogFileIo::Opened opened = LogFileIo::openLogFile(name(big), kClock);
    EXPECT_EQ(opened.status, FileStatus::TooLarge);
    EXPECT_EQ(opened.fileSize, 536870913u);
    EXPECT_FALSE(opened.log.has_value());
}

TEST(LogFileIo, SavedBytesAreTheGoldenFiles) {
    for (const char* golden : {"one-block.log", "two-blocks.log", "200-blocks.log"}) {
        SCOPED_TRACE(golden);
        const TempFolder tmp;
        LogFileIo::Opened opened = LogFileIo::openLogFile(name(dataFile(golden)), kClock);
        ASSERT_EQ(opened.status, FileStatus::Ok);
        EXPECT_EQ(LogFileIo::saveLogFile(name(tmp.path() / "saved.log"), *opened.log),
                  FileStatus::Ok);
        EXPECT_EQ(fileBytes(tmp.path() / "saved.log"), fileBytes(dataFile(golden)));
    }
}

TEST(LogFileIo, SaveWithoutAFolderCannotCreate) {
    const TempFolder tmp;
    LogFileIo::Opened opened = LogFileIo::openLogFile(name(dataFile("two-blocks.log")), kClock);
    ASSERT_TRUE(opened.log.has_value());
    EXPECT_EQ(LogFileIo::saveLogFile(name(tmp.path() / "missing" / "x.log"), *opened.log),
              FileStatus::CannotCreate);
    EXPECT_EQ(LogFileIo::saveLogFile(name(tmp.path()), *opened.log), FileStatus::CannotCreate);
}

TEST(LogFileIo, OpenedListTakesTheSegmentRuleItsRecordsShow) {
    const TempFolder tmp;
    // the main layout drops the two power-up records: one segment of ten
    const struct {
        Variant variant;
        int events;
        std::pair<int, int> segment;
    } rows[] = {{Variant::Garage, 12, {4, 8}}, {Variant::Main, 10, {0, 9}}};
    for (const auto& [variant, events, segment] : rows) {
        SCOPED_TRACE(std::string(variantName(variant)));
        BinDump dump;
        writeBytes(tmp.path() / "dump.bin", garageWithPowerUps());
        ASSERT_EQ(LogFileIo::loadDump(name(tmp.path() / "dump.bin"), dump), FileStatus::Ok);
        LogFileIo::Imported imported = LogFileIo::importDump(dump, 0, 48, variant, kClock);
        ASSERT_EQ(imported.status, FileStatus::Ok);
        EXPECT_EQ(imported.log->segmentOf(5), segment); // the variant chosen for the import
        EXPECT_EQ(imported.log->source().variant, variant);
        ASSERT_EQ(LogFileIo::saveLogFile(name(tmp.path() / "list.log"), *imported.log),
                  FileStatus::Ok);
        const LogFileIo::Opened opened =
            LogFileIo::openLogFile(name(tmp.path() / "list.log"), kClock);
        ASSERT_EQ(opened.status, FileStatus::Ok);
        EXPECT_EQ(opened.log->events().count(), events);
        EXPECT_EQ(opened.log->segmentOf(5), segment);
        EXPECT_EQ(opened.log->source().fileName, name(tmp.path() / "list.log"));
        EXPECT_FALSE(opened.log->source().variant); // a file does not tell its controller
    }
}

TEST(LogFileIo, ImportDecodesTheRangeAsRecordsOfFourBytes) {
    const TempFolder tmp;
    writeBytes(tmp.path() / "dump.bin", garageWithPowerUps());
    BinDump dump;
    ASSERT_EQ(LogFileIo::loadDump(name(tmp.path() / "dump.bin"), dump), FileStatus::Ok);
    const struct {
        int32_t start, end;
        FileStatus status;
        int events;
    } rows[] = {
        {0, 48, FileStatus::Ok, 12},
        {4, 20, FileStatus::Ok, 4},
        {0, 0, FileStatus::RangeRefused, -1}, // an empty range holds no record
        {48, 48, FileStatus::RangeRefused, -1},
        {0, 49, FileStatus::RangeRefused, -1},
        {8, 4, FileStatus::RangeRefused, -1},
        {-4, 8, FileStatus::RangeRefused, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.start) + ".." + std::to_string(row.end));
        const LogFileIo::Imported imported =
            LogFileIo::importDump(dump, row.start, row.end, Variant::Garage, kClock);
        EXPECT_EQ(imported.status, row.status);
        if (row.events < 0) {
            EXPECT_FALSE(imported.log.has_value());
        } else {
            ASSERT_TRUE(imported.log.has_value());
            EXPECT_EQ(imported.log->events().count(), row.events);
            EXPECT_EQ(imported.log->origin(), EventLog::Origin::Import);
        }
    }
}

TEST(LogFileIo, DumpsThatCannotBeLoaded) {
    const TempFolder tmp;
    std::filesystem::create_directory(tmp.path() / "folder");
    const auto big = tmp.path() / "big.bin";
    writeBytes(big, {});
    std::filesystem::resize_file(big, 8388609);
    const struct {
        std::string file;
        FileStatus status;
    } rows[] = {{name(tmp.path() / "missing.bin"), FileStatus::CannotOpen},
                {name(tmp.path() / "folder"), FileStatus::CannotOpen},
                {"/dev/zero", FileStatus::CannotOpen},
                {name(big), FileStatus::TooLarge}};
    for (const auto& row : rows) {
        BinDump dump;
        EXPECT_EQ(LogFileIo::loadDump(row.file, dump), row.status) << row.file;
    }
}

} // namespace
