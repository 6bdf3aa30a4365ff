// The writer thread on its own: its outcome and its finish function.
#include "ReadCommandRecord.h"
#include "TabletDataWriterHelper.h"
#include "TabletImage.h"
#include "support/SimFolder.h"

#include <atomic>
#include <fstream>
#include <mutex>

namespace {

constexpr const char* kSerial = "0A1B2C3D4E00";
constexpr std::array<uint8_t, 8> kRom = {0x04, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x00, 0x00};

class WriterThread : public SimFolderTest {
protected:
    // One writer run to its end; its status.
    static BindingStatus write(uint16_t version = 2, const char* library = IBFS32_PATH) {
        TabletDataWriterHelper writer(
            true, [] {}, version, library);
        writer.resume();
        EXPECT_TRUE(writer.wait(10000));
        return writer.status();
    }

    // A blank DS1994 alone on the adapter; its memory image.
    std::vector<uint8_t> blankTablet(const std::string& name, const std::string& args = "") {
        EXPECT_EQ(sim("new " + name + " --serial " + kSerial + " " + args), 0);
        EXPECT_EQ(sim("put " + name), 0);
        return withoutClock(dump(name));
    }

    static std::vector<uint8_t> withRecord(std::vector<uint8_t> image, uint8_t version) {
        const auto r = ReadCommandRecord::build(kRom, version);
        std::copy(r.begin(), r.end(), image.begin());
        return image;
    }
};

TEST_F(WriterThread, FinishFunctionIsTheLastActOnTheWritersThreadInEveryCase) {
    struct Row {
        const char* name;
        const char* library;
        const char* setup; // onewire-sim commands before the writer
        bool suspended;
        bool succeeded;
        BindingStatus status;
    } rows[] = {
        {"written", IBFS32_PATH, "put t", false, true, BindingStatus::Ok},
        {"written, resumed", IBFS32_PATH, "put t", true, true, BindingStatus::Ok},
        {"no tablet", IBFS32_PATH, "remove", true, false, BindingStatus::WriteFailed},
        {"lifted", IBFS32_PATH, "fault remove-after=3", true, false, BindingStatus::WriteFailed},
        {"setup", IBFS32_PATH, "fault setup=0", true, false, BindingStatus::SetupFailure},
        {"no driver", IBFS32_PATH, "fault no-port-driver", true, false,
         BindingStatus::DriverFailure},
        {"no library", "/nonexistent/libIBFS32.so", "list", true, false,
         BindingStatus::LibraryFailure},
        {"no reset", IBFS32_WITHOUT_RESET_PATH, "put t", true, false,
         BindingStatus::LibraryFailure},
    };
    ASSERT_EQ(sim("new t --serial 0A1B2C3D4E00"), 0);
    for (const Row& row : rows) {
        ASSERT_EQ(sim("put t"), 0);
        ASSERT_EQ(sim("fault none"), 0);
        ASSERT_EQ(sim(row.setup), 0) << row.name;
        struct Seen {
            int calls = 0;
            bool onWriterThread = false;
            bool stillRunning = false;
            bool succeeded = false;
            BindingStatus status = BindingStatus::WriteFailed;
        } seen;
        std::mutex seenLock;
        TabletDataWriterHelper* self = nullptr;
        std::atomic<bool> ready{false};
        auto finish = [&] {
            while (!ready.load()) // the constructor may start it before `self` is known
                QThread::yieldCurrentThread();
            const std::lock_guard lock(seenLock);
            ++seen.calls;
            seen.onWriterThread = QThread::currentThread() == self;
            seen.stillRunning = self->isRunning();
            seen.succeeded = self->Succeeded();
            seen.status = self->status();
        };
        auto writer =
            std::make_unique<TabletDataWriterHelper>(row.suspended, finish, 2, row.library);
        self = writer.get();
        ready.store(true);
        if (row.suspended)
            writer->resume();
        ASSERT_TRUE(writer->wait(10000)) << row.name;
        const std::lock_guard lock(seenLock);
        EXPECT_EQ(seen.calls, 1) << row.name;
        EXPECT_TRUE(seen.onWriterThread) << row.name;
        EXPECT_TRUE(seen.stillRunning) << row.name;
        EXPECT_EQ(seen.succeeded, row.succeeded) << row.name;
        EXPECT_EQ(seen.status, row.status) << row.name;
        EXPECT_EQ(writer->Succeeded(), row.succeeded) << row.name;
        const auto memory = dump("t");
        const auto expected = ReadCommandRecord::build(
            std::array<uint8_t, 8>{0x04, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x00, 0x00}, 2);
        EXPECT_EQ(std::equal(expected.begin(), expected.end(), memory.begin()), row.succeeded)
            << row.name;
        std::vector<uint8_t> blank(512, 0);
        const std::string file = (dir_ / "blank.img").string();
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(blank.data()), 512);
        ASSERT_EQ(sim("load t " + file), 0);
    }
}

TEST_F(WriterThread, EachVersionOntoABlankTabletAndNothingElse) {
    std::vector<uint8_t> written[2];
    for (uint8_t version : {1, 2}) {
        const std::string name = "blank" + std::to_string(version);
        const auto before = blankTablet(name);
        ASSERT_EQ(write(version), BindingStatus::Ok);
        const auto after = withoutClock(dump(name));
        EXPECT_EQ(after, withRecord(before, version));
        written[version - 1] = {after.begin(), after.begin() + 8};
        // the same record as onewire-sim's command on a twin tablet
        ASSERT_EQ(sim("new twin" + name + " --serial " + kSerial), 0);
        ASSERT_EQ(sim("command twin" + name + " --version " + std::to_string(version)), 0);
        const auto twin = dump("twin" + name);
        EXPECT_EQ(std::vector<uint8_t>(twin.begin(), twin.begin() + 8), written[version - 1]);
        // and the read side accepts it as the first header
        TabletImage image;
        std::copy(after.begin(), after.begin() + 8, image.bytes().begin());
        EXPECT_TRUE(image.headerValid(0));
    }
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(written[0][i] != written[1][i], i == 5 || i == 7) << i;
    EXPECT_EQ(written[0][5], 1);
    EXPECT_EQ(written[1][5], 2);
}

TEST_F(WriterThread, WithTwoTabletsOnlyTheOneFoundIsWritten) {
    // 0A in the first serial byte is found before 0B: the search goes by ROM bits
    const auto before = blankTablet("found");
    filledTablet("other", "--variant garage --device 3", "--serial 0B1B2C3D4E00");
    ASSERT_EQ(sim("put found other"), 0);
    const auto otherBefore = withoutClock(dump("other"));
    ASSERT_EQ(write(), BindingStatus::Ok);
    EXPECT_EQ(withoutClock(dump("found")), withRecord(before, 2));
    EXPECT_EQ(withoutClock(dump("other")), otherBefore) << "the other tablet took no command";
}

TEST_F(WriterThread, APartThatIsNoDs1994IsRefusedWithNothingWritten) {
    const char* rows[] = {
        "--family 08 --model ds1992", "--family 06 --model ds1993",
        "--family 08 --model ds1994", // the family code decides, not the memory
    };
    int n = 0;
    for (const char* args : rows) {
        const std::string name = "part" + std::to_string(n++);
        const auto before = blankTablet(name, args);
        EXPECT_EQ(write(), BindingStatus::WriteFailed) << args;
        EXPECT_EQ(withoutClock(dump(name)), before) << args;
    }
}

TEST_F(WriterThread, LiftedMidWriteFailsAndKeepsMemoryUnlessCopied) {
    // Data bytes: 8 written to the scratchpad, 11 read back, 3 of the copy's
    // authorization, then the 8 read from memory.
    struct Row {
        int after;
        bool copied;
    } rows[] = {{0, false},  {3, false},  {8, false}, {10, false}, {14, false},
                {19, false}, {21, false}, {22, true}, {25, true},  {29, true}};
    for (const Row& row : rows) {
        const std::string name = "t" + std::to_string(row.after);
        const auto before = blankTablet(name);
        ASSERT_EQ(sim("fault remove-after=" + std::to_string(row.after)), 0);
        EXPECT_EQ(write(), BindingStatus::WriteFailed) << row.after;
        EXPECT_EQ(withoutClock(dump(name)), row.copied ? withRecord(before, 2) : before)
            << row.after;
    }
}

TEST_F(WriterThread, FlippedBitsInTheReadBackFail) {
    struct Row {
        const char* fault;
        bool copied;  // the scratchpad read-back passed and the copy was made
        bool success; // damage outside the record's bytes
    } rows[] = {
        {"flip-bits=1", false, false},    // scratchpad target address
        {"flip-bits=6", false, false},    // scratchpad data
        {"flip-bits=1@0", true, false},   // the record read from memory
        {"flip-bits=2@6", true, false},   // its last bytes
        {"flip-bits=8@0x10", true, true}, // the event area is not read back
    };
    int n = 0;
    for (const Row& row : rows) {
        const std::string name = "f" + std::to_string(n++);
        const auto before = blankTablet(name);
        ASSERT_EQ(sim(std::string("fault ") + row.fault), 0);
        EXPECT_EQ(write(), row.success ? BindingStatus::Ok : BindingStatus::WriteFailed)
            << row.fault;
        EXPECT_EQ(withoutClock(dump(name)), row.copied ? withRecord(before, 2) : before)
            << row.fault;
    }
}

TEST_F(WriterThread, SessionAndLibraryFailuresWriteNothing) {
    struct Row {
        const char* name;
        const char* library;
        const char* fault;
        BindingStatus status;
    } rows[] = {
        {"no port driver", IBFS32_PATH, "no-port-driver", BindingStatus::DriverFailure},
        {"setup 0", IBFS32_PATH, "setup=0", BindingStatus::SetupFailure},
        {"setup 3", IBFS32_PATH, "setup=3", BindingStatus::SetupFailure},
        {"no library", "/nonexistent/libIBFS32.so", "none", BindingStatus::LibraryFailure},
        {"no TMNext", IBFS32_WITHOUT_NEXT_PATH, "none", BindingStatus::LibraryFailure},
        {"no TMTouchReset", IBFS32_WITHOUT_RESET_PATH, "none", BindingStatus::LibraryFailure},
        {"no TMTouchReset nor TMCRC", IBFS32_WITHOUT_CRC_PATH, "none",
         BindingStatus::LibraryFailure},
        // without TMCRC the program's own CRC-8 makes the record
        {"no TMCRC", IBFS32_WITHOUT_TMCRC_PATH, "none", BindingStatus::Ok},
    };
    int n = 0;
    for (const Row& row : rows) {
        ASSERT_EQ(sim("fault none"), 0);
        const std::string name = "t" + std::to_string(n++);
        const auto before = blankTablet(name);
        ASSERT_EQ(sim(std::string("fault ") + row.fault), 0);
        EXPECT_EQ(write(2, row.library), row.status) << row.name;
        EXPECT_EQ(withoutClock(dump(name)),
                  row.status == BindingStatus::Ok ? withRecord(before, 2) : before)
            << row.name;
    }
}

} // namespace
