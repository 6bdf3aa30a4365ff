// One suite for every 1-Wire master: the simulated bus itself, a DS2480B
// master talking through a pseudo-terminal to the DS2480B emulator, and a
// DS2490 master talking to the bridge model at the USB transfer seam. Behind
// each is the same simulated bus with its tablets.
#include "Ds2480bMaster.h"
#include "Ds2490Master.h"
#include "MemoryButton.h"
#include "RomSearch.h"
#include "SimAdapter.h"
#include "support/Ds2490Bridge.h"
#include "support/EmulatedSerialAdapter.h"
#include "support/LiftingWire.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>

using namespace onewire;
using onewiresim::MemoryButton;
using onewiresim::Model;
using onewiresim::SimAdapter;

namespace {

enum class Kind { Sim, Ds2480b, Ds2490, Ds2490BitWise };

std::string kindName(const testing::TestParamInfo<Kind>& info) {
    switch (info.param) {
    case Kind::Sim:
        return "SimulatedBus";
    case Kind::Ds2480b:
        return "Ds2480bOverPty";
    case Kind::Ds2490:
        return "Ds2490AtUsbSeam";
    case Kind::Ds2490BitWise:
        return "Ds2490RefusingSearchAccessAtUsbSeam";
    }
    return "?";
}

// A ROM code with its CRC from a 56-bit family and serial.
Rom romOf(uint64_t bits) {
    std::array<uint8_t, 6> serial{};
    for (int i = 0; i < 6; ++i)
        serial[static_cast<size_t>(i)] = static_cast<uint8_t>(bits >> (8 * (i + 1)));
    return onewiresim::makeRom(static_cast<uint8_t>(bits), serial);
}

// The search order: the ROM bits compared from bit 0, a 0 before a 1.
bool searchedBefore(const Rom& a, const Rom& b) {
    for (int n = 0; n < 64; ++n)
        if (romBit(a, n) != romBit(b, n))
            return !romBit(a, n);
    return false;
}

class Master : public testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        setenv("ONEWIRE_SIM_TIMING", "off", 1);
        ASSERT_FALSE(dir_.empty());
        std::string error;
        ASSERT_TRUE(SimAdapter(dir_).create(error)) << error;
        wire_ = std::make_unique<LiftingWire>(SimAdapter(dir_));
        switch (GetParam()) {
        case Kind::Sim:
            master_ = wire_.get();
            break;
        case Kind::Ds2480b: {
            serial_ = std::make_unique<EmulatedSerialAdapter>(*wire_);
            ASSERT_TRUE(serial_->ok());
            owned_ = Ds2480bMaster::open(serial_->device(), error);
            ASSERT_NE(owned_, nullptr) << error;
            master_ = owned_.get();
            break;
        }
        case Kind::Ds2490:
        case Kind::Ds2490BitWise: {
            auto bridge = std::make_unique<Ds2490Bridge>(*wire_);
            bridge_ = bridge.get();
            bridge_->refuseSearchAccess = GetParam() == Kind::Ds2490BitWise;
            auto m = std::make_unique<Ds2490Master>(std::move(bridge), "model");
            ASSERT_TRUE(m->init(error)) << error;
            owned_ = std::move(m);
            master_ = owned_.get();
            break;
        }
        }
    }
    void TearDown() override {
        owned_.reset();
        serial_.reset();
        wire_.reset();
    }

    // Lays tablets with these ROM codes on the adapter, under fresh names (the
    // bus knows a tablet file by its name, time and size).
    void lay(const std::vector<Rom>& roms, Model model = Model::RomOnly) {
        const SimAdapter adapter(dir_);
        std::vector<std::string> names;
        std::string error;
        ++laid_;
        for (const Rom& rom : roms) {
            names.push_back("l" + std::to_string(laid_) + "t" + std::to_string(names.size()));
            MemoryButton button(model, rom);
            for (size_t i = 0; i < button.memory().size(); ++i)
                button.memory()[i] = static_cast<uint8_t>(i * 7 + 3);
            ASSERT_TRUE(adapter.saveTablet(names.back(), button, error)) << error;
        }
        ASSERT_TRUE(adapter.setOnAdapter(names, error)) << error;
        first_ = names.empty() ? "" : names[0];
    }

    std::vector<Rom> searchAll() {
        std::vector<uint8_t> state(RomSearch::kStateSize + 64, 0);
        std::vector<Rom> found;
        for (int i = 0; i < 40; ++i) {
            const int r = RomSearch::next(*master_, state.data());
            EXPECT_GE(r, 0);
            if (r != 1)
                break;
            Rom rom;
            std::copy_n(state.begin() + RomSearch::kStateRom, 8, rom.begin());
            found.push_back(rom);
        }
        return found;
    }

    int byte(uint8_t b) { return master_->touchByte(b); }

    // Works on the wire while no adapter thread is using it.
    template <typename F> void onWire(F f) {
        if (serial_)
            serial_->withEmulator([&](Ds2480bEmulator&) { f(*wire_); });
        else
            f(*wire_);
    }

    TempFolder folder_;
    std::filesystem::path dir_ = folder_.path();
    int laid_ = 0;
    std::string first_; // the first tablet laid last
    std::unique_ptr<LiftingWire> wire_;
    std::unique_ptr<EmulatedSerialAdapter> serial_;
    Ds2490Bridge* bridge_ = nullptr;
    std::unique_ptr<OneWireMaster> owned_;
    OneWireMaster* master_ = nullptr;
};

TEST_P(Master, ResetTellsPresence) {
    EXPECT_EQ(master_->reset(), 0) << "an empty adapter";
    lay({romOf(0x01)});
    EXPECT_EQ(master_->reset(), 1);
    lay({});
    EXPECT_EQ(master_->reset(), 0) << "the tablet was taken away";
}

TEST_P(Master, BytesCarryCommandsAndDataIncludingTheEscapeByte) {
    const Rom rom = romOf(0xE3E3000000E304);
    lay({rom}, Model::DS1994);
    ASSERT_EQ(master_->reset(), 1);
    EXPECT_EQ(byte(0x33), 0x33);
    for (uint8_t expected : rom)
        EXPECT_EQ(byte(0xFF), expected);
    // the scratchpad holds what was written, 0xE3 (the DS2480B's escape) too
    const uint8_t data[] = {0xE3, 0x00, 0xFF, 0x5A, 0xE3, 0xE1};
    ASSERT_EQ(master_->reset(), 1);
    for (uint8_t b : {0xCC, 0x0F, 0x40, 0x00})
        EXPECT_EQ(byte(b), b);
    for (uint8_t b : data)
        EXPECT_EQ(byte(b), b);
    ASSERT_EQ(master_->reset(), 1);
    EXPECT_EQ(byte(0xCC), 0xCC);
    EXPECT_EQ(byte(0xAA), 0xAA);
    EXPECT_EQ(byte(0xFF), 0x40);
    EXPECT_EQ(byte(0xFF), 0x00);
    EXPECT_EQ(byte(0xFF), std::size(data) - 1) << "E/S: the last offset written";
    for (uint8_t b : data)
        EXPECT_EQ(byte(0xFF), b);
}

TEST_P(Master, BitsMakeTheSameBytes) {
    const Rom rom = romOf(0x8C00A51234F204);
    lay({rom}, Model::DS1994);
    ASSERT_EQ(master_->reset(), 1);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(master_->touchBit(0x33 >> i & 1), 0x33 >> i & 1);
    for (int n = 0; n < 64; ++n)
        ASSERT_EQ(master_->touchBit(true), romBit(rom, n)) << "bit " << n;
    // Read Memory by bits, from address 0x0010
    for (uint8_t b : {0xF0, 0x10, 0x00})
        for (int i = 0; i < 8; ++i)
            master_->touchBit(b >> i & 1);
    for (int k = 0; k < 4; ++k) {
        int value = 0;
        for (int i = 0; i < 8; ++i)
            value |= master_->touchBit(true) << i;
        EXPECT_EQ(value, static_cast<uint8_t>((0x10 + k) * 7 + 3));
    }
    EXPECT_EQ(byte(0xFF), static_cast<uint8_t>(0x14 * 7 + 3)) << "bytes go on where bits left";
}

// ROM codes that part at many bit positions: the first bit, the last CRC bits,
// runs of equal bits, all-ones serials.
const std::vector<std::vector<Rom>> kNetworks = {
    {romOf(0x04)},
    {romOf(0x01), romOf(0x02)},
    {romOf(0x04), romOf(0x0004000000000004), romOf(0xFFFFFFFFFFFF04), romOf(0x0F),
     romOf(0x0000000000010004)},
    {romOf(0x10), romOf(0x80000000000010), romOf(0x40000000000010), romOf(0x20000000000010),
     romOf(0x00800000000010)},
};

TEST_P(Master, SearchFindsEveryDeviceInRomBitOrder) {
    for (const auto& network : kNetworks) {
        lay(network);
        std::vector<Rom> expected = network;
        std::sort(expected.begin(), expected.end(), searchedBefore);
        EXPECT_EQ(searchAll(), expected) << network.size() << " devices";
        EXPECT_EQ(searchAll(), expected) << "the search starts over after the last device";
    }
    if (bridge_) {
        EXPECT_EQ(bridge_->searchAccesses > 0, GetParam() == Kind::Ds2490)
            << "the bridge searches unless it refuses";
    }
}

TEST_P(Master, SearchWithNobodyThereFindsNothing) {
    EXPECT_TRUE(searchAll().empty());
}

TEST_P(Master, ADeviceLiftedMidSearchIsNeverReportedWrong) {
    const std::vector<Rom> network = {romOf(0x01), romOf(0x8001), romOf(0x02)};
    for (int after : {1, 40, 97, 150, 200}) {
        lay(network);
        std::vector<uint8_t> state(RomSearch::kStateSize, 0);
        // after the reset and the search command: `after` slots into the pass
        onWire([&](LiftingWire& w) { w.liftAfter(first_, after + 1); });
        int r = 0;
        for (int i = 0; i < 5 && (r = RomSearch::next(*master_, state.data())) == 1; ++i) {
            Rom rom;
            std::copy_n(state.begin() + RomSearch::kStateRom, 8, rom.begin());
            EXPECT_NE(std::find(network.begin(), network.end(), rom), network.end())
                << "lifted after " << after;
        }
        EXPECT_GE(r, 0);
        const std::vector<Rom> rest = searchAll();
        EXPECT_EQ(std::set<Rom>(rest.begin(), rest.end()), (std::set<Rom>{network[1], network[2]}))
            << "lifted after " << after;
    }
}

TEST_P(Master, ADeviceLiftedMidReadReadsAsAnIdleBus) {
    const Rom rom = romOf(0x3304);
    lay({rom}, Model::DS1994);
    ASSERT_EQ(master_->reset(), 1);
    for (uint8_t b : {0xCC, 0xF0, 0x00, 0x00})
        byte(b);
    onWire([&](LiftingWire& w) { w.liftAfter(first_, 10); });
    std::vector<int> read;
    for (int i = 0; i < 20; ++i)
        read.push_back(byte(0xFF));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(read[static_cast<size_t>(i)], i < 10 ? (i * 7 + 3) & 0xFF : 0xFF) << i;
    EXPECT_EQ(master_->reset(), 0);
}

TEST_P(Master, AccessSelectsTheOneDevice) {
    const std::vector<Rom> network = {romOf(0x0A04), romOf(0x0B04)};
    lay(network, Model::DS1994);
    std::vector<uint8_t> state(RomSearch::kStateSize, 0);
    std::copy(network[1].begin(), network[1].end(), state.begin() + RomSearch::kStateRom);
    ASSERT_EQ(RomSearch::access(*master_, state.data()), 1);
    for (uint8_t b : {0xF0, 0x05, 0x00})
        byte(b);
    EXPECT_EQ(byte(0xFF), 5 * 7 + 3);
    lay({});
    EXPECT_EQ(RomSearch::access(*master_, state.data()), 0);
}

// One search step through the DS2490: SEARCH ACCESS takes the path out on
// EP2, the command, a status and the ROM with its disagreements from EP3; the
// bit-wise road a reset, the search command and four transfers a ROM bit.
TEST(Ds2490Search, TransfersPerSearchStep) {
    setenv("ONEWIRE_SIM_TIMING", "off", 1);
    struct Row {
        bool refused;
        int transfers;
        int searchAccesses;
    } rows[] = {{false, 4, 1}, {true, 260, 0}};
    for (const Row& row : rows) {
        TempFolder folder;
        std::string error;
        SimAdapter adapter(folder.path());
        ASSERT_TRUE(adapter.create(error)) << error;
        ASSERT_TRUE(adapter.saveTablet("t", MemoryButton(Model::DS1994, romOf(0x2904)), error));
        ASSERT_TRUE(adapter.setOnAdapter({"t"}, error)) << error;
        LiftingWire wire{SimAdapter(folder.path())};
        auto owned = std::make_unique<Ds2490Bridge>(wire);
        Ds2490Bridge& bridge = *owned;
        bridge.refuseSearchAccess = row.refused;
        Ds2490Master master(std::move(owned), "model");
        ASSERT_TRUE(master.init(error)) << error;
        std::vector<uint8_t> state(RomSearch::kStateSize, 0);
        if (row.refused) { // the first search learns that the bridge refuses
            ASSERT_EQ(RomSearch::next(master, state.data()), 1);
        }
        EXPECT_EQ(master.searchesInTheBridge(), !row.refused);
        std::fill(state.begin(), state.end(), 0); // a first search again
        const int before = bridge.transfers;
        ASSERT_EQ(RomSearch::next(master, state.data()), 1) << row.refused;
        EXPECT_EQ(bridge.transfers - before, row.transfers) << row.refused;
        EXPECT_EQ(bridge.searchAccesses, row.searchAccesses) << row.refused;
        EXPECT_TRUE(std::equal(state.begin() + RomSearch::kStateRom,
                               state.begin() + RomSearch::kStateRom + 8, romOf(0x2904).begin()));
    }
}

INSTANTIATE_TEST_SUITE_P(Every, Master,
                         testing::Values(Kind::Sim, Kind::Ds2480b, Kind::Ds2490,
                                         Kind::Ds2490BitWise),
                         kindName);

} // namespace
