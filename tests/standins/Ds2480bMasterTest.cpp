// The DS2480B master against what its datasheet allows an adapter to answer:
// programming voltage in the reset answer, a tablet whose pending alarm
// stretches the reset, a shorted bus, and the speed bits of every command.
#include "Ds2480bMaster.h"
#include "Ds2480b.h"
#include "RomSearch.h"
#include "SimAdapter.h"
#include "support/EmulatedSerialAdapter.h"
#include "support/LiftingWire.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace onewire;
using onewiresim::MemoryButton;
using onewiresim::Model;
using onewiresim::SimAdapter;

namespace {

const Rom kTablet = onewiresim::makeRom(0x04, {0x21, 0x43, 0x65, 0, 0, 0});

class Ds2480bAdapter : public testing::Test {
protected:
    void SetUp() override {
        setenv("ONEWIRE_SIM_TIMING", "off", 1);
        std::string error;
        ASSERT_TRUE(SimAdapter(dir_).create(error)) << error;
        MemoryButton b(Model::DS1994, kTablet);
        for (size_t i = 0; i < b.memory().size(); ++i)
            b.memory()[i] = static_cast<uint8_t>(i * 5 + 1);
        ASSERT_TRUE(SimAdapter(dir_).saveTablet("t", b, error)) << error;
        ASSERT_TRUE(SimAdapter(dir_).setOnAdapter({"t"}, error)) << error;
        wire_ = std::make_unique<LiftingWire>(SimAdapter(dir_));
        plugIn();
    }
    // A freshly powered adapter.
    void plugIn() {
        master_.reset();
        serial_ = std::make_unique<EmulatedSerialAdapter>(*wire_);
        ASSERT_TRUE(serial_->ok());
    }
    void TearDown() override {
        master_.reset();
        serial_.reset();
    }
    void open() {
        std::string error;
        master_ = Ds2480bMaster::open(serial_->device(), error);
        ASSERT_NE(master_, nullptr) << error;
    }
    void setFault(const char* text) {
        std::string error;
        ASSERT_TRUE(SimAdapter(dir_).setFault(*onewiresim::Fault::parse(text), error)) << error;
    }
    // Finds the tablet and reads four bytes of its memory from 0x0010.
    void readsTheTablet() {
        std::vector<uint8_t> state(RomSearch::kStateSize, 0);
        ASSERT_EQ(RomSearch::next(*master_, state.data()), 1);
        EXPECT_TRUE(
            std::equal(kTablet.begin(), kTablet.end(), state.begin() + RomSearch::kStateRom));
        ASSERT_EQ(RomSearch::access(*master_, state.data()), 1);
        for (uint8_t b : {0xF0, 0x10, 0x00})
            EXPECT_EQ(master_->touchByte(b), b);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(master_->touchByte(0xFF), ((0x10 + i) * 5 + 1) & 0xFF) << i;
        EXPECT_FALSE(master_->broken());
    }

    TempFolder folder_;
    std::filesystem::path dir_ = folder_.path();
    std::unique_ptr<LiftingWire> wire_;
    std::unique_ptr<EmulatedSerialAdapter> serial_;
    std::unique_ptr<Ds2480bMaster> master_;
};

TEST_F(Ds2480bAdapter, AnAdapterWithProgrammingVoltageReadsATablet) {
    struct Row {
        bool programmingVoltage;
        std::vector<std::string> details;
    } rows[] = {
        {true, {"revision 3", "programming voltage: yes"}}, // answers ED
        {false, {"revision 3", "programming voltage: no"}}, // answers CD
    };
    for (const Row& row : rows) {
        plugIn();
        serial_->withEmulator(
            [&](Ds2480bEmulator& e) { e.programmingVoltage = row.programmingVoltage; });
        open();
        EXPECT_TRUE(master_->details().empty()) << "nothing known before a reset";
        EXPECT_EQ(master_->reset(), 1);
        EXPECT_EQ(master_->details(), row.details);
        readsTheTablet();
    }
}

TEST_F(Ds2480bAdapter, AnAlarmPendingTabletIsSettledResetAgainAndRead) {
    setFault("alarm");
    open();
    // the first reset is stretched: read as a short with a collision byte after it
    EXPECT_EQ(master_->reset(), 2);
    EXPECT_EQ(serial_->withEmulator([](Ds2480bEmulator& e) { return e.resets; }), 2);
    EXPECT_EQ(master_->touchByte(0x33), 0x33) << "the collision byte was dropped";
    for (uint8_t expected : kTablet)
        EXPECT_EQ(master_->touchByte(0xFF), expected);
    // later resets answer alarming presence, each repeated once
    EXPECT_EQ(master_->reset(), 2);
    EXPECT_EQ(serial_->withEmulator([](Ds2480bEmulator& e) { return e.resets; }), 4);
    readsTheTablet();
    setFault("none");
    EXPECT_EQ(master_->reset(), 1);
    EXPECT_EQ(serial_->withEmulator([](Ds2480bEmulator& e) { return e.resets; }), 9)
        << "search and access made two more alarming resets, the last one is plain";
}

TEST_F(Ds2480bAdapter, AShortThatPersistsIsResultThree) {
    open();
    serial_->withEmulator([](Ds2480bEmulator& e) { e.shorted = true; });
    EXPECT_EQ(master_->reset(), 3);
    EXPECT_EQ(serial_->withEmulator([](Ds2480bEmulator& e) { return e.resets; }), 2);
    EXPECT_FALSE(master_->broken()) << "a shorted bus is a result, not an adapter fault";
    serial_->withEmulator([](Ds2480bEmulator& e) { e.shorted = false; });
    EXPECT_EQ(master_->reset(), 1);
}

TEST_F(Ds2480bAdapter, EveryCommandRunsAtTheSpeedItsParametersAreFor) {
    open();
    readsTheTablet();
    for (int i = 0; i < 8; ++i)
        master_->touchBit(true);
    const auto commands = serial_->withEmulator([](Ds2480bEmulator& e) { return e.commands; });
    // the set-up writes the flexible-speed parameters first
    ASSERT_GE(commands.size(), 4u);
    EXPECT_EQ(commands[1], 0x17) << "pulldown slew rate 1.37 V/us";
    EXPECT_EQ(commands[2], 0x45) << "write-1 low time 10 us";
    EXPECT_EQ(commands[3], 0x5B) << "data sample offset 8 us";
    int resets = 0, bits = 0, accelerators = 0;
    for (uint8_t c : commands) {
        const bool reset = (c & 0xE3) == 0xC1;
        const bool bit = (c & 0xE1) == 0x81;
        const bool accelerator = (c & 0xE3) == 0xA1;
        resets += reset;
        bits += bit;
        accelerators += accelerator;
        if (reset || bit || accelerator) {
            EXPECT_EQ(c & 0x0C, 0x04) << std::hex << int(c) << ": not flexible speed";
        }
    }
    EXPECT_GE(resets, 3); // the timing byte, the search's and the access's
    EXPECT_GE(bits, 9);   // the set-up's and the eight here
    EXPECT_EQ(accelerators, 2);
}

} // namespace
