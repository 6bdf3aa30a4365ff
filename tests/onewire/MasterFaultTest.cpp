// What the masters do when the adapter misbehaves: a serial device that says
// nothing, a peer that sends hostile bytes, a USB adapter that is unplugged or
// reports nonsense. Every call ends with a value or an error; none hangs.
#include "Ds2480b.h"
#include "Ds2480bMaster.h"
#include "Ds2490.h"
#include "Ds2490Master.h"
#include "PortName.h"
#include "RomSearch.h"
#include "Status.h"
#include "support/Ds2490Bridge.h"
#include "support/EmulatedSerialAdapter.h"
#include "support/LiftingWire.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <random>
#include <thread>
#include <unistd.h>

using namespace onewire;

namespace {

class Faults : public testing::Test {
protected:
    void SetUp() override {
        setenv("ONEWIRE_SIM_TIMING", "off", 1);
        ASSERT_FALSE(dir_.empty());
        std::string error;
        // a DS1994 lies on the adapter, as the demo tablet would
        onewiresim::SimAdapter adapter(dir_);
        ASSERT_TRUE(adapter.create(error)) << error;
        const onewiresim::MemoryButton demo(onewiresim::Model::DS1994,
                                            makeRom(0x04, {0x5A, 0x3C, 0x91, 0x07, 0x00, 0x00}));
        ASSERT_TRUE(adapter.saveTablet("demo", demo, error)) << error;
        ASSERT_TRUE(adapter.setOnAdapter({"demo"}, error)) << error;
        wire_ = std::make_unique<LiftingWire>(onewiresim::SimAdapter(dir_));
    }
    // Any result of a master call: a value in range or a status.
    static void inRange(int r, int max) {
        EXPECT_TRUE((r >= 0 && r <= max) || r == onewire::kErrPort || r == onewire::kErrTimeout)
            << r;
    }

    TempFolder folder_;
    std::filesystem::path dir_ = folder_.path();
    std::unique_ptr<LiftingWire> wire_;
};

TEST_F(Faults, SerialDevicesThatAreNoDs2480b) {
    EmulatedSerialAdapter silent(*wire_, true);
    ASSERT_TRUE(silent.ok());
    struct Row {
        std::string device;
        std::string error;
    } rows[] = {
        {silent.device(), "no DS2480B answers on " + silent.device()},
        {"/dev/null", "/dev/null is not a serial device"},
        {(dir_ / "ttyNONE").string(), "cannot open " + (dir_ / "ttyNONE").string()},
    };
    for (const Row& row : rows) {
        std::string error;
        EXPECT_EQ(Ds2480bMaster::open(row.device, error), nullptr);
        EXPECT_EQ(error.substr(0, row.error.size()), row.error);
    }
}

TEST_F(Faults, Ds2480bThatGoesAwayGivesErrorsThenStaysBroken) {
    auto serial = std::make_unique<EmulatedSerialAdapter>(*wire_);
    std::string error;
    auto master = Ds2480bMaster::open(serial->device(), error);
    ASSERT_NE(master, nullptr) << error;
    EXPECT_EQ(master->reset(), 1);
    serial.reset();
    const int r = master->reset();
    EXPECT_TRUE(r == onewire::kErrTimeout || r == onewire::kErrPort) << r;
    EXPECT_TRUE(master->broken());
    EXPECT_EQ(master->touchByte(0xFF), onewire::kErrPort);
    EXPECT_EQ(master->touchBit(true), onewire::kErrPort);
}

// A peer on the pseudo-terminal that answers every byte with random bytes,
// mostly one, sometimes none or two.
class HostilePeer {
public:
    explicit HostilePeer(uint32_t seed) : random_(seed) {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        grantpt(master_);
        unlockpt(master_);
        device_ = ptsname(master_);
        slave_ = ::open(device_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        thread_ = std::thread([this] { serve(); });
    }
    ~HostilePeer() {
        stop_ = true;
        thread_.join();
        ::close(slave_);
        ::close(master_);
    }
    const std::string& device() const { return device_; }

private:
    void serve() {
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            uint8_t in[64];
            const ssize_t n = ::read(master_, in, sizeof in);
            std::vector<uint8_t> out;
            for (ssize_t i = 0; i < n; ++i) {
                const uint32_t k = random_() % 20;
                const int count = k == 0 ? 0 : k == 1 ? 2 : 1;
                for (int j = 0; j < count; ++j)
                    out.push_back(static_cast<uint8_t>(random_()));
            }
            if (!out.empty() && ::write(master_, out.data(), out.size()) < 0)
                continue;
        }
    }

    std::mt19937 random_;
    int master_ = -1, slave_ = -1;
    std::string device_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST_F(Faults, Ds2480bMasterAgainstHostileBytes) {
    HostilePeer peer(7);
    std::mt19937 random(11);
    int opened = 0, calls = 0;
    for (int round = 0; round < 40; ++round) {
        std::string error;
        auto master = Ds2480bMaster::open(peer.device(), error);
        if (!master) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        ++opened;
        for (int i = 0; i < 20 && !master->broken(); ++i, ++calls) {
            switch (random() % 4) {
            case 0:
                inRange(master->reset(), 3);
                break;
            case 1:
                inRange(master->touchByte(static_cast<uint8_t>(random())), 255);
                break;
            case 2:
                inRange(master->touchBit(random() & 1), 1);
                break;
            default: {
                std::vector<uint8_t> state(RomSearch::kStateSize, 0);
                const int r = RomSearch::next(*master, state.data());
                inRange(r, 1);
                if (r == 1) {
                    Rom rom;
                    std::copy_n(state.begin() + RomSearch::kStateRom, 8, rom.begin());
                    EXPECT_TRUE(RomSearch::plausible(rom));
                }
            }
            }
        }
    }
    RecordProperty("opened", opened);
    RecordProperty("calls", calls);
}

TEST_F(Faults, SearchAcceleratorAnswersDecodeToTheirBits) {
    std::mt19937 random(3);
    for (int i = 0; i < 2000; ++i) {
        uint8_t in[16];
        for (uint8_t& b : in)
            b = static_cast<uint8_t>(random());
        OneWireMaster::SearchPass pass;
        const int r = ds2480b::decodeSearch(in, pass);
        for (int n = 0; n < 64; ++n) {
            ASSERT_EQ(romBit(pass.discrepancies, n), (in[n / 4] >> (n % 4 * 2) & 1) != 0);
            ASSERT_EQ(romBit(pass.rom, n), (in[n / 4] >> (n % 4 * 2 + 1) & 1) != 0);
        }
        EXPECT_EQ(r, (in[15] & 0xC0) == 0xC0 ? 0 : 1);
        // what the master sends back for this ROM as its directions
        uint8_t again[16];
        ds2480b::encodeSearch(pass.rom, again);
        for (int k = 0; k < 16; ++k)
            ASSERT_EQ(again[k], in[k] & 0xAA);
    }
}

TEST_F(Faults, Ds2490UnpluggedGivesErrorsNotHangs) {
    auto bridge = std::make_unique<Ds2490Bridge>(*wire_);
    Ds2490Bridge& b = *bridge;
    Ds2490Master master(std::move(bridge), "model");
    std::string error;
    ASSERT_TRUE(master.init(error));
    EXPECT_EQ(master.reset(), 1);
    b.unplugged = true;
    EXPECT_EQ(master.touchByte(0xFF), onewire::kErrPort);
    EXPECT_TRUE(master.broken());
    EXPECT_EQ(master.reset(), onewire::kErrPort);
    b.unplugged = false;
    EXPECT_EQ(master.touchBit(true), onewire::kErrPort) << "broken until opened again";
}

TEST_F(Faults, Ds2490DeviceArrivalIsNoResetResult) {
    auto bridge = std::make_unique<Ds2490Bridge>(*wire_);
    Ds2490Bridge& b = *bridge;
    Ds2490Master master(std::move(bridge), "model");
    std::string error;
    ASSERT_TRUE(master.init(error));
    b.announceDevice = true;
    EXPECT_EQ(master.reset(), 1) << "the demo tablet lies on the adapter";
    ASSERT_TRUE(onewiresim::SimAdapter(dir_).setOnAdapter({}, error));
    b.announceDevice = true;
    EXPECT_EQ(master.reset(), 0);
}

TEST_F(Faults, Ds2490StatusPacketsOfAnyShape) {
    struct Row {
        std::vector<uint8_t> packet;
        bool valid;
        int reset;
    } rows[] = {
        {{}, false, 0},
        {std::vector<uint8_t>(15, 0xFF), false, 0},
        {std::vector<uint8_t>(16, 0x00), true, 1},
        {[] {
             std::vector<uint8_t> p(16, 0);
             p.push_back(ds2490::kDeviceDetected);
             p.push_back(ds2490::kResultNoPresence);
             return p;
         }(),
         true, 0},
        {[] {
             std::vector<uint8_t> p(16, 0);
             p.push_back(ds2490::kResultAlarm);
             return p;
         }(),
         true, 2},
        {[] {
             std::vector<uint8_t> p(16, 0);
             p.push_back(ds2490::kResultShort | ds2490::kResultNoPresence);
             return p;
         }(),
         true, 3},
    };
    for (const Row& row : rows) {
        const auto s = ds2490::parseStatus(row.packet.data(), row.packet.size());
        EXPECT_EQ(s.valid, row.valid);
        if (s.valid) {
            EXPECT_EQ(ds2490::resetResult(s), row.reset);
        }
    }
    std::mt19937 random(5);
    for (int i = 0; i < 20000; ++i) {
        std::vector<uint8_t> packet(random() % 80);
        for (uint8_t& b : packet)
            b = static_cast<uint8_t>(random());
        const auto s = ds2490::parseStatus(packet.data(), packet.size());
        ASSERT_EQ(s.valid, packet.size() >= 16);
        ASSERT_LE(s.results.size(), 16u);
        const int r = ds2490::resetResult(s);
        ASSERT_TRUE(r >= 0 && r <= 3);
    }
}

// A USB device that sends random status packets and data, and sometimes fails.
class HostileUsb : public UsbTransport {
public:
    explicit HostileUsb(uint32_t seed) : random_(seed) {}
    int control(uint8_t, uint16_t, uint16_t) override { return fault(); }
    int status(uint8_t* data, int length) override {
        if (const int f = fault(); f < 0)
            return f;
        const int n = static_cast<int>(random_() % static_cast<uint32_t>(length + 1));
        for (int i = 0; i < n; ++i)
            data[i] = static_cast<uint8_t>(random_());
        if (n > 16 && random_() % 2) {
            data[ds2490::kStatusFlags] |= ds2490::kFlagIdle;
            data[ds2490::kCommandBufferCount] = 0;
        }
        return n;
    }
    int bulkOut(const uint8_t*, int length) override { return fault() < 0 ? fault() : length; }
    int bulkIn(uint8_t* data, int length) override {
        if (const int f = fault(); f < 0)
            return f;
        const int n = static_cast<int>(random_() % static_cast<uint32_t>(length + 1));
        for (int i = 0; i < n; ++i)
            data[i] = static_cast<uint8_t>(random_());
        return n;
    }

private:
    int fault() {
        const uint32_t k = random_() % 50;
        return k == 0 ? onewire::kErrPort : k == 1 ? onewire::kErrTimeout : 0;
    }
    std::mt19937 random_;
};

TEST_F(Faults, Ds2490MasterAgainstHostileTransfers) {
    std::mt19937 random(9);
    for (uint32_t seed = 0; seed < 60; ++seed) {
        Ds2490Master master(std::make_unique<HostileUsb>(seed), "hostile");
        std::string error;
        if (!master.init(error))
            continue;
        for (int i = 0; i < 30 && !master.broken(); ++i) {
            switch (random() % 4) {
            case 0:
                inRange(master.reset(), 3);
                break;
            case 1:
                inRange(master.touchByte(static_cast<uint8_t>(random())), 255);
                break;
            case 2:
                inRange(master.touchBit(random() & 1), 1);
                break;
            default: {
                std::vector<uint8_t> state(RomSearch::kStateSize, 0);
                const int r = RomSearch::next(master, state.data());
                inRange(r, 1);
                if (r == 1) {
                    Rom rom;
                    std::copy_n(state.begin() + RomSearch::kStateRom, 8, rom.begin());
                    EXPECT_TRUE(RomSearch::plausible(rom));
                }
            }
            }
        }
    }
}

TEST_F(Faults, SearchStateFromTheCallerIsNotTrusted) {
    std::string error;
    ASSERT_TRUE(onewiresim::SimAdapter(dir_).setOnAdapter({"demo"}, error));
    std::mt19937 random(1);
    for (int i = 0; i < 200; ++i) {
        std::vector<uint8_t> state(RomSearch::kStateSize);
        for (uint8_t& b : state)
            b = static_cast<uint8_t>(random());
        const int r = RomSearch::next(*wire_, state.data());
        ASSERT_TRUE(r == 0 || r == 1);
        if (r == 1) {
            Rom rom;
            std::copy_n(state.begin() + RomSearch::kStateRom, 8, rom.begin());
            EXPECT_EQ(rom[0], 0x04) << "only the demo tablet lies there";
        }
    }
}

} // namespace

namespace {

// The bridge misbehaves once; the master recovers by flushing, without being
// opened again, and the next calls read the bus right.
TEST_F(Faults, Ds2490RecoversFromALateByteAStallAndALostSetupPacket) {
    struct Row {
        const char* what;
        void (*arm)(Ds2490Bridge&);
        int failed;                    // what the call that meets it gives
        std::vector<uint16_t> flushes; // control commands of the recovery
    } rows[] = {
        {"late byte on EP3", [](Ds2490Bridge& b) { b.staleByte = true; }, kErrTimeout, {8, 9}},
        {"stall on EP1", [](Ds2490Bridge& b) { b.stallStatus = true; }, kErrPort, {8, 9}},
        {"EP0F", [](Ds2490Bridge& b) { b.ep0Full = true; }, kErrPort, {0}},
        {"no reset result", [](Ds2490Bridge& b) { b.dropResetResult = true; }, kErrTimeout, {8, 9}},
    };
    for (const Row& row : rows) {
        auto bridge = std::make_unique<Ds2490Bridge>(*wire_);
        Ds2490Bridge& b = *bridge;
        Ds2490Master master(std::move(bridge), "model");
        std::string error;
        ASSERT_TRUE(master.init(error));
        ASSERT_EQ(master.reset(), 1);
        b.controls.clear();
        row.arm(b);
        const bool resets = std::string(row.what) != "late byte on EP3";
        const int r = resets ? master.reset() : master.touchByte(0x33);
        EXPECT_EQ(r, row.failed) << row.what;
        EXPECT_EQ(b.controls, row.flushes) << row.what;
        EXPECT_EQ(master.recoveries(), 1) << row.what;
        EXPECT_FALSE(master.broken()) << row.what;
        // the demo tablet answers Read ROM as ever: nothing shifted
        ASSERT_EQ(master.reset(), 1) << row.what;
        EXPECT_EQ(master.touchByte(0x33), 0x33) << row.what;
        EXPECT_EQ(master.touchByte(0xFF), 0x04) << row.what << ": the family code";
    }
}

} // namespace
