// The DS2490's libusb road, call by call: the transport and the master built
// against a stand-in for libusb-1.0 with the bridge model behind it.
#include "LibusbTransport.h"
#include "Ds2490Master.h"
#include "RomSearch.h"
#include "SimAdapter.h"
#include "Status.h"
#include "support/Ds2490Bridge.h"
#include "support/LibusbStandIn.h"
#include "support/LiftingWire.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <libusb-1.0/libusb.h>

using namespace onewire;

namespace {

using Calls = std::vector<std::string>;

class LibusbRoad : public testing::Test {
protected:
    void SetUp() override {
        setenv("ONEWIRE_SIM_TIMING", "off", 1);
        usb().reset();
        std::string error;
        onewiresim::SimAdapter adapter(folder_.path());
        ASSERT_TRUE(adapter.create(error)) << error;
        const onewiresim::MemoryButton demo(onewiresim::Model::DS1994,
                                            makeRom(0x04, {0x5A, 0x3C, 0x91, 0x07, 0x00, 0x00}));
        ASSERT_TRUE(adapter.saveTablet("demo", demo, error)) << error;
        ASSERT_TRUE(adapter.setOnAdapter({"demo"}, error)) << error;
        wire_ = std::make_unique<LiftingWire>(onewiresim::SimAdapter(folder_.path()));
        bridge_ = std::make_unique<Ds2490Bridge>(*wire_);
        usb().model = bridge_.get();
    }
    void TearDown() override {
        // whatever happened, everything libusb gave is given back
        EXPECT_EQ(usb().openHandles, 0);
        EXPECT_EQ(usb().openContexts, 0);
        EXPECT_EQ(usb().openLists, 0);
        EXPECT_TRUE(usb().kernelDriver) << "the kernel's driver gets the adapter back";
    }
    static LibusbStandIn& usb() { return LibusbStandIn::instance(); }

    std::unique_ptr<Ds2490Master> openMaster() {
        std::string name, error;
        auto transport = LibusbTransport::open(0, name, error);
        EXPECT_TRUE(transport) << error;
        if (!transport)
            return nullptr;
        auto master = std::make_unique<Ds2490Master>(std::move(transport), name);
        EXPECT_TRUE(master->init(error)) << error;
        return master;
    }

    TempFolder folder_;
    std::unique_ptr<LiftingWire> wire_;
    std::unique_ptr<Ds2490Bridge> bridge_;
};

const Calls kOpening = {"init",
                        "get_device_list",
                        "open 1.5",
                        "get_configuration",
                        "kernel_driver_active 0",
                        "detach_kernel_driver 0",
                        "claim_interface 0",
                        "set_interface_alt_setting 0 3",
                        "clear_halt 81",
                        "clear_halt 02",
                        "clear_halt 83",
                        "free_device_list 1"};
const Calls kClosing = {"release_interface 0", "attach_kernel_driver 0", "close", "exit"};

TEST_F(LibusbRoad, OpensAndClosesAsTheDatasheetAsks) {
    std::string name, error;
    auto transport = LibusbTransport::open(0, name, error);
    ASSERT_TRUE(transport) << error;
    EXPECT_EQ(name, "bus 1 device 5");
    EXPECT_EQ(usb().setupCalls(), kOpening);
    EXPECT_FALSE(usb().kernelDriver);
    EXPECT_EQ(transport->altSetting(), 3);
    EXPECT_EQ(transport->details(), Calls{"alternate setting 3"});
    const size_t opened = usb().calls.size();
    transport.reset();
    EXPECT_EQ(usb().callsSince(opened), kClosing);
}

TEST_F(LibusbRoad, AnUnconfiguredAdapterIsConfiguredFirstAndAFreeOneNotDetached) {
    usb().configuration = 0;
    usb().kernelDriver = false;
    std::string name, error;
    auto transport = LibusbTransport::open(0, name, error);
    ASSERT_TRUE(transport) << error;
    EXPECT_EQ(usb().configuration, 1);
    const Calls opening = {"init",
                           "get_device_list",
                           "open 1.5",
                           "get_configuration",
                           "set_configuration 1",
                           "kernel_driver_active 0",
                           "claim_interface 0",
                           "set_interface_alt_setting 0 3",
                           "clear_halt 81",
                           "clear_halt 02",
                           "clear_halt 83",
                           "free_device_list 1"};
    EXPECT_EQ(usb().setupCalls(), opening);
    const size_t opened = usb().calls.size();
    transport.reset();
    EXPECT_EQ(usb().callsSince(opened), (Calls{"release_interface 0", "close", "exit"}));
    EXPECT_FALSE(usb().kernelDriver) << "no driver was bound: none is bound now";
    usb().kernelDriver = true;
}

TEST_F(LibusbRoad, AlternateSettingZeroWhenThreeFailsAndSaysSo) {
    usb().fail("set_interface_alt_setting 0 3", LIBUSB_ERROR_IO);
    auto master = openMaster();
    ASSERT_TRUE(master);
    const Calls setup = usb().setupCalls();
    const Calls expected = {"init",
                            "get_device_list",
                            "open 1.5",
                            "get_configuration",
                            "kernel_driver_active 0",
                            "detach_kernel_driver 0",
                            "claim_interface 0",
                            "set_interface_alt_setting 0 3",
                            "set_interface_alt_setting 0 0",
                            "clear_halt 81",
                            "clear_halt 02",
                            "clear_halt 83",
                            "free_device_list 1"};
    EXPECT_EQ(setup, expected);
    EXPECT_EQ(master->details(), Calls{"alternate setting 0 (setting 3 failed: slower)"});
    EXPECT_EQ(master->reset(), 1) << "the slower setting works all the same";
}

TEST_F(LibusbRoad, EachFailingStepSaysWhatFailedAndGivesEverythingBack) {
    struct Row {
        std::vector<std::string> failing;
        int error;
        int configuration;
        const char* message;
        Calls tail; // from the failing call to the end
    } rows[] = {
        {{"init"}, LIBUSB_ERROR_IO, 1, "libusb cannot start: Input/Output Error", {"init"}},
        {{"open 1.5"},
         LIBUSB_ERROR_ACCESS,
         1,
         "cannot open the DS2490 on bus 1 device 5: no permission on /dev/bus/usb/001/005 "
         "(install the udev rule, then plug the adapter in again)",
         {"open 1.5", "free_device_list 1", "exit"}},
        {{"get_configuration"},
         LIBUSB_ERROR_IO,
         1,
         "cannot read the configuration of the DS2490 on bus 1 device 5: Input/Output Error",
         {"get_configuration", "free_device_list 1", "close", "exit"}},
        {{"set_configuration 1"},
         LIBUSB_ERROR_BUSY,
         0,
         "cannot configure the DS2490 on bus 1 device 5: another program holds it",
         {"set_configuration 1", "free_device_list 1", "close", "exit"}},
        {{"detach_kernel_driver 0"},
         LIBUSB_ERROR_NOT_FOUND,
         1,
         "cannot detach the kernel's ds2490 driver from bus 1 device 5: Entity not found",
         {"detach_kernel_driver 0", "free_device_list 1", "close", "exit"}},
        {{"claim_interface 0"},
         LIBUSB_ERROR_BUSY,
         1,
         "cannot claim the DS2490 on bus 1 device 5: another program holds it",
         {"claim_interface 0", "free_device_list 1", "attach_kernel_driver 0", "close", "exit"}},
        {{"set_interface_alt_setting 0 3", "set_interface_alt_setting 0 0"},
         LIBUSB_ERROR_IO,
         1,
         "cannot select an alternate setting of the DS2490 on bus 1 device 5: Input/Output Error",
         {"set_interface_alt_setting 0 0", "free_device_list 1", "release_interface 0",
          "attach_kernel_driver 0", "close", "exit"}},
        {{"clear_halt 02"},
         LIBUSB_ERROR_NO_DEVICE,
         1,
         "cannot clear the endpoints of the DS2490 on bus 1 device 5: it was unplugged",
         {"clear_halt 02", "free_device_list 1", "release_interface 0", "attach_kernel_driver 0",
          "close", "exit"}},
    };
    for (const Row& row : rows) {
        usb().reset();
        usb().configuration = row.configuration;
        for (const std::string& call : row.failing)
            usb().fail(call, row.error);
        std::string name, error;
        EXPECT_FALSE(LibusbTransport::open(0, name, error)) << row.failing.back();
        EXPECT_EQ(error, row.message);
        const Calls& calls = usb().calls;
        const auto at = std::find(calls.begin(), calls.end(), row.failing.back());
        ASSERT_NE(at, calls.end()) << row.failing.back();
        EXPECT_EQ(Calls(at, calls.end()), row.tail) << row.failing.back();
        EXPECT_EQ(usb().openHandles, 0) << row.failing.back();
        EXPECT_EQ(usb().openContexts, 0) << row.failing.back();
        EXPECT_TRUE(usb().kernelDriver) << row.failing.back();
    }
}

TEST_F(LibusbRoad, NoAdapterAndAnotherDeviceAreNoDs2490) {
    usb().devices = {LibusbStandIn::Device{1, 2, 0x046D, 0xC52B}};
    std::string name, error;
    EXPECT_FALSE(LibusbTransport::open(0, name, error));
    EXPECT_EQ(error, "no DS2490 USB adapter is plugged in");
    EXPECT_TRUE(LibusbTransport::list(error).empty());
}

TEST_F(LibusbRoad, TheListNamesEachAdapterAndWhatStandsInTheWay) {
    usb().devices = {LibusbStandIn::Device{1, 5, 0x04FA, 0x2490},
                     LibusbStandIn::Device{1, 7, 0x046D, 0xC52B},
                     LibusbStandIn::Device{2, 3, 0x04FA, 0x2490}};
    usb().fail("open 2.3", LIBUSB_ERROR_ACCESS);
    std::string error;
    const auto found = LibusbTransport::list(error);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].name, "bus 1 device 5");
    EXPECT_EQ(found[0].path, "/dev/bus/usb/001/005");
    EXPECT_EQ(found[0].problem, "");
    EXPECT_EQ(found[1].name, "bus 2 device 3");
    EXPECT_EQ(found[1].problem, "no permission on /dev/bus/usb/002/003 (install the udev rule, "
                                "then plug the adapter in again)");
    EXPECT_EQ(usb().calls, (Calls{"init", "get_device_list", "open 1.5", "close", "open 2.3",
                                  "free_device_list 1", "exit"}));
}

// A transfer that fails once: the endpoint is cleared, the bridge flushed and
// EP3 emptied, every transfer of that listed; then the tablet reads right
// without the adapter being opened again.
TEST_F(LibusbRoad, RecoversFromAStallATimeoutALateByteAndEp0f) {
    struct Row {
        const char* what;
        const char* failing; // a transfer failing once, or none
        int error;
        void (*arm)(Ds2490Bridge&);
        bool byte; // a byte (Read ROM) meets it, else a reset
        int result;
        Calls transfers;
    } rows[] = {
        {"stall on EP1",
         "interrupt 81",
         LIBUSB_ERROR_PIPE,
         nullptr,
         false,
         kErrPort,
         {"control 01 0C4B 0000", "interrupt 81", "clear_halt 81", "control 00 0008 0000",
          "control 00 0009 0000", "interrupt 81"}},
        {"timeout on EP3",
         "bulk 83",
         LIBUSB_ERROR_TIMEOUT,
         nullptr,
         true,
         kErrTimeout,
         {"control 01 0053 0033", "bulk 83", "clear_halt 83", "control 00 0008 0000",
          "control 00 0009 0000", "interrupt 81"}},
        {"timeout on EP0",
         "control 01 0053 0033",
         LIBUSB_ERROR_TIMEOUT,
         nullptr,
         true,
         kErrTimeout,
         {"control 01 0053 0033", "control 00 0008 0000", "control 00 0009 0000", "interrupt 81"}},
        {"late byte on EP3",
         nullptr,
         0,
         [](Ds2490Bridge& b) { b.staleByte = true; },
         true,
         kErrTimeout,
         {"control 01 0053 0033", "bulk 83", "clear_halt 83", "control 00 0008 0000",
          "control 00 0009 0000", "interrupt 81", "bulk 83", "interrupt 81"}},
        {"EP0F",
         nullptr,
         0,
         [](Ds2490Bridge& b) { b.ep0Full = true; },
         false,
         kErrPort,
         {"control 01 0C4B 0000", "interrupt 81", "control 00 0000 0000", "control 02 0000 0000",
          "control 02 0002 0000", "interrupt 81"}},
    };
    for (const Row& row : rows) {
        usb().reset();
        Ds2490Bridge bridge(*wire_);
        usb().model = &bridge;
        auto master = openMaster();
        ASSERT_TRUE(master) << row.what;
        ASSERT_EQ(master->reset(), 1) << row.what;
        if (row.byte) {
            ASSERT_EQ(master->touchByte(0xCC), 0xCC) << row.what;
        }
        if (row.failing)
            usb().fail(row.failing, row.error, 1);
        if (row.arm)
            row.arm(bridge);
        const size_t from = usb().calls.size();
        EXPECT_EQ(row.byte ? master->touchByte(0x33) : master->reset(), row.result) << row.what;
        EXPECT_EQ(usb().callsSince(from), row.transfers) << row.what;
        EXPECT_FALSE(master->broken()) << row.what;
        // nothing shifted: the demo tablet answers Read ROM with its family code
        const size_t after = usb().calls.size();
        ASSERT_EQ(master->reset(), 1) << row.what;
        EXPECT_EQ(master->touchByte(0x33), 0x33) << row.what;
        EXPECT_EQ(master->touchByte(0xFF), 0x04) << row.what;
        EXPECT_EQ(usb().callsSince(after),
                  (Calls{"control 01 0C4B 0000", "interrupt 81", "control 01 0053 0033", "bulk 83",
                         "control 01 0053 00FF", "bulk 83"}))
            << row.what;
        master.reset();
        usb().model = bridge_.get();
    }
}

// A search step is one SEARCH ACCESS: the path on EP2, the command (reset,
// flush on error, ROM and disagreements back, Search ROM, one device), the
// status, 16 bytes from EP3. A bridge that stalls it is searched bit by bit.
TEST_F(LibusbRoad, ASearchStepIsOneSearchAccessOrBitsWhenRefused) {
    for (const bool refused : {false, true}) {
        usb().reset();
        Ds2490Bridge bridge(*wire_);
        bridge.refuseSearchAccess = refused;
        usb().model = &bridge;
        auto master = openMaster();
        ASSERT_TRUE(master);
        std::vector<uint8_t> state(RomSearch::kStateSize, 0);
        const size_t from = usb().calls.size();
        ASSERT_EQ(RomSearch::next(*master, state.data()), 1) << refused;
        EXPECT_EQ(state[RomSearch::kStateRom], 0x04) << refused;
        const Calls calls = usb().callsSince(from);
        if (!refused) {
            EXPECT_EQ(calls, (Calls{"bulk 02", "control 01 4DF5 01F0", "interrupt 81", "bulk 83"}));
        } else {
            const Calls start = {"bulk 02",
                                 "control 01 4DF5 01F0",
                                 "control 00 0008 0000",
                                 "control 00 0009 0000",
                                 "interrupt 81",
                                 "control 01 0C4B 0000",
                                 "interrupt 81",
                                 "control 01 0053 00F0",
                                 "bulk 83",
                                 "control 01 0029 0000",
                                 "control 01 0029 0000",
                                 "bulk 83"};
            ASSERT_GE(calls.size(), start.size());
            EXPECT_EQ(Calls(calls.begin(), calls.begin() + static_cast<long>(start.size())), start);
            EXPECT_EQ(calls.size(), 5u + 260u);
            EXPECT_FALSE(master->searchesInTheBridge());
        }
        master.reset();
        usb().model = bridge_.get();
    }
}

// onewire-port on the stand-in: the list names the adapter, the test tells
// the alternate setting in use, the slower one when setting 3 fails.
TEST_F(LibusbRoad, OnewirePortTellsTheAlternateSetting) {
    struct Row {
        const char* failing;
        const char* args;
        std::vector<std::string> lines;
    } rows[] = {
        {"", "list", {"usb            DS2490 on bus 1 device 5\n"}},
        {"",
         "test usb",
         {"adapter: alternate setting 3\n", "reset:  presence pulse\n", "found:  1 device"}},
        {"set_interface_alt_setting 0 3",
         "test usb",
         {"adapter: alternate setting 0 (setting 3 failed: slower)\n", "reset:  presence pulse\n",
          "04 5A 3C 91 07 00 00 A4  DS1994, clock ", "found:  1 device"}},
        {"set_interface_alt_setting 0 3,set_interface_alt_setting 0 0",
         "test usb",
         {"cannot use usb: cannot select an alternate setting of the DS2490 on bus 1 device 5: "
          "Input/Output Error"}},
    };
    for (const Row& row : rows) {
        setenv("LIBUSB_STANDIN_SIM_DIR", folder_.path().c_str(), 1);
        setenv("LIBUSB_STANDIN_FAIL", row.failing, 1);
        const std::string cmd = std::string(ONEWIRE_PORT_STANDIN_PATH) + " " + row.args + " 2>&1";
        FILE* p = popen(cmd.c_str(), "r");
        ASSERT_TRUE(p);
        std::string out;
        char buffer[512];
        while (size_t n = fread(buffer, 1, sizeof buffer, p))
            out.append(buffer, n);
        pclose(p);
        unsetenv("LIBUSB_STANDIN_SIM_DIR");
        unsetenv("LIBUSB_STANDIN_FAIL");
        for (const std::string& line : row.lines)
            EXPECT_NE(out.find(line), std::string::npos) << row.args << ": " << line << "\n" << out;
    }
}

TEST_F(LibusbRoad, AnUnpluggedAdapterLeavesTheMasterBroken) {
    auto master = openMaster();
    ASSERT_TRUE(master);
    usb().fail("control 01 0C4B 0000", LIBUSB_ERROR_NO_DEVICE);
    usb().fail("control 00 0008 0000", LIBUSB_ERROR_NO_DEVICE);
    EXPECT_EQ(master->reset(), kErrPort);
    EXPECT_TRUE(master->broken());
}

} // namespace
