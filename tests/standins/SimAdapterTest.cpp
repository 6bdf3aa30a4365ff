// The adapter folder as untrusted input, and the faults the bus plays.
#include "SimAdapter.h"
#include "RomSearch.h"
#include "SimMaster.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <vector>

using namespace onewiresim;
namespace fs = std::filesystem;

namespace {

class SimAdapterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.empty());
        ASSERT_TRUE(adapter().create(error_)) << error_;
    }
    SimAdapter adapter() const { return SimAdapter(dir_); }

    // A DS1994 whose memory byte i is i, on the adapter alone.
    void placeTablet(const std::string& name) {
        MemoryButton b(Model::DS1994, makeRom(0x04, {1, 2, 3, 4, 0, 0}));
        for (size_t i = 0; i < b.memory().size(); ++i)
            b.memory()[i] = static_cast<uint8_t>(i);
        ASSERT_TRUE(adapter().saveTablet(name, b, error_)) << error_;
        ASSERT_TRUE(adapter().setOnAdapter({name}, error_)) << error_;
    }
    void setFault(const std::string& text) {
        const auto fault = Fault::parse(text);
        ASSERT_TRUE(fault) << text;
        ASSERT_TRUE(adapter().setFault(*fault, error_)) << error_;
    }
    // Read Memory from `address` over Skip ROM.
    static std::vector<uint8_t> readMemory(Bus& bus, uint16_t address, size_t n) {
        EXPECT_EQ(bus.reset(), 1);
        for (uint8_t b : {0xCC, 0xF0, address & 0xFF, address >> 8})
            bus.touch(static_cast<uint8_t>(b));
        std::vector<uint8_t> out;
        for (size_t i = 0; i < n; ++i)
            out.push_back(bus.touch(0xFF));
        return out;
    }

    TempFolder folder_;
    std::filesystem::path dir_ = folder_.path();
    std::string error_;
};

TEST_F(SimAdapterTest, HostileTabletFilesAreDamagedAndNeverReadWhole) {
    placeTablet("good");
    const fs::path tablets = dir_ / "tablets";
    fs::create_symlink("/dev/zero", tablets / "zero.tablet");
    fs::create_symlink("/dev/urandom", tablets / "random.tablet");
    ASSERT_EQ(mkfifo((tablets / "fifo.tablet").c_str(), 0600), 0);
    fs::create_directory(tablets / "folder.tablet");
    {
        // a valid tablet file with a huge tail of empty lines (harmless if read whole)
        std::ifstream in(tablets / "good.tablet", std::ios::binary);
        std::ofstream out(tablets / "huge.tablet", std::ios::binary);
        out << in.rdbuf();
        const std::string tail(1 << 20, '\n');
        for (int i = 0; i < 64; ++i)
            out << tail;
    }
    std::ofstream(tablets / "empty.tablet").close();
    const std::pair<const char*, const char*> rows[] = {
        {"zero", "is damaged"},   {"random", "is damaged"}, {"fifo", "is damaged"},
        {"folder", "is damaged"}, {"huge", "is damaged"},   {"empty", "is not a tablet file"}};
    for (const auto& [name, message] : rows) {
        std::string error;
        EXPECT_EQ(adapter().loadTablet(name, error), nullptr) << name;
        EXPECT_NE(error.find(message), std::string::npos) << name << ": " << error;
    }
    std::string error;
    EXPECT_EQ(adapter().loadTablet("missing", error), nullptr);
    EXPECT_NE(error.find("no tablet named"), std::string::npos) << error;
    EXPECT_NE(adapter().loadTablet("good", error), nullptr) << error;

    // the bus passes them over and still finds the good one
    ASSERT_TRUE(adapter().setOnAdapter({"good"}, error));
    std::ofstream(dir_ / "adapter") << "zero\nfifo\nhuge\ngood\n";
    SimMaster wire{adapter()};
    std::vector<uint8_t> state(5120, 0);
    EXPECT_EQ(onewire::RomSearch::next(wire, state.data()), 1);
    EXPECT_EQ(state[onewire::RomSearch::kStateRom], 0x04);
    EXPECT_EQ(onewire::RomSearch::next(wire, state.data()), 0);
}

TEST_F(SimAdapterTest, ATabletRewrittenWithinOneClockTickIsReadAgain) {
    placeTablet("t");
    const fs::path file = dir_ / "tablets" / "t.tablet";
    SimMaster wire{adapter()};
    EXPECT_EQ(readMemory(wire.bus(), 0, 1), std::vector<uint8_t>{0});
    // another process rewrites it: same size, and a file system clock that
    // has not moved on
    const auto stamp = fs::last_write_time(file);
    const auto size = fs::file_size(file);
    std::string error;
    auto tablet = adapter().loadTablet("t", error);
    ASSERT_TRUE(tablet) << error;
    tablet->memory()[0] = 0xA5;
    ASSERT_TRUE(adapter().saveTablet("t", *tablet, error)) << error;
    fs::last_write_time(file, stamp);
    ASSERT_EQ(fs::file_size(file), size);
    EXPECT_EQ(readMemory(wire.bus(), 0, 1), std::vector<uint8_t>{0xA5});
}

TEST_F(SimAdapterTest, HostileAdapterAndFaultFilesAreIgnored) {
    placeTablet("good");
    fs::remove(dir_ / "adapter");
    fs::create_symlink("/dev/zero", dir_ / "adapter");
    fs::remove(dir_ / "fault");
    fs::create_symlink("/dev/zero", dir_ / "fault");
    EXPECT_TRUE(adapter().onAdapter().empty());
    EXPECT_EQ(adapter().fault().kind, Fault::Kind::None);
    fs::remove(dir_ / "fault");
    ASSERT_EQ(mkfifo((dir_ / "fault").c_str(), 0600), 0);
    EXPECT_EQ(adapter().fault().kind, Fault::Kind::None);
}

TEST_F(SimAdapterTest, FaultSettingsReadAndWriteBack) {
    struct Row {
        const char* text;
        bool valid;
        const char* written; // as written back
    } rows[] = {
        {"flip-bits=3", true, "flip-bits=3"},
        {"flip-bits=3@16", true, "flip-bits=3@16"},
        {"flip-bits=2@0x200", true, "flip-bits=2@512"},
        {"flip-bits=1@0", true, "flip-bits=1@0"},
        {"remove-after=22", true, "remove-after=22"},
        {"alarm", true, "alarm"},
        {"alarm=1", false, ""},
        {"flip-bits=3@", false, ""},
        {"flip-bits=@16", false, ""},
        {"flip-bits=3@-1", false, ""},
        {"flip-bits=3@0x-1", false, ""},
        {"flip-bits=3@65536", false, ""},
        {"flip-bits=3@1x", false, ""},
        {"remove-after=3@16", false, ""},
        {"flip-bits=-1", false, ""},
    };
    for (const Row& row : rows) {
        const auto fault = Fault::parse(row.text);
        ASSERT_EQ(fault.has_value(), row.valid) << row.text;
        if (fault) {
            EXPECT_EQ(fault->text(), row.written) << row.text;
        }
    }
}

TEST_F(SimAdapterTest, FlipBitsFromAnAddressDamageOnlyThoseBytesOnce) {
    struct Row {
        const char* fault;
        uint16_t from; // first address read
        size_t n;
        std::vector<size_t> flipped; // read positions, bit = position within the fault % 8
        std::vector<int> bits;
    } rows[] = {
        {"flip-bits=3@16", 0, 32, {16, 17, 18}, {0, 1, 2}},
        {"flip-bits=2@0x1FF", 0x1F0, 32, {15, 16}, {0, 1}},           // event area into registers
        {"flip-bits=9@0x200", 0x200, 16, {0, 1, 7, 8}, {0, 1, 7, 0}}, // register page
        {"flip-bits=2", 8, 8, {0, 1}, {0, 1}},                        // as now: the next bytes read
    };
    for (const Row& row : rows) {
        placeTablet("t");
        Bus bus{adapter()};
        const auto clean = readMemory(bus, row.from, row.n);
        setFault(row.fault);
        auto damaged = readMemory(bus, row.from, row.n);
        std::vector<uint8_t> expected = clean;
        for (size_t i = 0; i < row.flipped.size(); ++i)
            expected[row.flipped[i]] ^= static_cast<uint8_t>(1u << row.bits[i]);
        if (row.from >= 0x200) {
            // the clock bytes 0x202 to 0x206 run on between the reads
            for (size_t i = 2; i < 7; ++i)
                expected[i] = damaged[i] = 0;
        }
        EXPECT_EQ(damaged, expected) << row.fault;
        EXPECT_EQ(adapter().fault().kind, Fault::Kind::None) << row.fault;
        auto again = readMemory(bus, row.from, row.n);
        if (row.from >= 0x200) {
            for (size_t i = 2; i < 7; ++i)
                again[i] = 0;
            auto cleanCopy = clean;
            for (size_t i = 2; i < 7; ++i)
                cleanCopy[i] = 0;
            EXPECT_EQ(again, cleanCopy) << row.fault;
        } else {
            EXPECT_EQ(again, clean) << row.fault;
        }
    }
}

TEST_F(SimAdapterTest, PlainFlipBitsActOnTheScratchpadReadBack) {
    placeTablet("t");
    Bus bus{adapter()};
    ASSERT_EQ(bus.reset(), 1);
    for (uint8_t b : {0xCC, 0x0F, 0x00, 0x00, 0xA1, 0xA2})
        bus.touch(b);
    setFault("flip-bits=2");
    ASSERT_EQ(bus.reset(), 1);
    bus.touch(0xCC);
    bus.touch(0xAA);
    std::vector<uint8_t> back;
    for (int i = 0; i < 5; ++i)
        back.push_back(bus.touch(0xFF));
    // TA1 and TA2 damaged, E/S and the data as written
    EXPECT_EQ(back, (std::vector<uint8_t>{0x01, 0x02, 0x01, 0xA1, 0xA2}));
    // an address fault leaves the scratchpad alone
    setFault("flip-bits=2@0");
    ASSERT_EQ(bus.reset(), 1);
    bus.touch(0xCC);
    bus.touch(0xAA);
    back.clear();
    for (int i = 0; i < 5; ++i)
        back.push_back(bus.touch(0xFF));
    EXPECT_EQ(back, (std::vector<uint8_t>{0x00, 0x00, 0x01, 0xA1, 0xA2}));
}

TEST_F(SimAdapterTest, RemoveAfterCountsWrittenAndCopiedBytesToo) {
    // data bytes: 2 written, then TA1 TA2 E/S and 2 read back, then the copy's 3
    struct Row {
        int after;
        bool copied;
    } rows[] = {{0, false}, {1, false}, {4, false}, {7, false}, {8, false}, {9, false}, {10, true}};
    for (const Row& row : rows) {
        placeTablet("t");
        setFault("remove-after=" + std::to_string(row.after));
        Bus bus{adapter()};
        ASSERT_EQ(bus.reset(), 1);
        for (uint8_t b : {0xCC, 0x0F, 0x00, 0x00, 0xA1, 0xA2})
            bus.touch(b);
        bus.reset();
        bus.touch(0xCC);
        bus.touch(0xAA);
        uint8_t es = 0;
        for (int i = 0; i < 5; ++i) {
            const uint8_t v = bus.touch(0xFF);
            if (i == 2)
                es = v;
        }
        bus.reset();
        for (uint8_t b : {0xCC, 0x55, 0x00, 0x00})
            bus.touch(b);
        bus.touch(row.after > 5 ? 0x01 : es);
        std::string error;
        const auto t = adapter().loadTablet("t", error);
        ASSERT_NE(t, nullptr) << error;
        EXPECT_EQ(t->memory()[0], row.copied ? 0xA1 : 0x00) << row.after;
        EXPECT_EQ(adapter().onAdapter().empty(), !row.copied) << row.after;
    }
}

TEST_F(SimAdapterTest, AnAlarmGivesAlarmingPresenceTheFirstResetStretched) {
    struct Row {
        Model model;
        std::vector<int> resets;     // four resets in a row
        std::vector<bool> stretched; // which of them
    } rows[] = {
        {Model::DS1994, {2, 2, 2, 2}, {true, false, false, false}},
        {Model::DS1993, {1, 1, 1, 1}, {false, false, false, false}}, // no clock, no alarm
    };
    for (const Row& row : rows) {
        MemoryButton b(row.model, makeRom(0x04, {7, 0, 0, 0, 0, 0}));
        ASSERT_TRUE(adapter().saveTablet("a", b, error_)) << error_;
        ASSERT_TRUE(adapter().setOnAdapter({"a"}, error_)) << error_;
        setFault("alarm");
        Bus bus{adapter()};
        std::vector<int> resets;
        std::vector<bool> stretched;
        for (int i = 0; i < 4; ++i) {
            resets.push_back(bus.reset());
            stretched.push_back(bus.lastResetStretched());
        }
        EXPECT_EQ(resets, row.resets) << modelName(row.model);
        EXPECT_EQ(stretched, row.stretched) << modelName(row.model);
        // the tablet answers as ever after an alarming presence
        bus.reset();
        for (uint8_t c : {0x33})
            bus.touch(c);
        EXPECT_EQ(bus.touch(0xFF), 0x04);
        setFault("none");
        EXPECT_EQ(bus.reset(), 1) << "the alarm cleared";
    }
}

} // namespace
