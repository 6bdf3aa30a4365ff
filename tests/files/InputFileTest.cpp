#include "InputFile.h"
#include "FilesTestSupport.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

class Input : public TempFolderTest {};

TEST_F(Input, WhatIsNotARegularFileIsRefusedBeforeReading) {
    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string socketPath = (dir_ / "socket").string();
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    struct Row {
        std::string path;
        InputFile::Status status;
    } rows[] = {
        {dir_.string(), InputFile::Status::NotAFile},
        {"/dev/zero", InputFile::Status::NotAFile},
        {"/dev/null", InputFile::Status::NotAFile},
        {fifo, InputFile::Status::NotAFile}, // no writer: an open that waited would hang here
        {socketPath, InputFile::Status::CannotOpen},
        {(dir_ / "missing").string(), InputFile::Status::CannotOpen},
        {"", InputFile::Status::CannotOpen},
    };
    for (const Row& row : rows) {
        InputFile file;
        EXPECT_EQ(file.open(row.path), row.status) << row.path;
        std::vector<uint8_t> data;
        EXPECT_FALSE(file.readAll(data)) << row.path;
        EXPECT_EQ(file.remaining(), 0u) << row.path;
        EXPECT_FALSE(file.describe(row.status, row.path).empty());
    }
    close(sock);
}

TEST_F(Input, HugeSparseFileIsMeasuredNotRead) {
    const std::string path = (dir_ / "huge").string();
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    const off_t twoGiB = off_t{2} << 30;
    ASSERT_EQ(ftruncate(fd, twoGiB), 0);
    ASSERT_EQ(pwrite(fd, "tail", 4, twoGiB - 4), 4);
    close(fd);

    InputFile limited;
    EXPECT_EQ(limited.open(path, 1 << 20), InputFile::Status::TooLarge);
    EXPECT_EQ(limited.size(), static_cast<uint64_t>(twoGiB));
    EXPECT_NE(limited.describe(InputFile::Status::TooLarge, path).find("2147483648"),
              std::string::npos);

    // Opened without a limit, only the range asked for is read.
    InputFile file;
    ASSERT_EQ(file.open(path), InputFile::Status::Opened);
    std::vector<uint8_t> tail;
    ASSERT_TRUE(file.readRange(static_cast<uint64_t>(twoGiB) - 4, 4, tail));
    EXPECT_EQ(tail, (std::vector<uint8_t>{'t', 'a', 'i', 'l'}));
}

TEST_F(Input, RangesOutsideTheFileAreRefused) {
    writeBytes(dir_ / "ten", std::vector<uint8_t>(10, 7));
    InputFile file;
    ASSERT_EQ(file.open((dir_ / "ten").string()), InputFile::Status::Opened);
    struct Row {
        uint64_t offset, length;
        bool ok;
    } rows[] = {{0, 10, true},  {10, 0, true}, {3, 7, true},           {0, 11, false},
                {11, 0, false}, {9, 2, false}, {1, UINT64_MAX, false}, {UINT64_MAX, 1, false}};
    for (const Row& row : rows) {
        std::vector<uint8_t> out;
        EXPECT_EQ(file.readRange(row.offset, row.length, out), row.ok)
            << row.offset << "+" << row.length;
        EXPECT_EQ(out.size(), row.ok ? row.length : 0u);
    }
}

TEST_F(Input, EmptyFileOpensWithNothingToRead) {
    writeBytes(dir_ / "empty", {});
    InputFile file;
    ASSERT_EQ(file.open((dir_ / "empty").string(), 0), InputFile::Status::Opened);
    std::vector<uint8_t> out{1, 2};
    EXPECT_TRUE(file.readAll(out));
    EXPECT_TRUE(out.empty());
    uint8_t byte;
    EXPECT_FALSE(file.read(&byte, 1));
}

TEST_F(Input, SequentialReadsOfEverySizeMatchTheFile) {
    std::vector<uint8_t> bytes(300000);
    std::mt19937 rng(5);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng());
    writeBytes(dir_ / "data", bytes);
    InputFile file;
    ASSERT_EQ(file.open((dir_ / "data").string()), InputFile::Status::Opened);
    const size_t sizes[] = {1, 7, 65535, 2, 65536, 3, 100000, 0, 48, 4};
    std::vector<uint8_t> got;
    for (size_t i = 0; file.remaining() != 0; ++i) {
        const size_t n = std::min<uint64_t>(sizes[i % std::size(sizes)], file.remaining());
        std::vector<uint8_t> piece(n);
        ASSERT_TRUE(file.read(piece.data(), n));
        got.insert(got.end(), piece.begin(), piece.end());
    }
    EXPECT_EQ(got, bytes);
    uint8_t byte;
    EXPECT_FALSE(file.read(&byte, 1));
}

TEST_F(Input, FileThatShrinksAfterMeasuringFailsTheRead) {
    writeBytes(dir_ / "data", std::vector<uint8_t>(200000, 1));
    InputFile file;
    ASSERT_EQ(file.open((dir_ / "data").string()), InputFile::Status::Opened);
    std::filesystem::resize_file(dir_ / "data", 1000);
    std::vector<uint8_t> out;
    EXPECT_FALSE(file.readAll(out));
    EXPECT_EQ(file.error(), 0);
    EXPECT_NE(file.describe(InputFile::Status::ReadFailed, "f").find("ended"), std::string::npos);
    std::vector<uint8_t> piece(5000);
    EXPECT_FALSE(file.read(piece.data(), piece.size()));
    EXPECT_EQ(file.remaining(), 200000u);
}

} // namespace
