// The demo tablet a new adapter folder gets from the simulator, not the driver.
#include "DemoTablet.h"
#include "SimAdapter.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace onewiresim;

namespace {

TEST(DemoTablet, IsLaidOnAMissingFolder) {
    TempFolder folder;
    const SimAdapter adapter(folder.path() / "new");
    std::string error;
    ASSERT_TRUE(DemoTablet::layOnNewFolder(adapter, error)) << error;
    EXPECT_EQ(adapter.tabletNames(), std::vector<std::string>{"demo"});
    EXPECT_EQ(adapter.onAdapter(), std::vector<std::string>{"demo"});
    const auto demo = adapter.loadTablet("demo", error);
    ASSERT_NE(demo, nullptr) << error;
    const std::array<uint8_t, 8> rom{0x04, 0x5A, 0x3C, 0x91, 0x07, 0x00, 0x00, 0x00};
    EXPECT_TRUE(std::equal(rom.begin(), rom.begin() + 7, demo->rom().begin()));
    EXPECT_EQ(demo->memory()[8], 3) << "filled by the garage controller, device 3";
}

TEST(DemoTablet, IsLaidOnAFolderTheDriverMadeEmpty) {
    TempFolder folder;
    SimAdapter adapter(folder.path());
    std::string error;
    ASSERT_TRUE(adapter.ensureCreated(error)) << error;
    EXPECT_TRUE(adapter.tabletNames().empty()) << "the 1-Wire layer lays no tablet";
    ASSERT_TRUE(DemoTablet::layOnNewFolder(adapter, error)) << error;
    EXPECT_EQ(adapter.onAdapter(), std::vector<std::string>{"demo"});
}

TEST(DemoTablet, LeavesAFolderWithTabletsAsItIs) {
    TempFolder folder;
    SimAdapter adapter(folder.path());
    std::string error;
    ASSERT_TRUE(adapter.create(error)) << error;
    const MemoryButton other(Model::DS1994, makeRom(0x04, {1, 2, 3, 4, 0, 0}));
    ASSERT_TRUE(adapter.saveTablet("other", other, error)) << error;
    ASSERT_TRUE(DemoTablet::layOnNewFolder(adapter, error)) << error;
    EXPECT_EQ(adapter.tabletNames(), std::vector<std::string>{"other"});
    EXPECT_TRUE(adapter.onAdapter().empty());
}

} // namespace
