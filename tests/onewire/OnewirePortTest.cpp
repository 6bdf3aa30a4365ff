// The onewire-port tool: list, set, show and test, with a damaged
// configuration file and a port whose device is missing.
#include "PortName.h"
#include "SimMaster.h"
#include "support/EmulatedSerialAdapter.h"
#include "support/SimFolder.h"

#include <cstdio>
#include <ctime>
#include <sys/wait.h>

namespace {

class OnewirePort : public SimFolderTest {
protected:
    void SetUp() override {
        SimFolderTest::SetUp();
        unsetenv("ONEWIRE_PORT");
        config_ = dir_ / "config" / "velmora" / "onewire-port";
    }

    struct Run {
        int status;
        std::string out; // standard output and error
    };
    Run tool(const std::string& args) {
        const std::string cmd = std::string(ONEWIRE_PORT_PATH) + " " + args + " 2>&1";
        FILE* p = popen(cmd.c_str(), "r");
        Run r{-1, {}};
        if (!p)
            return r;
        char buffer[512];
        while (size_t n = fread(buffer, 1, sizeof buffer, p))
            r.out.append(buffer, n);
        const int status = pclose(p);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return r;
    }
    bool has(const Run& r, const std::string& text) {
        return r.out.find(text) != std::string::npos;
    }

    std::filesystem::path config_;
};

TEST_F(OnewirePort, SetThenShowThenTestTheSimulatedAdapter) {
    Run r = tool("show");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(has(r, "port: auto (from default)")) << r.out;
    r = tool("set sim");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r, "default port: sim (written to " + config_.string() + ")")) << r.out;
    r = tool("show");
    EXPECT_TRUE(has(r, "port: sim (from " + config_.string() + ")")) << r.out;
    setenv("ONEWIRE_PORT", "usb:1", 1);
    r = tool("show");
    EXPECT_TRUE(has(r, "port: usb:1 (from ONEWIRE_PORT)")) << r.out;
    unsetenv("ONEWIRE_PORT");
    r = tool("test");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r, "reset:  presence pulse")) << r.out;
    EXPECT_TRUE(has(r, "device: 04 5A 3C 91 07 00 00 A4  DS1994, clock ")) << r.out;
    char today[16];
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    std::strftime(today, sizeof today, "%d.%m.%Y", &tm);
    EXPECT_TRUE(has(r, std::string("clock ") + today)) << r.out;
    EXPECT_TRUE(has(r, "found:  1 device")) << r.out;
}

TEST_F(OnewirePort, TestThroughASerialAdapter) {
    ASSERT_EQ(sim("new a --family 6"), 0);
    ASSERT_EQ(sim("put a demo"), 0);
    onewiresim::SimMaster wire{onewiresim::SimAdapter(dir_)};
    EmulatedSerialAdapter adapter(wire);
    const Run r = tool("test serial:" + adapter.device());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(has(r, "port:   serial:" + adapter.device() + " - DS2480B on ")) << r.out;
    EXPECT_TRUE(has(r, "DS1994, clock ")) << r.out;
    EXPECT_TRUE(has(r, "found:  2 devices")) << r.out;
    EXPECT_LT(r.out.find("device: 04"), r.out.find("device: 06")) << "the search's own order";
    EXPECT_TRUE(has(r, "adapter: revision 3\nadapter: programming voltage: no\n")) << r.out;
    EXPECT_TRUE(has(r, "  DS1993\n")) << r.out;
    EXPECT_TRUE(has(r, " (nominal 1 ms), byte ")) << r.out;
    EXPECT_TRUE(has(r, " (nominal 13 ms)")) << r.out;
}

TEST_F(OnewirePort, BrokenSettingsAndMissingDevicesAreNamed) {
    std::filesystem::create_directories(config_.parent_path());
    onewiresim::SimMaster wire{onewiresim::SimAdapter(dir_)};
    EmulatedSerialAdapter silent(wire, true);
    const std::string gone = (dir_ / "ttyGONE").string();
    struct Row {
        const char* file; // nullptr: none
        std::string args;
        int status;
        std::string message;
    } rows[] = {
        {"\x7f\x45garbage\x01", "show", 1,
         config_.string() + " is damaged: it does not name a port"},
        {"\x7f\x45garbage\x01", "test", 1, config_.string() + " is damaged"},
        {"\x7f\x45garbage\x01", "test sim", 0, "found:  1 device"},
        {"serial:/dev/null", "test", 1,
         "cannot use serial:/dev/null: /dev/null is not a serial device"},
        {nullptr, "test serial:" + gone, 1, "cannot use serial:" + gone + ": cannot open " + gone},
        {nullptr, "test serial:" + silent.device(), 1,
         "cannot use serial:" + silent.device() + ": no DS2480B answers on " + silent.device()},
        {nullptr, "test usb:7", 1, "cannot use usb:7: "},
        {nullptr, "set serial:" + gone, 0, "note: " + gone + " does not exist now"},
        {nullptr, "set nonsense", 2, "'nonsense' does not name a port"},
        {nullptr, "set usb:99", 2, "'usb:99' does not name a port"},
        {nullptr, "test nonsense", 2, "usage: onewire-port"},
        {nullptr, "frobnicate", 2, "usage: onewire-port"},
        {nullptr, "", 2, "usage: onewire-port"},
        {nullptr, "list", 0, "sim            simulated adapter in " + dir_.string()},
    };
    for (const Row& row : rows) {
        std::filesystem::remove(config_);
        if (row.file)
            std::ofstream(config_, std::ios::binary) << row.file;
        const Run r = tool(row.args);
        EXPECT_EQ(r.status, row.status) << row.args << ": " << r.out;
        EXPECT_TRUE(has(r, row.message)) << row.args << ": " << r.out;
    }
    // the configuration folder is a file: nothing can be written
    std::filesystem::remove_all(dir_ / "config");
    std::ofstream(dir_ / "config") << "x";
    const Run r = tool("set sim");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(has(r, "cannot write ")) << r.out;
}

} // namespace
