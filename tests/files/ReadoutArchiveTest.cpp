#include "ReadoutArchive.h"
#include "BinDump.h"
#include "FilesTestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> imageFile(const std::string& name) {
    return fileBytes(fs::path(TEST_DATA_DIR) / name);
}

std::vector<uint8_t> archiveFile(const std::string& name) {
    return fileBytes(fs::path(TEST_DATA_DIR) / "archive" / name);
}

const std::string kMainName = "20240101-120000-0448D158E100007A.readout";
const std::string kGarageName = "20231231-235959-04010203040506FF.readout";

// The records the files in data/archive were written from.
ReadoutRecord mainRecord() {
    ReadoutRecord r;
    r.rom = {0x04, 0x48, 0xD1, 0x58, 0xE1, 0x00, 0x00, 0x7A};
    r.readOutTime = 45292.5;
    r.deviceNumber = 7;
    r.variant = "main";
    r.tabletYear = 2023;
    r.tabletMonth = 11;
    r.tabletDay = 14;
    r.programVersion = "0.1.0";
    return r;
}

ReadoutRecord garageRecord() {
    ReadoutRecord r;
    r.rom = {0x04, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xFF};
    r.readOutTime = 45291 + 86399 / 86400.0;
    r.deviceNumber = 3;
    r.variant = "garage";
    r.tabletYear = 2023;
    r.tabletMonth = 11;
    r.tabletDay = 14;
    r.programVersion = "1.22.333-rc4+g0123456789abcdef";
    return r;
}

struct Golden {
    std::string file;
    std::string image;
    ReadoutRecord (*record)();
    int events;
};
const Golden kGolden[] = {
    {kMainName, "main-image.bin", mainRecord, 123},
    {kGarageName, "garage-image.bin", garageRecord, 124},
};

class Archive : public TempFolderTest {
protected:
    std::string folder() const { return (dir_ / "velmora" / "readouts").string(); }
    ReadoutArchive archive_{folder()};
};

TEST(ReadoutArchiveFormat, FilesWrittenByTheLayoutDecodeToTheirRecords) {
    for (const Golden& g : kGolden) {
        SCOPED_TRACE(g.file);
        TabletImage image;
        const auto entry = ReadoutArchive::decode(archiveFile(g.file), &image);
        ASSERT_TRUE(entry.has_value());
        EXPECT_FALSE(entry->damaged);
        EXPECT_EQ(entry->record, g.record());
        EXPECT_EQ(entry->eventCount, g.events);
        EXPECT_EQ(entry->serial, "785634120200");
        const auto expected = imageFile(g.image);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), image.bytes().begin(),
                               image.bytes().end()));
    }
}

TEST(ReadoutArchiveFormat, AnyChangedByteIsDamage) {
    const auto good = archiveFile(kMainName);
    for (size_t at :
         {size_t{0}, size_t{9}, size_t{12}, size_t{20}, size_t{28}, size_t{34}, size_t{40},
          size_t{60}, size_t{90}, size_t{92}, size_t{96}, size_t{300}, size_t{639}}) {
        auto bytes = good;
        bytes[at] ^= 0x01;
        EXPECT_FALSE(ReadoutArchive::decode(bytes).has_value()) << at;
    }
    auto cut = good;
    cut.pop_back();
    EXPECT_FALSE(ReadoutArchive::decode(cut).has_value());
    auto longer = good;
    longer.push_back(0);
    EXPECT_FALSE(ReadoutArchive::decode(longer).has_value());
    EXPECT_FALSE(ReadoutArchive::decode({}).has_value());
}

TEST_F(Archive, StoreWritesTheFileTheLayoutDescribes) {
    for (const Golden& g : kGolden) {
        SCOPED_TRACE(g.file);
        std::string file;
        ASSERT_EQ(archive_.store(TabletImage(imageFile(g.image)), g.record(), &file),
                  ReadoutArchive::Status::Done);
        EXPECT_EQ(file, folder() + "/" + g.file);
        EXPECT_EQ(fileBytes(file), archiveFile(g.file));
    }
    struct stat st {};
    ASSERT_EQ(stat(folder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "a data folder of the user's own";
}

TEST_F(Archive, RoundTripThroughListAndLoad) {
    for (const Golden& g : kGolden)
        ASSERT_EQ(archive_.store(TabletImage(imageFile(g.image)), g.record()),
                  ReadoutArchive::Status::Done);
    const auto entries = archive_.list();
    ASSERT_EQ(entries.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const Golden& g = kGolden[i]; // the main read-out is the newer
        SCOPED_TRACE(g.file);
        EXPECT_EQ(entries[i].file, folder() + "/" + g.file);
        EXPECT_FALSE(entries[i].damaged);
        EXPECT_EQ(entries[i].record, g.record());
        EXPECT_EQ(entries[i].eventCount, g.events);
        EXPECT_EQ(entries[i].serial, "785634120200");
        TabletImage image;
        ASSERT_EQ(archive_.load(entries[i], image), ReadoutArchive::Status::Done);
        const auto expected = imageFile(g.image);
        EXPECT_EQ(std::vector<uint8_t>(image.bytes().begin(), image.bytes().end()), expected);
    }
}

TEST_F(Archive, TextsAreCutToTheirFields) {
    ReadoutRecord r = mainRecord();
    r.programVersion = std::string(40, 'v');
    r.variant = "a-variant-name-longer-than-its-field";
    ASSERT_EQ(archive_.store(TabletImage(imageFile("main-image.bin")), r),
              ReadoutArchive::Status::Done);
    const auto entries = archive_.list();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].record.programVersion, std::string(32, 'v'));
    EXPECT_EQ(entries[0].record.variant, "a-variant-name-l");
    EXPECT_EQ(entries[0].eventCount, 0) << "no decoder of that name";
}

TEST_F(Archive, NewestFirstWhateverTheOrderOfStoring) {
    // 2024-03-01 08:00, 2023-12-31 23:59:59, 2024-03-01 07:59:59, 2024-03-01 08:00:01
    const double times[] = {45352 + 8 / 24.0, 45291 + 86399 / 86400.0,
                            45352 + (8 * 3600 - 1) / 86400.0, 45352 + (8 * 3600 + 1) / 86400.0};
    for (double t : times) {
        ReadoutRecord r = mainRecord();
        r.readOutTime = t;
        ASSERT_EQ(archive_.store(TabletImage(imageFile("main-image.bin")), r),
                  ReadoutArchive::Status::Done);
    }
    std::vector<std::string> names;
    for (const auto& e : archive_.list())
        names.push_back(fs::path(e.file).filename().string());
    EXPECT_EQ(names, (std::vector<std::string>{"20240301-080001-0448D158E100007A.readout",
                                               "20240301-080000-0448D158E100007A.readout",
                                               "20240301-075959-0448D158E100007A.readout",
                                               "20231231-235959-0448D158E100007A.readout"}));
}

TEST_F(Archive, SameTabletWithinOneSecondKeepsEveryReadOut) {
    const TabletImage image(imageFile("main-image.bin"));
    std::vector<std::string> files;
    for (double later : {0.0, 0.2 / 86400, 0.4 / 86400}) {
        ReadoutRecord r = mainRecord();
        r.readOutTime += later;
        std::string file;
        ASSERT_EQ(archive_.store(image, r, &file), ReadoutArchive::Status::Done);
        files.push_back(fs::path(file).filename().string());
    }
    EXPECT_EQ(files, (std::vector<std::string>{"20240101-120000-0448D158E100007A.readout",
                                               "20240101-120000-0448D158E100007A-2.readout",
                                               "20240101-120000-0448D158E100007A-3.readout"}));
    const auto entries = archive_.list();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(fs::path(entries[0].file).filename(), files[2]);
    EXPECT_EQ(fs::path(entries[2].file).filename(), files[0]);
}

// Each hostile thing in a folder beside one good read-out: listed as damaged
// or skipped, and never read further than an archive file's size (a FIFO would
// hang the list, 2 GB would exhaust the sanitizers' memory).
TEST(ReadoutArchiveHostile, FolderRowsAreListedAsDamagedOrSkipped) {
    const auto good = archiveFile(kMainName);
    std::mt19937 rng(20);
    const auto random = [&](size_t n) {
        std::vector<uint8_t> bytes(n);
        for (auto& b : bytes)
            b = static_cast<uint8_t>(rng());
        return bytes;
    };
    enum class Seen { Damaged, Skipped, ReadOut };
    const struct {
        const char* name;
        std::function<void(const fs::path& x)> make;
        Seen seen;
    } rows[] = {
        {"0 bytes", [](const fs::path& x) { writeBytes(x, {}); }, Seen::Damaged},
        {"2 GB sparse",
         [](const fs::path& x) {
             writeBytes(x, {});
             fs::resize_file(x, 2ull << 30);
         },
         Seen::Damaged},
        {"FIFO", [](const fs::path& x) { ASSERT_EQ(mkfifo(x.c_str(), 0644), 0); }, Seen::Damaged},
        {"folder", [](const fs::path& x) { fs::create_directory(x); }, Seen::Skipped},
        {"random bytes of the size", [&](const fs::path& x) { writeBytes(x, random(640)); },
         Seen::Damaged},
        {"random bytes", [&](const fs::path& x) { writeBytes(x, random(5000)); }, Seen::Damaged},
        {"text of the size",
         [](const fs::path& x) { writeBytes(x, std::vector<uint8_t>(640, 'a')); }, Seen::Damaged},
        {"a read-out with one image bit changed",
         [&](const fs::path& x) {
             auto bytes = good;
             bytes[400] ^= 0x10;
             writeBytes(x, bytes);
         },
         Seen::Damaged},
        {"a read-out cut by a byte",
         [&](const fs::path& x) {
             writeBytes(x, std::vector<uint8_t>(good.begin(), good.end() - 1));
         },
         Seen::Damaged},
        {"a bare tablet image",
         [](const fs::path& x) { writeBytes(x, imageFile("main-image.bin")); }, Seen::Damaged},
        {"link to /dev/zero", [](const fs::path& x) { fs::create_symlink("/dev/zero", x); },
         Seen::Damaged},
        {"dangling link", [](const fs::path& x) { fs::create_symlink(x.string() + ".gone", x); },
         Seen::Damaged},
        {"link to a folder", [](const fs::path& x) { fs::create_symlink("/tmp", x); },
         Seen::Skipped},
        {"unreadable",
         [&](const fs::path& x) {
             writeBytes(x, random(640));
             ASSERT_EQ(chmod(x.c_str(), 0), 0);
         },
         Seen::Damaged},
        {"hidden", [&](const fs::path& x) { writeBytes(x.parent_path() / ".x.abc", good); },
         Seen::Skipped},
        {"link to a read-out kept elsewhere",
         [&](const fs::path& x) {
             const fs::path elsewhere = x.parent_path().parent_path() / "kept.readout";
             writeBytes(elsewhere, good);
             fs::create_symlink(elsewhere, x);
         },
         Seen::ReadOut},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const TempFolder temp;
        const fs::path folder = temp.path() / "readouts";
        fs::create_directory(folder);
        writeBytes(folder / kMainName, good);
        const fs::path x = folder / "x";
        row.make(x);
        const ReadoutArchive archive(folder.string());
        const auto entries = archive.list();
        const size_t expected = row.seen == Seen::Skipped ? 1 : 2;
        ASSERT_EQ(entries.size(), expected);
        TabletImage image;
        if (row.seen != Seen::ReadOut) {
            EXPECT_EQ(entries[0].file, (folder / kMainName).string());
            EXPECT_FALSE(entries[0].damaged);
        }
        if (row.seen == Seen::Damaged) {
            EXPECT_EQ(entries[1].file, x.string());
            EXPECT_TRUE(entries[1].damaged);
            EXPECT_NE(archive.load(entries[1], image), ReadoutArchive::Status::Done);
            EXPECT_NE(archive.saveImageAs(entries[1], (temp.path() / "out.bin").string()),
                      ReadoutArchive::Status::Done);
            EXPECT_FALSE(fs::exists(temp.path() / "out.bin"));
        }
        if (row.seen == Seen::ReadOut) {
            // the same read-out time: the later name first
            EXPECT_EQ(entries[0].file, x.string());
            EXPECT_EQ(entries[1].file, (folder / kMainName).string());
            for (const auto& e : entries) {
                EXPECT_FALSE(e.damaged);
                EXPECT_EQ(archive.load(e, image), ReadoutArchive::Status::Done);
            }
        }
        chmod(x.c_str(), 0644);
    }
}

TEST(ReadoutArchiveHostile, FoldersThatCannotBeWrittenGiveAStatus) {
    const TempFolder temp;
    writeBytes(temp.path() / "file", {1});
    const std::string rows[] = {
        "",
        (temp.path() / "file").string(),
        (temp.path() / "file" / "readouts").string(),
        "/proc/velmora-readouts",
        "/dev/null/readouts",
    };
    const TabletImage image(imageFile("main-image.bin"));
    for (const std::string& folder : rows) {
        SCOPED_TRACE(folder);
        const ReadoutArchive archive(folder);
        std::string file = "untouched";
        EXPECT_EQ(archive.store(image, mainRecord(), &file), ReadoutArchive::Status::CannotCreate);
        EXPECT_EQ(file, "untouched");
        EXPECT_TRUE(archive.list().empty());
    }
    EXPECT_EQ(fileBytes(temp.path() / "file"), std::vector<uint8_t>{1});
}

// A folder the user may read but not write still lists; only keeping fails.
TEST(ReadoutArchiveHostile, UnwritableFolderStillLists) {
    const TempFolder temp;
    const fs::path folder = temp.path() / "readouts";
    fs::create_directory(folder);
    writeBytes(folder / kMainName, archiveFile(kMainName));
    writeBytes(folder / "junk", std::vector<uint8_t>(640, 'j'));
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    const ReadoutArchive archive(folder.string());
    const auto entries = archive.list();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_FALSE(entries[0].damaged);
    EXPECT_TRUE(entries[1].damaged);
    // the superuser writes where the mode says no
    if (geteuid() != 0) {
        EXPECT_EQ(archive.store(TabletImage(imageFile("main-image.bin")), mainRecord()),
                  ReadoutArchive::Status::CannotCreate);
    }
    chmod(folder.c_str(), 0755);
}

TEST(ReadoutArchiveHostile, FullDiskLeavesNothingBehind) {
    const TempFolder temp;
    const ReadoutArchive archive((temp.path() / "readouts").string());
    ReadoutArchive::Status status;
    {
        const FileSizeLimit limit(100);
        status = archive.store(TabletImage(imageFile("main-image.bin")), mainRecord());
    }
    EXPECT_EQ(status, ReadoutArchive::Status::WriteFailed);
    EXPECT_TRUE(fs::is_empty(temp.path() / "readouts"));
    EXPECT_TRUE(archive.list().empty());
}

TEST_F(Archive, RemoveTakesOnlyItsOwnFiles) {
    for (const Golden& g : kGolden)
        ASSERT_EQ(archive_.store(TabletImage(imageFile(g.image)), g.record()),
                  ReadoutArchive::Status::Done);
    writeBytes(dir_ / "outside.readout", archiveFile(kMainName));
    auto entries = archive_.list();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(archive_.remove(entries[0]), ReadoutArchive::Status::Done);
    entries = archive_.list();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].file, folder() + "/" + kGarageName);

    const std::string refused[] = {
        (dir_ / "outside.readout").string(),
        folder() + "/../outside.readout",
        folder() + "/",
        folder(),
        "",
    };
    for (const std::string& path : refused) {
        ReadoutEntry e;
        e.file = path;
        EXPECT_EQ(archive_.remove(e), ReadoutArchive::Status::CannotRemove) << path;
    }
    EXPECT_TRUE(fs::exists(dir_ / "outside.readout"));
    EXPECT_EQ(archive_.list().size(), 1u);
}

TEST_F(Archive, SavedImageIsTheBinTheImportAndTheDecoderRead) {
    ASSERT_EQ(archive_.store(TabletImage(imageFile("garage-image.bin")), garageRecord()),
              ReadoutArchive::Status::Done);
    const auto entries = archive_.list();
    ASSERT_EQ(entries.size(), 1u);
    const std::string out = (dir_ / "image.bin").string();
    ASSERT_EQ(archive_.saveImageAs(entries[0], out), ReadoutArchive::Status::Done);
    EXPECT_EQ(fileBytes(out), imageFile("garage-image.bin"));
    BinDump dump;
    ASSERT_EQ(dump.load(out), InputFile::Status::Opened);
    EXPECT_EQ(dump.size(), 544u);
    EXPECT_EQ(archive_.saveImageAs(entries[0], (dir_ / "missing" / "image.bin").string()),
              ReadoutArchive::Status::CannotCreate);
    ReadoutEntry gone = entries[0];
    gone.file = folder() + "/gone.readout";
    EXPECT_EQ(archive_.saveImageAs(gone, out), ReadoutArchive::Status::CannotRead);
}

TEST(ReadoutArchiveFolder, FromTheEnvironmentAsTheDataFolderRulesSay) {
    const struct {
        const char* xdg;
        const char* home;
        std::string folder;
    } rows[] = {
        {"/data", "/home/u", "/data/velmora/readouts"},
        {nullptr, "/home/u", "/home/u/.local/share/velmora/readouts"},
        {"", "/home/u", "/home/u/.local/share/velmora/readouts"},
        {"relative/data", "/home/u", "/home/u/.local/share/velmora/readouts"},
        {"/data", nullptr, "/data/velmora/readouts"},
        {nullptr, nullptr, ""},
        {nullptr, "", ""},
        {"relative", "relative", ""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ReadoutArchive::defaultFolder(row.xdg, row.home), row.folder)
            << (row.xdg ? row.xdg : "(unset)") << " " << (row.home ? row.home : "(unset)");
    }
}

} // namespace
