// The writer thread on its own: its outcome and its finish function.
#include "ReadCommandRecord.h"
#include "TabletDataWriterHelper.h"
#include "support/SimFolder.h"

#include <atomic>
#include <fstream>
#include <mutex>

namespace {

class WriterThread : public SimFolderTest {};

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

} // namespace
