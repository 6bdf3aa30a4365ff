#pragma once

#include "DemoTablet.h"
#include "SimTool.h"
#include "support/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

// A fresh adapter folder per test, named in ONEWIRE_SIM_DIR for the driver and
// the onewire-sim tool, with the bus delays off. The driver's port is the
// simulated adapter, and its configuration folder is the test's own. The
// folder starts as onewire-sim leaves a new one: the demo tablet on the adapter.
class SimFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.empty());
        setenv("ONEWIRE_SIM_DIR", dir_.c_str(), 1);
        setenv("ONEWIRE_SIM_TIMING", "off", 1);
        setenv("ONEWIRE_PORT", "sim", 1);
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        std::string error;
        ASSERT_TRUE(onewiresim::DemoTablet::layOnNewFolder(onewiresim::SimAdapter(dir_), error))
            << error;
    }
    // An onewire-sim command line (words split at blanks) on this folder, run
    // by the tool's own code in this process; its exit status.
    int sim(const std::string& args) {
        std::istringstream in(args);
        const std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
        std::ostringstream out, err;
        return SimTool::run(words, out, err);
    }

    std::vector<uint8_t> dump(const std::string& name) {
        const std::string file = (dir_ / (name + ".dump")).string();
        EXPECT_EQ(sim("dump " + name + " --out " + file), 0);
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    // A DS1994 with a valid read command, filled by a controller, on the adapter.
    void filledTablet(const std::string& name, const std::string& controller,
                      const std::string& newArgs = "") {
        ASSERT_EQ(sim("new " + name + " " + newArgs), 0);
        ASSERT_EQ(sim("command " + name), 0);
        ASSERT_EQ(sim("controller " + name + " " + controller), 0);
        ASSERT_EQ(sim("put " + name), 0);
    }

    // An image with its clock bytes zeroed: the clock runs on between two reads.
    static std::vector<uint8_t> withoutClock(std::vector<uint8_t> image) {
        for (size_t i = 514; i < 519 && i < image.size(); ++i)
            image[i] = 0;
        return image;
    }

    TempFolder folder_;
    std::filesystem::path dir_ = folder_.path();
};
