// Tablet images kept in files of their own, as the program opens them and
// tells them from dumps and log files.
#include "TabletImageFile.h"
#include "FilesTestSupport.h"

#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> dataBytes(const std::string& name) {
    return fileBytes(fs::path(TEST_DATA_DIR) / name);
}

TEST(TabletImageFile, WhatOpensAsAnImageAndWhatLooksLikeOne) {
    const TempFolder temp;
    const auto make = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        writeBytes(temp.path() / name, bytes);
        return (temp.path() / name).string();
    };
    const auto data = [](const std::string& name) {
        return (fs::path(TEST_DATA_DIR) / name).string();
    };
    auto main = dataBytes("main-image.bin");
    main.push_back(0);
    const std::string sparse = make("sparse.bin", {});
    fs::resize_file(sparse, 2ull << 30);
    const std::string fifo = (temp.path() / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    fs::create_directory(temp.path() / "folder");
    const struct {
        std::string file;
        FileStatus status;
        bool image; // headers pass: a dropped file opens as an image
    } rows[] = {
        {data("main-image.bin"), FileStatus::Ok, true},
        {data("military-image.bin"), FileStatus::Ok, true},
        {data("garage-image-512.bin"), FileStatus::Ok, true},
        // the sum is judged when it opens, not when it is told from a dump
        {data("broken-event-sum.bin"), FileStatus::Ok, true},
        {data("broken-first-header.bin"), FileStatus::Ok, false},
        {data("broken-second-header.bin"), FileStatus::Ok, false},
        {data("erased-tablet.bin"), FileStatus::Ok, false},
        {data("garage-dump.bin"), FileStatus::NotAnImage, false},
        {make("545.bin", main), FileStatus::NotAnImage, false},
        {make("511.bin", std::vector<uint8_t>(511)), FileStatus::NotAnImage, false},
        {make("empty.bin", {}), FileStatus::NotAnImage, false},
        {sparse, FileStatus::NotAnImage, false},
        {fifo, FileStatus::CannotOpen, false},
        {(temp.path() / "folder").string(), FileStatus::CannotOpen, false},
        {"/dev/zero", FileStatus::CannotOpen, false},
        {(temp.path() / "missing.bin").string(), FileStatus::CannotOpen, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        TabletImage image;
        image.bytes().fill(0x5A);
        const TabletImage before = image;
        EXPECT_EQ(TabletImageFile::load(row.file, image), row.status);
        if (row.status != FileStatus::Ok) {
            EXPECT_EQ(image.bytes(), before.bytes());
        }
        EXPECT_EQ(TabletImageFile::looksLikeImage(row.file), row.image);
    }
}

TEST(TabletImageFile, BytesAsTheFileHoldsThemAndNoRegisterPageForShortOnes) {
    TabletImage image;
    ASSERT_EQ(TabletImageFile::load((fs::path(TEST_DATA_DIR) / "garage-image.bin").string(), image),
              FileStatus::Ok);
    const auto whole = dataBytes("garage-image.bin");
    EXPECT_EQ(std::vector<uint8_t>(image.bytes().begin(), image.bytes().end()), whole);

    image.bytes().fill(0x5A);
    ASSERT_EQ(
        TabletImageFile::load((fs::path(TEST_DATA_DIR) / "garage-image-512.bin").string(), image),
        FileStatus::Ok);
    const auto shorter = dataBytes("garage-image-512.bin");
    for (size_t i = 0; i < TabletImage::kSize; ++i)
        ASSERT_EQ(image[i], i < shorter.size() ? shorter[i] : 0) << i;
}

} // namespace
