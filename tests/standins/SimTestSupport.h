#pragma once

#include "SimAdapter.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

// A fresh adapter folder per test, named in ONEWIRE_SIM_DIR for the driver and
// the tool, with the bus delays off.
class SimFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velmora-sim-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        setenv("ONEWIRE_SIM_DIR", dir_.c_str(), 1);
        setenv("ONEWIRE_SIM_TIMING", "off", 1);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

    std::filesystem::path dir_;
};
