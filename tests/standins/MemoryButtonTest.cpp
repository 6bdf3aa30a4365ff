#include "MemoryButton.h"
#include "SimAdapter.h"

#include <gtest/gtest.h>

#include <vector>

using namespace onewiresim;

namespace {

constexpr double kT0 = 1700000000.0;

struct Wire {
    MemoryButton& b;
    double now = kT0;
    bool changed = false;
    std::vector<uint8_t> send(std::initializer_list<int> bytes) {
        std::vector<uint8_t> out;
        for (int v : bytes)
            out.push_back(b.touch(static_cast<uint8_t>(v), now, changed));
        return out;
    }
    std::vector<uint8_t> read(int n) {
        std::vector<uint8_t> out;
        for (int i = 0; i < n; ++i)
            out.push_back(b.touch(0xFF, now, changed));
        return out;
    }
};

MemoryButton ds1994() {
    MemoryButton b(Model::DS1994, makeRom(0x04, {1, 2, 3, 4, 0, 0}));
    for (size_t i = 0; i < 512; ++i)
        b.memory()[i] = static_cast<uint8_t>(i);
    b.registers()[1] = MemoryButton::kOscillator;
    b.setClock(1000, 0x40, kT0);
    return b;
}

TEST(MemoryButton, ReadMemoryStreamsToTheEndOfTheRegisterPageThenIdles) {
    MemoryButton b = ds1994();
    Wire w{b};
    b.select();
    w.send({0xF0, 0x1E, 0x02}); // from 0x21E
    const auto bytes = w.read(4);
    EXPECT_EQ(bytes[0], b.registers()[0x1E]);
    EXPECT_EQ(bytes[1], b.registers()[0x1F]);
    EXPECT_EQ(bytes[2], 0xFF);
    EXPECT_EQ(bytes[3], 0xFF);
}

TEST(MemoryButton, PartsEndWhereTheirMemoryEnds) {
    struct Row {
        Model model;
        uint16_t address;
        bool data;
    } rows[] = {{Model::DS1994, 0x21F, true},  {Model::DS1993, 0x1FF, true},
                {Model::DS1993, 0x200, false}, {Model::DS1992, 0x07F, true},
                {Model::DS1992, 0x080, false}, {Model::RomOnly, 0x000, false}};
    for (const Row& row : rows) {
        MemoryButton b(row.model, makeRom(0x04, {}));
        std::fill(b.memory().begin(), b.memory().end(), 0x11);
        b.registers().fill(0x11);
        Wire w{b};
        b.select();
        w.send({0xF0, row.address & 0xFF, row.address >> 8});
        EXPECT_EQ(w.read(1)[0], row.data ? 0x11 : 0xFF) << modelName(row.model) << row.address;
    }
}

TEST(MemoryButton, ClockRunsInRealTimeOnlyWithTheOscillator) {
    MemoryButton b = ds1994();
    uint32_t s;
    uint8_t f;
    b.clockAt(kT0 + 10.5, s, f);
    EXPECT_EQ(s, 1010u);
    EXPECT_EQ(f, 0xC0);
    Wire w{b};
    w.now = kT0 + 3;
    b.select();
    w.send({0xF0, 0x02, 0x02});
    EXPECT_EQ(w.read(5), (std::vector<uint8_t>{0x40, 0xEB, 0x03, 0, 0})); // 1003 s

    b.writeByte(0x201, 0x00, kT0 + 20); // oscillator off freezes the count
    b.clockAt(kT0 + 500, s, f);
    EXPECT_EQ(s, 1020u);
    b.writeByte(0x201, MemoryButton::kOscillator, kT0 + 600);
    b.clockAt(kT0 + 601, s, f);
    EXPECT_EQ(s, 1021u);
}

TEST(MemoryButton, ClockCounterWrapsAtThirtyTwoBits) {
    MemoryButton b = ds1994();
    b.setClock(0xFFFFFFFF, 0, kT0);
    uint32_t s;
    uint8_t f;
    b.clockAt(kT0 + 2, s, f);
    EXPECT_EQ(s, 1u);
}

TEST(MemoryButton, WriteScratchpadSetsEndingOffsetAndOverflow) {
    struct Row {
        int ta1;
        int count;
        uint8_t es;
    } rows[] = {
        {0x00, 8, 0x07}, // eight bytes from offset 0
        {0x1C, 4, 0x1F}, // up to the last byte
        {0x1C, 6, 0x5F}, // two bytes too many: OF
        {0x05, 1, 0x05},
    };
    for (const Row& row : rows) {
        MemoryButton b = ds1994();
        Wire w{b};
        b.select();
        w.send({0x0F, row.ta1, 0x00});
        for (int i = 0; i < row.count; ++i)
            w.send({0xA0 + i});
        EXPECT_EQ(b.endingStatus(), row.es) << row.ta1 << " " << row.count;
        EXPECT_EQ(b.scratchpad()[static_cast<size_t>(row.ta1)], 0xA0);
    }
}

TEST(MemoryButton, ReadScratchpadGivesAddressStatusAndDataToTheEnd) {
    MemoryButton b = ds1994();
    Wire w{b};
    b.select();
    w.send({0x0F, 0x1D, 0x01, 0x11, 0x22});
    b.select();
    w.send({0xAA});
    EXPECT_EQ(w.read(7), (std::vector<uint8_t>{0x1D, 0x01, 0x1E, 0x11, 0x22, 0x00, 0xFF}));
}

TEST(MemoryButton, CopyNeedsAnExactAuthorizationMatch) {
    struct Row {
        int ta1, ta2, es;
        bool copies;
    } rows[] = {{0x00, 0x00, 0x03, true},
                {0x00, 0x00, 0x02, false},
                {0x01, 0x00, 0x03, false},
                {0x00, 0x01, 0x03, false},
                {0x00, 0x00, 0x83, false}};
    for (const Row& row : rows) {
        MemoryButton b = ds1994();
        const auto before = b.memory();
        Wire w{b};
        b.select();
        w.send({0x0F, 0x00, 0x00, 0xDE, 0xAD, 0xBE, 0xEF});
        b.select();
        w.changed = false;
        w.send({0x55, row.ta1, row.ta2, row.es});
        EXPECT_EQ(w.changed, row.copies);
        if (row.copies) {
            EXPECT_EQ(b.memory()[0], 0xDE);
            EXPECT_EQ(b.memory()[3], 0xEF);
            EXPECT_EQ(b.memory()[4], before[4]);
            EXPECT_EQ(b.endingStatus() & MemoryButton::kAuthorized, MemoryButton::kAuthorized);
        } else {
            EXPECT_EQ(b.memory(), before) << row.ta1 << row.ta2 << row.es;
            EXPECT_EQ(b.endingStatus() & MemoryButton::kAuthorized, 0);
        }
        // a new write clears AA again
        b.select();
        w.send({0x0F, 0x00, 0x00, 0x01});
        EXPECT_EQ(b.endingStatus() & MemoryButton::kAuthorized, 0);
    }
}

TEST(MemoryButton, CopyIntoTheRegisterPageSetsTheClock) {
    MemoryButton b = ds1994();
    Wire w{b};
    b.select();
    w.send({0x0F, 0x02, 0x02, 0x00, 0x78, 0x56, 0x34, 0x12});
    b.select();
    w.send({0x55, 0x02, 0x02, 0x06});
    uint32_t s;
    uint8_t f;
    b.clockAt(kT0, s, f);
    EXPECT_EQ(s, 0x12345678u);
    EXPECT_EQ(f, 0);
}

// What a write to the register page leaves there, with protections already set
// in the control register (0x201) before the write.
TEST(MemoryButton, WriteProtectionsGuardTheirTimersForGood) {
    struct Row {
        uint8_t control; // before
        uint16_t address;
        uint8_t value;
        uint8_t after; // the byte read back
    } rows[] = {
        {0x10, 0x203, 0x55, 0x55}, // clock, unprotected
        {0x11, 0x203, 0x55, 0xE8}, // WPR: the clock keeps 1000 s
        {0x11, 0x210, 0x55, 0x00}, // WPR: the clock alarm
        {0x12, 0x203, 0x55, 0x55}, // WPI does not guard the clock
        {0x12, 0x207, 0x55, 0x00}, // WPI: the interval timer
        {0x12, 0x215, 0x55, 0x00}, // WPI: the interval alarm
        {0x11, 0x207, 0x55, 0x55}, // WPR does not guard the interval timer
        {0x14, 0x20C, 0x55, 0x00}, // WPC: the cycle counter
        {0x14, 0x21A, 0x55, 0x00}, // WPC: the cycle alarm
        {0x13, 0x20C, 0x55, 0x55}, // WPR and WPI leave the cycle counter
        {0x10, 0x20C, 0x55, 0x55},
        {0x17, 0x201, 0x00, 0x17}, // protect bits stay set; WPR: OSC stays 1
        {0x16, 0x201, 0x00, 0x06}, // without WPR the clock may be stopped
        {0x01, 0x201, 0x10, 0x11}, // with WPR OSC may still be written to 1
        {0x10, 0x201, 0x13, 0x13}, // protections are set by writing them
        {0x13, 0x201, 0x14, 0x17}, // and only added to
    };
    for (const Row& row : rows) {
        MemoryButton b = ds1994();
        b.registers()[1] = row.control;
        b.writeByte(row.address, row.value, kT0);
        EXPECT_EQ(b.readByte(row.address, kT0), row.after)
            << std::hex << int(row.control) << " " << row.address;
    }
}

TEST(MemoryButton, ProtectionsSetByACopyHoldForTheNextCopy) {
    MemoryButton b = ds1994();
    Wire w{b};
    b.select();
    w.send({0x0F, 0x01, 0x02, 0x11});
    b.select();
    w.send({0x55, 0x01, 0x02, 0x01});
    EXPECT_EQ(b.readByte(0x201, kT0), 0x11);
    // the same control byte written and copied again cannot clear WPR nor stop the clock
    b.select();
    w.send({0x0F, 0x01, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00});
    b.select();
    w.send({0x55, 0x01, 0x02, 0x05});
    EXPECT_EQ(b.readByte(0x201, kT0), 0x11);
    EXPECT_EQ(b.readByte(0x203, kT0), 0xE8) << "the clock keeps 1000 s";
    EXPECT_EQ(b.readByte(0x202, kT0), 0x40);
}

TEST(MemoryButton, AFinishedCopySendsZeroBitsUntilTheNextReset) {
    struct Row {
        int es;
        uint8_t after;
    } rows[] = {{0x03, 0x00}, {0x02, 0xFF}};
    for (const Row& row : rows) {
        MemoryButton b = ds1994();
        Wire w{b};
        b.select();
        w.send({0x0F, 0x00, 0x00, 0xDE, 0xAD, 0xBE, 0xEF});
        b.select();
        w.send({0x55, 0x00, 0x00, row.es});
        EXPECT_EQ(w.read(3), std::vector<uint8_t>(3, row.after)) << row.es;
        b.select();
        w.send({0xF0, 0x00, 0x00});
        EXPECT_EQ(w.read(1)[0], row.es == 0x03 ? 0xDE : 0x00) << "after the reset";
    }
}

} // namespace
