// The master registry: one row per master, each opened by its port name.
#include "MasterRegistry.h"
#include "SimAdapter.h"
#include "SimMaster.h"
#include "support/EmulatedSerialAdapter.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace onewire;

namespace {

struct Row {
    const char* name;
    PortName::Kind kind;
    int16_t portType;
    const char* version;
};
// TMEX port types: 5 DS9097U (DS2480B), 6 DS9490 (DS2490); 15 is the simulator's.
const Row kRows[] = {
    {"serial", PortName::Kind::Serial, 5, "DS2480B serial adapter (DS9097U), Version 4.00"},
    {"usb", PortName::Kind::Usb, 6, "DS9490 USB adapter (DS2490, libusb-1.0), Version 4.00"},
    {"sim", PortName::Kind::Sim, 15, "Simulated USB 1-Wire adapter, Version 4.00"},
};

TEST(MasterRegistry, HoldsOneRowPerMaster) {
    ASSERT_EQ(MasterRegistry::rows().size(), std::size(kRows));
    for (const Row& row : kRows) {
        const MasterRow* byName = MasterRegistry::byName(row.name);
        ASSERT_NE(byName, nullptr) << row.name;
        EXPECT_EQ(byName, MasterRegistry::byKind(row.kind)) << row.name;
        EXPECT_EQ(byName, MasterRegistry::byPortType(row.portType)) << row.name;
        EXPECT_EQ(byName->portType, row.portType) << row.name;
        EXPECT_STREQ(byName->version, row.version) << row.name;
        EXPECT_NE(byName->open, nullptr) << row.name;
        EXPECT_NE(byName->port, nullptr) << row.name;
    }
    for (const char* none : {"", "auto", "SIM", "usb:0", "serial:/dev/ttyS0", "tcp"})
        EXPECT_EQ(MasterRegistry::byName(none), nullptr) << none;
    for (int16_t none : {0, 1, 4, 7, 14, 16})
        EXPECT_EQ(MasterRegistry::byPortType(none), nullptr) << none;
}

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.empty());
        setenv("ONEWIRE_SIM_DIR", (dir_ / "sim").c_str(), 1);
        setenv("ONEWIRE_SIM_TIMING", "off", 1);
    }
    TempFolder folder_;
    std::filesystem::path dir_ = folder_.path();
};

TEST_F(Registry, OpensTheSimulatedAdapterByName) {
    std::string error;
    const auto master = MasterRegistry::open(*PortName::parse("sim"), error);
    ASSERT_NE(master, nullptr) << error;
    EXPECT_EQ(master->describe(), "simulated adapter in " + (dir_ / "sim").string());
    EXPECT_EQ(master->reset(), 0) << "a new folder holds no tablet";
}

TEST_F(Registry, OpensADs2480bByName) {
    std::string error;
    ASSERT_TRUE(onewiresim::SimAdapter(dir_ / "sim").create(error)) << error;
    onewiresim::SimMaster wire{onewiresim::SimAdapter(dir_ / "sim")};
    EmulatedSerialAdapter adapter(wire);
    ASSERT_TRUE(adapter.ok());
    const auto master = MasterRegistry::open(*PortName::parse("serial:" + adapter.device()), error);
    ASSERT_NE(master, nullptr) << error;
    EXPECT_EQ(master->describe(), "DS2480B on " + adapter.device());
    EXPECT_EQ(master->reset(), 0);
}

TEST_F(Registry, OpensADs2490ByNameOrSaysWhyNot) {
    // No DS2490 is plugged in here: the row still reaches the USB and says so.
    std::string error;
    const auto master = MasterRegistry::open(*PortName::parse("usb:7"), error);
    EXPECT_EQ(master, nullptr);
    EXPECT_FALSE(error.empty());
}

TEST_F(Registry, ARowNamesItsPortNumbers) {
    PortName port;
    ASSERT_TRUE(MasterRegistry::byName("usb")->port(2, port));
    EXPECT_EQ(port.text(), "usb:2");
    ASSERT_TRUE(MasterRegistry::byName("sim")->port(0, port));
    EXPECT_EQ(port.text(), "sim");
    EXPECT_FALSE(MasterRegistry::byName("sim")->port(1, port));
    setenv("ONEWIRE_PORT", "sim", 1);
    EXPECT_FALSE(MasterRegistry::byName("serial")->port(0, port)) << "the chosen port is no serial";
    setenv("ONEWIRE_PORT", "serial:/dev/ttyUSB3", 1);
    ASSERT_TRUE(MasterRegistry::byName("serial")->port(0, port));
    EXPECT_EQ(port.text(), "serial:/dev/ttyUSB3");
    EXPECT_FALSE(MasterRegistry::byName("serial")->port(1, port));
    unsetenv("ONEWIRE_PORT");
}

} // namespace
