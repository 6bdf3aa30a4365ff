// The driver binding and the reader thread against the simulated adapter.
#include "LittleEndian.h"
#include "TabletDataLoader.h"
#include "TabletDataLoaderHelper.h"
#include "support/SimFolder.h"
#include "support/ThreadExits.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <atomic>
#include <dlfcn.h>
#include <thread>

namespace {

struct ClockRow {
    uint32_t seconds;
    uint8_t fraction;
    TabletClock expected; // hundredths, s, min, h, day, month, year
};

TEST(ClockToDate, EveryCounterValueGivesItsDate) {
    const ClockRow rows[] = {
        {0, 0, {0, 0, 0, 0, 1, 1, 70}},
        {0, 255, {99, 0, 0, 0, 1, 1, 70}},
        {0, 128, {50, 0, 0, 0, 1, 1, 70}},
        {951782400, 0, {0, 0, 0, 0, 29, 2, 0}},      // 2000-02-29
        {1582934400, 0, {0, 0, 0, 0, 29, 2, 20}},    // 2020-02-29
        {1608336000, 0, {0, 0, 0, 0, 19, 12, 20}},   // the old cut-off itself
        {1796774399, 0, {0, 59, 59, 23, 8, 12, 26}}, // 2026-12-08 23:59:59
        {1796688000 + 45296, 0, {0, 56, 34, 12, 8, 12, 26}},
        {4102444800u, 0, {0, 0, 0, 0, 1, 1, 0}},   // 2100-01-01
        {4107542400u, 0, {0, 0, 0, 0, 1, 3, 0}},   // 2100-03-01: 2100 does not leap
        {0xFFFFFFFFu, 0, {0, 15, 28, 6, 7, 2, 6}}, // 2106-02-07 06:28:15
    };
    for (const ClockRow& row : rows) {
        std::array<uint8_t, 5> buffer = {
            row.fraction, static_cast<uint8_t>(row.seconds), static_cast<uint8_t>(row.seconds >> 8),
            static_cast<uint8_t>(row.seconds >> 16), static_cast<uint8_t>(row.seconds >> 24)};
        TabletClock c;
        TabletDataLoaderHelper::ClockToDate(c, buffer);
        const TabletClock& e = row.expected;
        EXPECT_EQ(c.hundredths, e.hundredths) << row.seconds;
        EXPECT_EQ(c.seconds, e.seconds) << row.seconds;
        EXPECT_EQ(c.minutes, e.minutes) << row.seconds;
        EXPECT_EQ(c.hours, e.hours) << row.seconds;
        EXPECT_EQ(c.day, e.day) << row.seconds;
        EXPECT_EQ(c.month, e.month) << row.seconds;
        EXPECT_EQ(c.year, e.year) << row.seconds;
    }
}

class Binding : public SimFolderTest {};

TEST_F(Binding, LoadNeedsTheEntryPointsTheProgramCalls) {
    const std::pair<QString, bool> rows[] = {
        {IBFS32_PATH, true},
        {IBFS32_WITHOUT_CRC_PATH, true},
        // no TMCRC, TMTouchReset, TMReadPacket or TMExtendedReadPage
        {IBFS32_SCRIPTED_PATH, true},
        {IBFS32_WITHOUT_NEXT_PATH, false},
        {QString::fromUtf8(IBFS32_PATH) + ".missing", false},
    };
    for (const auto& [path, loads] : rows) {
        TabletDataLoaderHelper helper(path);
        EXPECT_EQ(helper.Load(), loads) << path.toStdString();
    }
    TabletDataLoaderHelper without(IBFS32_WITHOUT_CRC_PATH);
    ASSERT_TRUE(without.Load());
    EXPECT_FALSE(without.hasTouchReset());
    // the program's own CRC-8 stands in for TMCRC
    uint8_t crc = 0;
    for (uint8_t b : {0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00})
        crc = without.crc8Step(crc, b);
    EXPECT_EQ(crc, 0xA2);
    TabletDataLoaderHelper with(IBFS32_PATH);
    ASSERT_TRUE(with.Load());
    crc = 0;
    for (uint8_t b : {0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00})
        crc = with.crc8Step(crc, b);
    EXPECT_EQ(crc, 0xA2);
}

TEST_F(Binding, OpenSessionReportsEachFailure) {
    struct Row {
        const char* fault;
        QString library;
        BindingStatus result;
    } rows[] = {
        {"none", IBFS32_PATH, BindingStatus::Ok},
        {"setup=2", IBFS32_PATH, BindingStatus::Ok},
        {"setup=0", IBFS32_PATH, BindingStatus::SetupFailure},
        {"setup=3", IBFS32_PATH, BindingStatus::SetupFailure},
        {"no-port-driver", IBFS32_PATH, BindingStatus::DriverFailure},
        {"none", IBFS32_WITHOUT_NEXT_PATH, BindingStatus::LibraryFailure},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(sim(std::string("fault ") + row.fault), 0);
        TabletDataLoaderHelper helper(row.library);
        TabletDataLoaderHelper::Session session;
        EXPECT_EQ(helper.OpenSession(session), row.result) << row.fault;
        if (row.result != BindingStatus::LibraryFailure) {
            EXPECT_EQ(helper.loaded(), row.result == BindingStatus::Ok)
                << row.fault << ": driver and setup failures unload the library";
        }
        if (row.result != BindingStatus::LibraryFailure &&
            row.result != BindingStatus::DriverFailure) {
            EXPECT_TRUE(session.versionText.contains("USB")) << row.fault;
        }
    }
}

// The ROM code of a tablet on the adapter, as the search finds it.
std::array<uint8_t, 8> romOf(TabletDataLoaderHelper& helper, int32_t session, int skip = 0) {
    std::array<uint8_t, tmex::kStateBufferSize> state{};
    for (int i = 0; i <= skip; ++i)
        EXPECT_EQ(helper.TMNext(session, state.data()), 1);
    std::array<int16_t, 8> words{};
    helper.TMRom(session, state.data(), words.data());
    std::array<uint8_t, 8> rom{};
    std::copy(words.begin(), words.end(), rom.begin());
    return rom;
}

TEST_F(Binding, ReadClockReadsTheRunningClockOfTheTabletNamed) {
    // two tablets whose clocks lie ten years apart; each is read by its ROM code
    ASSERT_EQ(sim("new old --clock 1262304000"), 0);
    ASSERT_EQ(sim("put demo old"), 0);
    TabletDataLoaderHelper helper(IBFS32_PATH);
    TabletDataLoaderHelper::Session session;
    ASSERT_EQ(helper.OpenSession(session), BindingStatus::Ok);
    std::array<std::array<uint8_t, 8>, 2> roms = {romOf(helper, session.handle),
                                                  romOf(helper, session.handle, 1)};
    std::array<uint32_t, 2> clocks{};
    for (size_t i = 0; i < roms.size(); ++i) {
        std::array<uint8_t, 5> buffer{};
        EXPECT_EQ(helper.ReadClock(session.handle, roms[i], buffer), BindingStatus::Ok);
        clocks[i] = le::read32(buffer.data() + 1);
    }
    if (clocks[0] < clocks[1]) {
        std::swap(roms[0], roms[1]);
        std::swap(clocks[0], clocks[1]);
    }
    const auto& demo = roms[0];
    EXPECT_NEAR(static_cast<double>(clocks[0]), static_cast<double>(time(nullptr)), 5.0);
    EXPECT_NEAR(static_cast<double>(clocks[1]), 1262304000.0, 5.0);

    // gone from the adapter: an empty bus reads all 0xFF, which is no clock
    std::array<uint8_t, 5> buffer{};
    ASSERT_EQ(sim("remove"), 0);
    EXPECT_EQ(helper.ReadClock(session.handle, demo, buffer), BindingStatus::NoDevice);
    ASSERT_EQ(sim("put old"), 0);
    EXPECT_NE(helper.ReadClock(session.handle, demo, buffer), BindingStatus::Ok)
        << "another tablet does not answer for it";
    helper.EndSession(session);
}

TEST_F(Binding, ReadClockOfAStoppedClockIsStableAtOnce) {
    ASSERT_EQ(sim("new still --clock 1582934400"), 0);
    // the register page with its control register 0 stops the oscillator
    TabletImage image;
    image.setClock(1582934400);
    const std::string file = (dir_ / "still.bin").string();
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.bytes().data()), TabletImage::kSize);
    ASSERT_EQ(sim("load still " + file), 0);
    ASSERT_EQ(sim("put still"), 0);
    TabletDataLoaderHelper helper(IBFS32_PATH);
    TabletDataLoaderHelper::Session session;
    ASSERT_EQ(helper.OpenSession(session), BindingStatus::Ok);
    std::array<uint8_t, 5> buffer = image.clockBytes();
    EXPECT_EQ(helper.ReadClock(session.handle, romOf(helper, session.handle), buffer),
              BindingStatus::Ok);
    EXPECT_EQ(le::read32(buffer.data() + 1), 1582934400u);
}

// The reader, as the main window drives it (labelled for ThreadSanitizer).
class Reader : public SimFolderTest {
protected:
    std::unique_ptr<TabletDataLoader> reader(std::atomic<int>& notified) {
        auto info = std::make_shared<ThreadExecutionInfo>([&notified] { ++notified; });
        auto r = std::make_unique<TabletDataLoader>(info, IBFS32_PATH, 1);
        return r;
    }
};

TEST_F(Reader, CopiesTheTabletAndNotifiesOnce) {
    std::atomic<int> notified{0};
    auto r = reader(notified);
    ASSERT_EQ(r->openSession(), BindingStatus::Ok);
    r->resume();
    ASSERT_TRUE(r->wait(10000));
    EXPECT_EQ(notified, 1);
    const TabletReading out = r->readout().reading;
    EXPECT_EQ(out.familyCode(), 4);
    EXPECT_EQ(withoutClock({out.image.bytes().begin(), out.image.bytes().end()}),
              withoutClock(dump("demo")));
    // the clock read afterwards confirms the copied one
    EXPECT_TRUE(out.clockStable);
    EXPECT_TRUE(ReadOutJudgement::clockConfirms(out));
}

TEST_F(Reader, StopWhileSearchingEndsWithoutNotifying) {
    ASSERT_EQ(sim("remove"), 0);
    setenv("ONEWIRE_SIM_TIMING", "on", 1);
    std::atomic<int> notified{0};
    auto r = reader(notified);
    ASSERT_EQ(r->openSession(), BindingStatus::Ok);
    r->resume();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(r->isRunning());
    QElapsedTimer timer;
    timer.start();
    r->requestTermination();
    EXPECT_TRUE(r->wait(2000));
    EXPECT_LT(timer.elapsed(), 1000) << "ends within a search or two";
    ASSERT_EQ(sim("put demo"), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(notified, 0);
}

TEST_F(Reader, TerminationBeforeItEverRanMeansItNeverRuns) {
    std::atomic<int> notified{0};
    auto r = reader(notified);
    ASSERT_EQ(r->openSession(), BindingStatus::Ok);
    r->requestTermination();
    EXPECT_TRUE(r->suspended());
    r.reset(); // destroying it ends at once
    EXPECT_EQ(notified, 0);
}

TEST_F(Reader, AnyDeviceThatAnswersIsRead) {
    // family 0x10 comes before the demo tablet's 0x04 in the search (bit 2)
    ASSERT_EQ(sim("new rom --family 10 --model rom"), 0);
    ASSERT_EQ(sim("put demo rom"), 0);
    std::atomic<int> notified{0};
    auto r = reader(notified);
    ASSERT_EQ(r->openSession(), BindingStatus::Ok);
    r->resume();
    ASSERT_TRUE(r->wait(10000));
    EXPECT_EQ(r->readout().reading.familyCode(), 0x10);
    EXPECT_EQ(r->readout().reading.image[0], 0xFF);
}

// The clock rule against the scripted driver: each read of the clock bytes
// gives the next value of a script, so a clock can move during the read.
class ClockRule : public ::testing::Test {
protected:
    using Clock = std::array<uint8_t, 5>;

    void SetUp() override {
        library_ = dlopen(IBFS32_SCRIPTED_PATH, RTLD_NOW);
        ASSERT_NE(library_, nullptr);
        searchResult =
            reinterpret_cast<void (*)(int16_t)>(dlsym(library_, "scriptedTmexSearchResult"));
        clocks =
            reinterpret_cast<void (*)(const uint8_t*, int)>(dlsym(library_, "scriptedTmexClocks"));
        accesses = reinterpret_cast<long (*)()>(dlsym(library_, "scriptedTmexAccesses"));
        ASSERT_TRUE(searchResult && clocks && accesses);
        searchResult(1); // a device is there and answers
    }
    void TearDown() override {
        if (library_) {
            searchResult(0);
            clocks(nullptr, 0);
            dlclose(library_);
        }
    }
    void script(const std::vector<Clock>& values) {
        clocks(values.empty() ? nullptr : values.front().data(), static_cast<int>(values.size()));
    }
    static Clock at(uint32_t seconds, uint8_t fraction = 0) {
        return {fraction, static_cast<uint8_t>(seconds), static_cast<uint8_t>(seconds >> 8),
                static_cast<uint8_t>(seconds >> 16), static_cast<uint8_t>(seconds >> 24)};
    }

    void* library_ = nullptr;
    void (*searchResult)(int16_t) = nullptr;
    void (*clocks)(const uint8_t*, int) = nullptr;
    long (*accesses)() = nullptr;
};

TEST_F(ClockRule, ReadsUntilAReadAgreesWithTheOneBefore) {
    const Clock ff = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const uint32_t s = 1796688000;
    struct Row {
        const char* what;
        Clock seed; // what the buffer holds when the clock is read
        std::vector<Clock> reads;
        BindingStatus result;
        long attempts;
        Clock after;
    } rows[] = {
        {"the clock the memory read gave",
         at(s, 0x10),
         {at(s, 0x80)},
         BindingStatus::Ok,
         1,
         at(s, 0x80)},
        {"moved past a second during the read",
         at(s, 0xF0),
         {at(s + 1, 0x02)},
         BindingStatus::Ok,
         2,
         at(s + 1, 0x02)},
        {"an empty buffer needs a second read", Clock{}, {at(s)}, BindingStatus::Ok, 2, at(s)},
        {"settles on the last attempt",
         at(s),
         {at(s + 1), at(s + 2), at(s + 3), at(s + 4), at(s + 4)},
         BindingStatus::Ok,
         5,
         at(s + 4)},
        {"five unstable attempts",
         at(s),
         {at(s + 1), at(s + 2), at(s + 3), at(s + 4), at(s + 5), at(s + 5)},
         BindingStatus::Unstable,
         5,
         at(s + 5)},
        {"all 0xFF is no clock", ff, {ff}, BindingStatus::Unstable, 5, ff},
    };
    for (const Row& row : rows) {
        script(row.reads);
        TabletDataLoaderHelper helper(IBFS32_SCRIPTED_PATH);
        TabletDataLoaderHelper::Session session;
        ASSERT_EQ(helper.OpenSession(session), BindingStatus::Ok);
        Clock buffer = row.seed;
        EXPECT_EQ(helper.ReadClock(session.handle, {0x04, 1, 2, 3, 4, 5, 6, 7}, buffer), row.result)
            << row.what;
        EXPECT_EQ(accesses(), row.attempts) << row.what;
        EXPECT_EQ(buffer, row.after) << row.what;
        helper.EndSession(session);
    }
}

TEST_F(ClockRule, TheReaderComparesWithTheClockItCopied) {
    const uint32_t s = 1796688000;
    struct Row {
        const char* what;
        std::vector<Clock> reads; // the memory read's first
        long attempts;
    } rows[] = {
        {"a clock within its second", {at(s, 0x20), at(s, 0x90)}, 1},
        {"a clock on to the next second", {at(s, 0xF0), at(s + 1, 0x01)}, 2},
    };
    for (const Row& row : rows) {
        script(row.reads);
        TabletDataLoader reader(nullptr, IBFS32_SCRIPTED_PATH, 1);
        ASSERT_EQ(reader.openSession(), BindingStatus::Ok);
        reader.resume();
        ASSERT_TRUE(reader.wait(10000));
        const TabletReading out = reader.readout().reading;
        EXPECT_EQ(out.image.clockBytes(), row.reads.front()) << row.what;
        EXPECT_TRUE(out.clockStable) << row.what;
        EXPECT_EQ(out.clock, row.reads.back()) << row.what;
        EXPECT_EQ(accesses(), row.attempts) << row.what;
    }
}

// Every reader ends the session it opened: after a read, when stopped while
// searching, when it never ran, and when its setup failed.
class Sessions : public ::testing::Test {
protected:
    void SetUp() override {
        // a handle of the test's own: the binding unloads the library after a failure
        library_ = dlopen(IBFS32_SCRIPTED_PATH, RTLD_NOW);
        ASSERT_NE(library_, nullptr);
        setupResult =
            reinterpret_cast<void (*)(int16_t)>(dlsym(library_, "scriptedTmexSetupResult"));
        openSessions = reinterpret_cast<int (*)()>(dlsym(library_, "scriptedTmexOpenSessions"));
        ASSERT_TRUE(setupResult && openSessions);
        setupResult(1);
    }
    void TearDown() override {
        if (library_) {
            setupResult(1);
            dlclose(library_);
        }
    }
    std::unique_ptr<TabletDataLoader> reader() {
        return std::make_unique<TabletDataLoader>(nullptr, IBFS32_SCRIPTED_PATH, 1);
    }

    void* library_ = nullptr;
    void (*setupResult)(int16_t) = nullptr;
    int (*openSessions)() = nullptr;
};

TEST_F(Sessions, StoppedWhileSearching) {
    auto r = reader();
    ASSERT_EQ(r->openSession(), BindingStatus::Ok);
    EXPECT_EQ(openSessions(), 1);
    r->resume();
    r->requestTermination();
    ASSERT_TRUE(r->wait(10000));
    EXPECT_EQ(openSessions(), 0);
}

TEST_F(Sessions, NeverRan) {
    auto r = reader();
    ASSERT_EQ(r->openSession(), BindingStatus::Ok);
    EXPECT_EQ(openSessions(), 1);
    r.reset();
    EXPECT_EQ(openSessions(), 0);
}

TEST_F(Sessions, SetupFailed) {
    setupResult(0);
    auto r = reader();
    EXPECT_EQ(r->openSession(), BindingStatus::SetupFailure);
    EXPECT_EQ(openSessions(), 0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int failed = RUN_ALL_TESTS();
    awaitThreadExits();
    return failed;
}
