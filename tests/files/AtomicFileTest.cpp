#include "AtomicFile.h"
#include "FilesTestSupport.h"
#include "LogFileWriter.h"
#include "MemorySink.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

class AtomicSave : public TempFolderTest {
protected:
    std::string target() const { return (dir_ / "log.bin").string(); }
    void oldFile() { writeBytes(target(), old_); }
    const std::vector<uint8_t> old_{'o', 'l', 'd', 0, 1, 2};
};

TEST_F(AtomicSave, ReplacesTheFileAndLeavesNothingElse) {
    oldFile();
    const auto events = decodedList(Variant::Main, 124, 1);
    const auto status = AtomicFile::save(
        target(), [&](ByteSink& sink) { return LogFileWriter::write(sink, *events); });
    EXPECT_EQ(status, AtomicFile::Status::Saved);
    MemorySink expected;
    LogFileWriter::write(expected, *events);
    EXPECT_EQ(fileBytes(target()), expected.bytes);
    EXPECT_EQ(folderContents(), std::vector<std::string>{"log.bin"});
}

TEST_F(AtomicSave, SameListTwiceGivesTheSameFile) {
    const auto events = decodedList(Variant::Garage, 124, 2);
    const auto write = [&](ByteSink& sink) { return LogFileWriter::write(sink, *events); };
    ASSERT_EQ(AtomicFile::save((dir_ / "a").string(), write), AtomicFile::Status::Saved);
    ASSERT_EQ(AtomicFile::save((dir_ / "b").string(), write), AtomicFile::Status::Saved);
    EXPECT_EQ(fileBytes(dir_ / "a"), fileBytes(dir_ / "b"));
}

TEST_F(AtomicSave, DeviceFailingAfterAnyCountKeepsTheOldFile) {
    const auto events = decodedList(Variant::Military, 124, 3);
    MemorySink whole;
    LogFileWriter::write(whole, *events);
    const size_t total = whole.bytes.size();
    for (size_t limit : {size_t{0}, size_t{1}, size_t{47}, size_t{48}, size_t{52}, size_t{100},
                         total / 2, total - 1}) {
        SCOPED_TRACE(limit);
        oldFile();
        const auto status = AtomicFile::save(target(), [&](ByteSink& sink) {
            FailingSink failing(sink, limit);
            return LogFileWriter::write(failing, *events);
        });
        EXPECT_EQ(status, AtomicFile::Status::WriteFailed);
        EXPECT_EQ(fileBytes(target()), old_);
        EXPECT_EQ(folderContents(), std::vector<std::string>{"log.bin"});
    }
}

// A real write failure: the system refuses to let the file grow past 4 KiB.
TEST_F(AtomicSave, FileSizeLimitOfTheSystemKeepsTheOldFile) {
    oldFile();
    const auto events = decodedList(Variant::Garage, 10000, 4);
    AtomicFile::Status status;
    {
        const FileSizeLimit limit(4096);
        status = AtomicFile::save(
            target(), [&](ByteSink& sink) { return LogFileWriter::write(sink, *events); });
    }
    EXPECT_EQ(status, AtomicFile::Status::WriteFailed);
    EXPECT_EQ(fileBytes(target()), old_);
    EXPECT_EQ(folderContents(), std::vector<std::string>{"log.bin"});
}

TEST_F(AtomicSave, TargetsThatCannotBeCreated) {
    std::filesystem::create_directory(dir_ / "folder");
    const std::string rows[] = {(dir_ / "missing" / "log.bin").string(), (dir_ / "folder").string(),
                                "/dev/null", ""};
    for (const std::string& path : rows) {
        EXPECT_EQ(AtomicFile::save(path, [](ByteSink&) { return true; }),
                  AtomicFile::Status::CannotCreate)
            << path;
    }
    EXPECT_EQ(folderContents(), std::vector<std::string>{"folder"});
    EXPECT_TRUE(std::filesystem::is_empty(dir_ / "folder"));
}

TEST_F(AtomicSave, ReplacedFileKeepsItsModeAndANewOneGetsTheUsual) {
    oldFile();
    ASSERT_EQ(chmod(target().c_str(), 0640), 0);
    const auto write = [](ByteSink& sink) { return sink.write("x", 1); };
    ASSERT_EQ(AtomicFile::save(target(), write), AtomicFile::Status::Saved);
    struct stat st {};
    ASSERT_EQ(stat(target().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    const mode_t mask = umask(022);
    ASSERT_EQ(AtomicFile::save((dir_ / "new").string(), write), AtomicFile::Status::Saved);
    umask(mask);
    ASSERT_EQ(stat((dir_ / "new").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
}

TEST_F(AtomicSave, LinkStaysAndItsFileIsReplaced) {
    std::filesystem::create_directory(dir_ / "real");
    writeBytes(dir_ / "real" / "log.bin", old_);
    std::filesystem::create_symlink(dir_ / "real" / "log.bin", dir_ / "link");
    ASSERT_EQ(AtomicFile::save((dir_ / "link").string(),
                               [](ByteSink& sink) { return sink.write("new", 3); }),
              AtomicFile::Status::Saved);
    EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "link"));
    EXPECT_EQ(fileBytes(dir_ / "real" / "log.bin"), (std::vector<uint8_t>{'n', 'e', 'w'}));
}

TEST_F(AtomicSave, LongNameStillGetsATemporaryFile) {
    const std::string name(250, 'n');
    ASSERT_EQ(
        AtomicFile::save((dir_ / name).string(), [](ByteSink& sink) { return sink.write("x", 1); }),
        AtomicFile::Status::Saved);
    EXPECT_EQ(folderContents(), std::vector<std::string>{name});
}

TEST_F(AtomicSave, LargeWritesPassTheBufferWhole) {
    std::vector<uint8_t> big(1 << 20);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7);
    ASSERT_EQ(AtomicFile::save(target(),
                               [&](ByteSink& sink) {
                                   return sink.write("ab", 2) &&
                                          sink.write(big.data(), big.size()) && sink.write("c", 1);
                               }),
              AtomicFile::Status::Saved);
    auto expected = std::vector<uint8_t>{'a', 'b'};
    expected.insert(expected.end(), big.begin(), big.end());
    expected.push_back('c');
    EXPECT_EQ(fileBytes(target()), expected);
}

// The folder may be writable, yet a file its owner made read-only is not
// replaced; the superuser is held to the mode bits too.
TEST_F(AtomicSave, ReadOnlyFileIsRefusedAndStaysAsItWas) {
    const struct {
        const char* name;
        mode_t mode;
        bool viaLink;
        AtomicFile::Status status;
    } rows[] = {
        {"0444", 0444, false, AtomicFile::Status::CannotCreate},
        {"0400", 0400, false, AtomicFile::Status::CannotCreate},
        {"0555", 0555, false, AtomicFile::Status::CannotCreate},
        {"0444 behind a link", 0444, true, AtomicFile::Status::CannotCreate},
        {"0644", 0644, false, AtomicFile::Status::Saved},
        {"0464 group may write", 0464, false, AtomicFile::Status::Saved},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const TempFolder folder;
        const std::filesystem::path file = folder.path() / "log.bin";
        writeBytes(file, old_);
        ASSERT_EQ(chmod(file.c_str(), row.mode), 0);
        struct stat before {};
        ASSERT_EQ(stat(file.c_str(), &before), 0);
        const std::filesystem::path link = folder.path() / "link";
        if (row.viaLink)
            std::filesystem::create_symlink(file, link);
        const auto status = AtomicFile::save((row.viaLink ? link : file).string(),
                                             [](ByteSink& sink) { return sink.write("new", 3); });
        EXPECT_EQ(status, row.status);
        struct stat after {};
        ASSERT_EQ(stat(file.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode & 07777, row.mode);
        const std::vector<uint8_t> expected =
            row.status == AtomicFile::Status::Saved ? std::vector<uint8_t>{'n', 'e', 'w'} : old_;
        EXPECT_EQ(fileBytes(file), expected);
        if (row.status != AtomicFile::Status::Saved) {
            EXPECT_EQ(after.st_ino, before.st_ino);
            EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
            EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        }
        size_t entries = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder.path()))
            ++entries;
        EXPECT_EQ(entries, row.viaLink ? 2u : 1u) << "no temporary file left";
        chmod(file.c_str(), 0644);
    }
}

TEST_F(AtomicSave, DanglingLinkGetsItsTargetCreatedAndStays) {
    std::filesystem::create_directory(dir_ / "real");
    const struct {
        const char* name;
        std::filesystem::path link;
        std::filesystem::path to; // as the link holds it
        std::filesystem::path created;
    } rows[] = {
        {"absolute", dir_ / "a", dir_ / "real" / "a.bin", dir_ / "real" / "a.bin"},
        {"relative", dir_ / "b", "real/b.bin", dir_ / "real" / "b.bin"},
        {"relative from its own folder", dir_ / "real" / "c", "../c.bin", dir_ / "c.bin"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::create_symlink(row.to, row.link);
        ASSERT_EQ(AtomicFile::save(row.link.string(),
                                   [](ByteSink& sink) { return sink.write("new", 3); }),
                  AtomicFile::Status::Saved);
        EXPECT_TRUE(std::filesystem::is_symlink(row.link));
        EXPECT_EQ(std::filesystem::read_symlink(row.link), row.to);
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(row.created)));
        EXPECT_EQ(fileBytes(row.created), (std::vector<uint8_t>{'n', 'e', 'w'}));
    }
}

TEST_F(AtomicSave, LinkChainEndingNowhereIsFollowedToItsEnd) {
    std::filesystem::create_symlink("second", dir_ / "first");
    std::filesystem::create_symlink(dir_ / "end.bin", dir_ / "second");
    ASSERT_EQ(AtomicFile::save((dir_ / "first").string(),
                               [](ByteSink& sink) { return sink.write("x", 1); }),
              AtomicFile::Status::Saved);
    EXPECT_EQ(folderContents(), (std::vector<std::string>{"end.bin", "first", "second"}));
    EXPECT_EQ(fileBytes(dir_ / "end.bin"), std::vector<uint8_t>{'x'});
}

TEST_F(AtomicSave, LinkLoopAndLinkIntoAMissingFolderAreRefused) {
    std::filesystem::create_symlink("loop2", dir_ / "loop1");
    std::filesystem::create_symlink("loop1", dir_ / "loop2");
    std::filesystem::create_symlink(dir_ / "missing" / "x.bin", dir_ / "nowhere");
    for (const char* name : {"loop1", "nowhere"}) {
        EXPECT_EQ(AtomicFile::save((dir_ / name).string(),
                                   [](ByteSink& sink) { return sink.write("x", 1); }),
                  AtomicFile::Status::CannotCreate)
            << name;
    }
    EXPECT_EQ(folderContents(), (std::vector<std::string>{"loop1", "loop2", "nowhere"}));
}

} // namespace
