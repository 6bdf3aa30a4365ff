// The DS2490 master through the bridge model with a tablet whose alarm is
// pending: every reset answers alarming presence, and the tablet is found and
// read all the same, by SEARCH ACCESS and bit by bit.
#include "Ds2490Master.h"
#include "RomSearch.h"
#include "SimAdapter.h"
#include "support/Ds2490Bridge.h"
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

TEST(Ds2490Adapter, AnAlarmPendingTabletIsFoundAndRead) {
    setenv("ONEWIRE_SIM_TIMING", "off", 1);
    for (const bool refused : {false, true}) {
        TempFolder folder;
        std::string error;
        SimAdapter adapter(folder.path());
        ASSERT_TRUE(adapter.create(error)) << error;
        MemoryButton b(Model::DS1994, kTablet);
        for (size_t i = 0; i < b.memory().size(); ++i)
            b.memory()[i] = static_cast<uint8_t>(i * 5 + 1);
        ASSERT_TRUE(adapter.saveTablet("t", b, error)) << error;
        ASSERT_TRUE(adapter.setOnAdapter({"t"}, error)) << error;
        ASSERT_TRUE(adapter.setFault(*onewiresim::Fault::parse("alarm"), error)) << error;
        LiftingWire wire{SimAdapter(folder.path())};
        auto owned = std::make_unique<Ds2490Bridge>(wire);
        owned->refuseSearchAccess = refused;
        Ds2490Master master(std::move(owned), "model");
        ASSERT_TRUE(master.init(error)) << error;

        EXPECT_EQ(master.reset(), 2) << refused;
        std::vector<uint8_t> state(RomSearch::kStateSize, 0);
        ASSERT_EQ(RomSearch::next(master, state.data()), 1) << refused;
        EXPECT_TRUE(
            std::equal(kTablet.begin(), kTablet.end(), state.begin() + RomSearch::kStateRom))
            << refused;
        EXPECT_EQ(master.searchesInTheBridge(), !refused);
        ASSERT_EQ(RomSearch::access(master, state.data()), 1) << refused;
        for (uint8_t c : {0xF0, 0x10, 0x00})
            EXPECT_EQ(master.touchByte(c), c) << refused;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(master.touchByte(0xFF), ((0x10 + i) * 5 + 1) & 0xFF) << refused << i;
        EXPECT_EQ(RomSearch::next(master, state.data()), 0) << "the only device";
        EXPECT_FALSE(master.broken()) << refused;

        ASSERT_TRUE(adapter.setFault(*onewiresim::Fault::parse("none"), error)) << error;
        EXPECT_EQ(master.reset(), 1) << refused;
    }
}

} // namespace
