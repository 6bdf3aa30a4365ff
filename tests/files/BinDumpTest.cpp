#include "BinDump.h"
#include "FilesTestSupport.h"

#include <climits>

namespace {

TEST(BinDump, AddressFieldsConvertAsPlainDecimal) {
    const struct {
        const char* text;
        int32_t value;
    } rows[] = {
        {" 16", 16},
        {"16abc", 16},
        {"abc", 0},
        {"-4", -4},
        {"0x10", 0},
        {"", 0},
        {"16h", 16},
        {"+7", 7},
        {"\t\n 5", 5},
        {"- 5", 0},
        {"--5", 0},
        {"+-5", 0},
        {"5 6", 5},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MIN},
        {"-2147483648", INT32_MIN},
        {"4294967296", 0},
        {"4294967297", 1},
        {"99999999999", static_cast<int32_t>(99999999999ULL & 0xFFFFFFFF)},
        {"00000000000000000000042", 42},
    };
    for (const auto& row : rows)
        EXPECT_EQ(BinDump::parseAddress(row.text), row.value) << '"' << row.text << '"';
}

TEST(BinDump, FileNameWithoutItsFolder) {
    const struct {
        const char* path;
        const char* name;
    } rows[] = {
        {"C:\\data\\dump.bin", "dump.bin"}, {"/home/user/dump.bin", "dump.bin"},
        {"dump.bin", "dump.bin"},           {"/home/user/a\\b.bin", "b.bin"},
        {"dir\\sub/c.bin", "c.bin"},        {"/folder/", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(BinDump::fileName(row.path), row.name) << row.path;
}

class Dump : public TempFolderTest {};

TEST_F(Dump, RangesInsideTheFileOnly) {
    writeBytes(dir_ / "d", std::vector<uint8_t>(496, 0xFF));
    BinDump dump;
    ASSERT_EQ(dump.load((dir_ / "d").string()), InputFile::Status::Opened);
    EXPECT_EQ(dump.size(), 496u);
    const struct {
        int32_t start, end;
        bool ok;
    } rows[] = {{0, 496, true},        {16, 496, true},
                {495, 496, true},      {0, 1, true},
                {496, 496, false},     {0, 0, false},
                {16, 16, false},       {0, 497, false},
                {-4, 10, false},       {10, 9, false},
                {497, 497, false},     {0, INT32_MAX, false},
                {INT32_MIN, 0, false}, {INT32_MIN, INT32_MIN, false}};
    for (const auto& row : rows) {
        const auto range = dump.range(row.start, row.end);
        ASSERT_EQ(range.has_value(), row.ok) << row.start << ".." << row.end;
        if (range) {
            EXPECT_EQ(range->size(), static_cast<size_t>(row.end - row.start));
            EXPECT_EQ(range->data(), dump.data().data() + row.start);
        }
    }
}

TEST_F(Dump, LoadRefusesWhatIsNoDump) {
    writeBytes(dir_ / "empty", {});
    const std::string big = (dir_ / "big").string();
    std::ofstream(big).close();
    std::filesystem::resize_file(big, BinDump::kMaxSize + 1);
    struct Row {
        std::string path;
        InputFile::Status status;
        uint64_t size;
    } rows[] = {
        {(dir_ / "empty").string(), InputFile::Status::Opened, 0},
        {big, InputFile::Status::TooLarge, BinDump::kMaxSize + 1},
        {dir_.string(), InputFile::Status::NotAFile, 0},
        {(dir_ / "missing").string(), InputFile::Status::CannotOpen, 0},
        {"/dev/zero", InputFile::Status::NotAFile, 0},
    };
    for (const Row& row : rows) {
        BinDump dump;
        EXPECT_EQ(dump.load(row.path), row.status) << row.path;
        EXPECT_EQ(dump.fileSize(), row.size) << row.path;
        EXPECT_TRUE(dump.data().empty()) << row.path;
    }
}

} // namespace
