// The driver library through dlopen, exactly as the program loads it, with the
// onewire-sim tool working on the same adapter folder.
#include "Controller.h"
#include "DemoTablet.h"
#include "PortName.h"
#include "ReadCommandRecord.h"
#include "Rom.h"
#include "SimMaster.h"
#include "Tmex.h"
#include "support/EmulatedSerialAdapter.h"
#include "support/SimFolder.h"

#include <cstring>

#include <chrono>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace {

// The simulated adapter's TMEX port type.
constexpr int16_t kSimPortType = 15;

struct Tmex {
    void* handle = nullptr;
    tmex::TMGetTypeVersionFn TMGetTypeVersion;
    tmex::TMReadDefaultPortFn TMReadDefaultPort;
    tmex::TMExtendedStartSessionFn TMExtendedStartSession;
    tmex::TMEndSessionFn TMEndSession;
    tmex::Get_VersionFn Get_Version;
    tmex::TMSetupFn TMSetup;
    tmex::TMCRCFn TMCRC;
    tmex::TMNextFn TMNext;
    tmex::TMRomFn TMRom;
    tmex::TMTouchByteFn TMTouchByte;
    tmex::TMTouchResetFn TMTouchReset;
    tmex::TMReadPacketFn TMReadPacket;
    tmex::TMExtendedReadPageFn TMExtendedReadPage;
    tmex::TMAccessFn TMAccess;

    template <typename F> void get(F& f, const char* name) {
        f = reinterpret_cast<F>(dlsym(handle, name));
        ASSERT_NE(f, nullptr) << name;
    }
    void load() {
        handle = dlopen(IBFS32_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        get(TMGetTypeVersion, "TMGetTypeVersion");
        get(TMReadDefaultPort, "TMReadDefaultPort");
        get(TMExtendedStartSession, "TMExtendedStartSession");
        get(TMEndSession, "TMEndSession");
        get(Get_Version, "Get_Version");
        get(TMSetup, "TMSetup");
        get(TMCRC, "TMCRC");
        get(TMNext, "TMNext");
        get(TMRom, "TMRom");
        get(TMTouchByte, "TMTouchByte");
        get(TMTouchReset, "TMTouchReset");
        get(TMReadPacket, "TMReadPacket");
        get(TMExtendedReadPage, "TMExtendedReadPage");
        get(TMAccess, "TMAccess");
    }
};

class Driver : public SimFolderTest {
protected:
    void SetUp() override {
        SimFolderTest::SetUp();
        lib.load();
    }

    int32_t openSession() {
        int16_t port = -1, type = -1;
        EXPECT_EQ(lib.TMReadDefaultPort(&port, &type), 1);
        const int32_t session = lib.TMExtendedStartSession(port, type, nullptr);
        EXPECT_GT(session, 0);
        EXPECT_EQ(lib.TMSetup(session), 1);
        return session;
    }

    // The reader's sequence on a fresh search: search, ROM, memory read from 0
    // of 544 bytes.
    std::vector<uint8_t> readTablet(int32_t session, std::array<int16_t, 8>* rom = nullptr) {
        std::vector<uint8_t> state(tmex::kStateBufferSize, 0);
        std::array<int16_t, 8> found{};
        EXPECT_EQ(lib.TMNext(session, state.data()), 1);
        EXPECT_EQ(lib.TMRom(session, state.data(), found.data()), 1);
        if (rom)
            *rom = found;
        lib.TMTouchByte(session, 0xF0);
        lib.TMTouchByte(session, 0x00);
        lib.TMTouchByte(session, 0x00);
        std::vector<uint8_t> image(544);
        for (auto& b : image)
            b = static_cast<uint8_t>(lib.TMTouchByte(session, 0xFF));
        return image;
    }

    // The writer's sequence: Skip ROM, write, read back, copy.
    bool writeCommand(int32_t session, const std::array<uint8_t, 8>& record) {
        lib.TMTouchReset(session);
        for (int b : {0xCC, 0x0F, 0x00, 0x00})
            lib.TMTouchByte(session, static_cast<int16_t>(b));
        for (uint8_t b : record)
            lib.TMTouchByte(session, b);
        lib.TMTouchReset(session);
        lib.TMTouchByte(session, 0xCC);
        lib.TMTouchByte(session, 0xAA);
        if (lib.TMTouchByte(session, 0xFF) != 0 || lib.TMTouchByte(session, 0xFF) != 0)
            return false;
        const int16_t es = lib.TMTouchByte(session, 0xFF);
        for (uint8_t b : record)
            if (lib.TMTouchByte(session, 0xFF) != b)
                return false;
        lib.TMTouchReset(session);
        for (int b : {0xCC, 0x55, 0x00, 0x00})
            lib.TMTouchByte(session, static_cast<int16_t>(b));
        lib.TMTouchByte(session, es);
        lib.TMTouchReset(session);
        return true;
    }

    // The read command for the ROM words TMRom gave.
    static std::array<uint8_t, 8> commandFor(const std::array<int16_t, 8>& words, uint8_t version) {
        std::array<uint8_t, 8> rom{};
        for (size_t i = 0; i < rom.size(); ++i)
            rom[i] = static_cast<uint8_t>(words[i]);
        return ReadCommandRecord::build(rom, version);
    }

    Tmex lib;
};

TEST_F(Driver, OpensLikeTheProgramDoes) {
    setenv("ONEWIRE_PORT", "sim", 1);
    int16_t port = -1, type = -1;
    EXPECT_EQ(lib.TMReadDefaultPort(&port, &type), 1);
    EXPECT_EQ(port, 0);
    EXPECT_EQ(type, kSimPortType);
    std::vector<char> text(2000, 0);
    EXPECT_EQ(lib.Get_Version(text.data()), 1);
    EXPECT_GT(std::strlen(text.data()), 0u);
    EXPECT_EQ(lib.TMGetTypeVersion(type, text.data()), 1);
    EXPECT_NE(std::string(text.data()).find("Simulated USB"), std::string::npos);
    EXPECT_EQ(lib.TMGetTypeVersion(6, text.data()), 1);
    EXPECT_NE(std::string(text.data()).find("USB"), std::string::npos);
    EXPECT_EQ(lib.TMGetTypeVersion(5, text.data()), 1);
    EXPECT_NE(std::string(text.data()).find("DS2480B"), std::string::npos);
    for (int16_t none : {0, 1, 2, 3, 4, 7, 14})
        EXPECT_LT(lib.TMGetTypeVersion(none, text.data()), 0) << none;
    EXPECT_LT(lib.TMExtendedStartSession(0, 1, nullptr), 0);
    // every start gets a fresh valid handle however many are open
    const int32_t a = lib.TMExtendedStartSession(0, type, nullptr);
    const int32_t b = lib.TMExtendedStartSession(0, type, nullptr);
    EXPECT_GT(a, 0);
    EXPECT_GT(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(lib.TMSetup(a), 1);
    EXPECT_EQ(lib.TMSetup(b), 1);
    EXPECT_EQ(lib.TMEndSession(b), 1);
    EXPECT_EQ(lib.TMEndSession(b), 0);
    EXPECT_EQ(lib.TMSetup(b), -200);
    EXPECT_EQ(lib.TMExtendedReadPage(a, nullptr, 0, nullptr, 0), -13);
}

TEST_F(Driver, ANewFolderMadeByTheDriverHoldsNoTablet) {
    const auto fresh = dir_ / "fresh";
    setenv("ONEWIRE_SIM_DIR", fresh.c_str(), 1);
    const int32_t session = openSession();
    std::vector<uint8_t> state(tmex::kStateBufferSize, 0);
    EXPECT_EQ(lib.TMNext(session, state.data()), 0);
    EXPECT_EQ(lib.TMTouchReset(session), 0);
    EXPECT_TRUE(std::filesystem::is_directory(fresh / "tablets"));
    EXPECT_TRUE(onewiresim::SimAdapter(fresh).tabletNames().empty());
    EXPECT_EQ(lib.TMEndSession(session), 1);
}

TEST_F(Driver, ANewFolderLaidByTheSimulatorHoldsTheDemoTabletFilledByAGarageController) {
    const int32_t session = openSession();
    std::array<int16_t, 8> rom{};
    const auto image = readTablet(session, &rom);
    EXPECT_EQ(rom[0], 4);
    EXPECT_EQ(image[0], 0x04);
    EXPECT_EQ(image[8], 3);
    EXPECT_EQ(onewire::Crc::crc8(image.data(), 7), image[7]);
    EXPECT_EQ(onewire::Crc::crc8(image.data() + 8, 7), image[15]);
    EXPECT_EQ(withoutClock(image), withoutClock(dump("demo")));
}

TEST_F(Driver, WriteCommandControllerAndReadBackEqualsDump) {
    ASSERT_EQ(sim("new fresh --serial 0A1B2C3D4E00"), 0);
    ASSERT_EQ(sim("put fresh"), 0);
    const int32_t session = openSession();
    std::vector<uint8_t> state(tmex::kStateBufferSize, 0);
    std::array<int16_t, 8> rom{};
    ASSERT_EQ(lib.TMNext(session, state.data()), 1);
    ASSERT_EQ(lib.TMRom(session, state.data(), rom.data()), 1);
    EXPECT_EQ(rom[1], 0x0A);
    EXPECT_EQ(rom[6], 0x00);
    EXPECT_NE(sim("controller fresh --variant main"), 0) << "no read command yet";
    ASSERT_TRUE(writeCommand(session, commandFor(rom, 1)));
    ASSERT_EQ(sim("controller fresh --variant main --seed 5"), 0);
    const auto image = readTablet(session);
    EXPECT_EQ(image[8], 7);
    EXPECT_EQ(withoutClock(image), withoutClock(dump("fresh")));
}

TEST_F(Driver, NoTabletMeansNoPresenceAndAnIdleBus) {
    ASSERT_EQ(sim("remove"), 0);
    const int32_t session = openSession();
    std::vector<uint8_t> state(tmex::kStateBufferSize, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(lib.TMNext(session, state.data()), 0);
    EXPECT_EQ(lib.TMTouchReset(session), 0);
    EXPECT_EQ(lib.TMTouchByte(session, 0xCC), 0xCC);
    EXPECT_EQ(lib.TMTouchByte(session, 0xFF), 0xFF);
    EXPECT_EQ(lib.TMAccess(session, state.data()), 0);
}

// The search finds devices by their ROM bits, lowest first, whatever order
// they were laid on the adapter in.
TEST_F(Driver, SearchFollowsTheRomBitsAndStartsOver) {
    ASSERT_EQ(sim("new a --family 6"), 0);                // 0110: bit 0 is 0, bit 1 is 1
    ASSERT_EQ(sim("new b --family 1"), 0);                // 0001: bit 0 is 1, bit 1 is 0
    ASSERT_EQ(sim("new c --family 7 --model ds1994"), 0); // 0111
    ASSERT_EQ(sim("put c a b"), 0);
    const int32_t session = openSession();
    std::vector<uint8_t> state(tmex::kStateBufferSize, 0);
    std::array<int16_t, 8> rom{};
    std::vector<int> families;
    for (int i = 0; i < 8; ++i) {
        if (lib.TMNext(session, state.data()) == 1) {
            rom[0] = 0;
            lib.TMRom(session, state.data(), rom.data());
            families.push_back(rom[0]);
        } else {
            families.push_back(0);
        }
    }
    EXPECT_EQ(families, (std::vector<int>{6, 1, 7, 0, 6, 1, 7, 0}));
    // a tablet taken away between searches is gone from the next one
    ASSERT_EQ(sim("put a"), 0);
    EXPECT_EQ(lib.TMNext(session, state.data()), 1);
    rom[0] = 0;
    lib.TMRom(session, state.data(), rom.data());
    EXPECT_EQ(rom[0], 6);
}

TEST_F(Driver, RomOnlyAndShortPartsAnswerAsTheirHardware) {
    ASSERT_EQ(sim("new r --family 1"), 0);
    ASSERT_EQ(sim("new small --family 8"), 0);
    for (const char* name : {"r", "small"}) {
        ASSERT_EQ(sim(std::string("put ") + name), 0);
        const int32_t session = openSession();
        const auto image = readTablet(session);
        const size_t data = std::string(name) == "r" ? 0 : 128;
        for (size_t i = 0; i < image.size(); ++i)
            ASSERT_EQ(image[i], i < data ? 0x00 : 0xFF) << name << " " << i;
    }
}

TEST_F(Driver, AccessSelectsTheBufferedRomAndReadRomReadsIt) {
    ASSERT_EQ(sim("new x --serial 112233445566"), 0);
    ASSERT_EQ(sim("put x"), 0);
    const int32_t session = openSession();
    std::vector<uint8_t> state(tmex::kStateBufferSize, 0);
    ASSERT_EQ(lib.TMNext(session, state.data()), 1);
    EXPECT_EQ(lib.TMAccess(session, state.data()), 1);
    lib.TMTouchByte(session, 0xF0);
    lib.TMTouchByte(session, 0x02);
    lib.TMTouchByte(session, 0x02);
    const int16_t fraction = lib.TMTouchByte(session, 0xFF);
    EXPECT_GE(fraction, 0);
    EXPECT_LE(fraction, 255);
    // a wrong ROM selects nothing: the bus stays idle
    std::array<int16_t, 8> other = {4, 9, 9, 9, 9, 9, 9, 9};
    lib.TMRom(session, state.data(), other.data());
    EXPECT_EQ(lib.TMAccess(session, state.data()), 1);
    lib.TMTouchByte(session, 0xF0);
    lib.TMTouchByte(session, 0);
    lib.TMTouchByte(session, 0);
    EXPECT_EQ(lib.TMTouchByte(session, 0xFF), 0xFF);
    EXPECT_EQ(lib.TMTouchReset(session), 1);
    EXPECT_EQ(lib.TMTouchByte(session, 0x33), 0x33);
    EXPECT_EQ(lib.TMTouchByte(session, 0xFF), 0x04);
    EXPECT_EQ(lib.TMTouchByte(session, 0xFF), 0x11);
}

TEST_F(Driver, ToolRefusesWhatItCannotDo) {
    const std::pair<const char*, int> rows[] = {
        {"", 2},
        {"bogus", 2},
        {"new ../x", 1},
        {"new demo", 1},
        {"new y --family 1FF", 2},
        {"new y --serial 12345", 2},
        {"new y --clock -5", 2},
        {"put nothere", 1},
        {"controller demo", 2},
        {"controller demo --variant tank", 2},
        {"controller demo --variant main --events 125", 2},
        {"controller nothere --variant main", 1},
        {"dump nothere", 1},
        {"load demo /nonexistent", 1},
        {"fault sometimes", 2},
        {"fault setup=x", 2},
        {"list", 0},
    };
    for (const auto& [args, status] : rows)
        EXPECT_EQ(sim(args), status) << args;
    const std::string file = (dir_ / "short.bin").string();
    std::ofstream(file, std::ios::binary) << "too short";
    EXPECT_EQ(sim("load demo " + file), 1);
}

TEST_F(Driver, Crc) {
    uint8_t rom[] = {0x02, 0x1C, 0xB8, 0x01, 0x00, 0x00, 0x00};
    EXPECT_EQ(lib.TMCRC(7, rom, 0, 0), 0xA2);
    int16_t seed = 0;
    for (uint8_t& b : rom)
        seed = lib.TMCRC(1, &b, static_cast<uint16_t>(seed), 0);
    EXPECT_EQ(seed, 0xA2);
    uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(static_cast<uint16_t>(lib.TMCRC(9, digits, 0, 1)), 0xBB3D);
    EXPECT_LT(lib.TMCRC(1, digits, 0, 7), 0);
    EXPECT_LT(lib.TMCRC(-1, digits, 0, 0), 0);
}

TEST_F(Driver, PortFaults) {
    constexpr int16_t sim = kSimPortType;
    std::vector<char> text(2000, 0);
    ASSERT_EQ(this->sim("fault no-port-driver"), 0);
    EXPECT_LT(lib.TMGetTypeVersion(sim, text.data()), 0);
    EXPECT_LT(lib.TMExtendedStartSession(0, sim, nullptr), 0);
    for (int setup : {0, 2, 3, 4, -17}) {
        ASSERT_EQ(this->sim("fault setup=" + std::to_string(setup)), 0);
        EXPECT_EQ(lib.TMGetTypeVersion(sim, text.data()), 1);
        const int32_t session = lib.TMExtendedStartSession(0, sim, nullptr);
        EXPECT_EQ(lib.TMSetup(session), setup);
    }
    ASSERT_EQ(this->sim("fault none"), 0);
    EXPECT_EQ(lib.TMSetup(lib.TMExtendedStartSession(0, sim, nullptr)), 1);
    EXPECT_EQ(lib.TMSetup(lib.TMExtendedStartSession(3, sim, nullptr)), 3)
        << "no adapter on port 3";
}

TEST_F(Driver, TabletLeavingInTheMiddleOfARead) {
    const auto before = dump("demo");
    ASSERT_EQ(sim("fault remove-after=100"), 0);
    const int32_t session = openSession();
    const auto image = readTablet(session);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 100, before.begin()));
    for (size_t i = 100; i < image.size(); ++i)
        ASSERT_EQ(image[i], 0xFF) << i;
    // a new search: the one that found the tablet would end after it anyway
    std::vector<uint8_t> state(tmex::kStateBufferSize, 0);
    EXPECT_EQ(lib.TMNext(session, state.data()), 0) << "the tablet is off the adapter";
    ASSERT_EQ(sim("put demo"), 0);
    EXPECT_EQ(readTablet(session)[300], before[300]) << "the fault acted once";
}

TEST_F(Driver, FlippedBitsInWhatIsRead) {
    const auto before = dump("demo");
    ASSERT_EQ(sim("fault flip-bits=3"), 0);
    const int32_t session = openSession();
    const auto image = readTablet(session);
    int flipped = 0;
    for (size_t i = 0; i < 512; ++i)
        flipped += __builtin_popcount(image[i] ^ before[i]);
    EXPECT_EQ(flipped, 3);
    const auto clean = readTablet(session);
    EXPECT_TRUE(std::equal(clean.begin(), clean.begin() + 512, before.begin()));
}

TEST_F(Driver, ReadPacketIsNotSupported) {
    ASSERT_EQ(sim("new p"), 0);
    // page 1: length 3, "abc", inverted CRC-16 seeded with the page number
    std::vector<uint8_t> memory(512, 0);
    uint8_t* page = memory.data() + 32;
    page[0] = 3, page[1] = 'a', page[2] = 'b', page[3] = 'c';
    const uint16_t crc = static_cast<uint16_t>(~onewire::Crc::crc16(page, 4, 1));
    page[4] = static_cast<uint8_t>(crc), page[5] = static_cast<uint8_t>(crc >> 8);
    const std::string file = (dir_ / "p.bin").string();
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<char*>(memory.data()), 512);
    ASSERT_EQ(sim("load p " + file), 0);
    ASSERT_EQ(sim("put p"), 0);
    const int32_t session = openSession();
    std::vector<uint8_t> state(tmex::kStateBufferSize, 0);
    ASSERT_EQ(lib.TMNext(session, state.data()), 1);
    uint8_t out[32] = {};
    // the program looks the name up but reads its tablets byte by byte
    EXPECT_EQ(lib.TMReadPacket(session, state.data(), 1, out, 29), -13);
    EXPECT_EQ(lib.TMReadPacket(session, state.data(), 2, out, 29), -13);
}

TEST_F(Driver, SearchTakesBusTimeUnlessTimingIsOff) {
    ASSERT_EQ(sim("remove"), 0);
    const int32_t session = openSession();
    std::vector<uint8_t> state(tmex::kStateBufferSize, 0);
    setenv("ONEWIRE_SIM_TIMING", "on", 1);
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i)
        lib.TMNext(session, state.data());
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(60)) << "five searches of about 13 ms each";
}

// Sessions opened and used on two threads at once: each call is atomic on the
// bus (ThreadSanitizer watches this one), and each search finds the tablet.
TEST_F(Driver, SessionsOnTwoThreads) {
    auto searcher = [&](int& found) {
        const int32_t session = lib.TMExtendedStartSession(0, kSimPortType, nullptr);
        lib.TMSetup(session);
        std::vector<uint8_t> state(tmex::kStateBufferSize, 0);
        for (int round = 0; round < 50; ++round) {
            std::fill(state.begin(), state.end(), 0);
            std::array<int16_t, 8> rom{};
            if (lib.TMNext(session, state.data()) == 1 &&
                lib.TMRom(session, state.data(), rom.data()) == 1 && rom[0] == 4)
                ++found;
            lib.TMTouchByte(session, 0xFF);
        }
    };
    int a = 0, b = 0;
    std::thread ta(searcher, std::ref(a)), tb(searcher, std::ref(b));
    ta.join();
    tb.join();
    EXPECT_EQ(a, 50);
    EXPECT_EQ(b, 50);
}

} // namespace

namespace {

// How many descriptors of this process are open on `device`.
int openOn(const std::string& device) {
    int n = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ec)) {
        std::error_code ec2;
        if (std::filesystem::read_symlink(entry.path(), ec2) == device)
            ++n;
    }
    return n;
}

TEST_F(Driver, ASerialAdapterReadsWhatTheSimulatedOneReads) {
    onewiresim::SimMaster wire{onewiresim::SimAdapter(dir_)};
    EmulatedSerialAdapter adapter(wire);
    ASSERT_TRUE(adapter.ok());
    const auto onSim = readTablet(openSession());
    setenv("ONEWIRE_PORT", ("serial:" + adapter.device()).c_str(), 1);
    int16_t port = -1, type = -1;
    ASSERT_EQ(lib.TMReadDefaultPort(&port, &type), 1);
    EXPECT_EQ(port, 0);
    EXPECT_EQ(type, 5);
    const int32_t session = openSession();
    const auto onSerial = readTablet(session);
    EXPECT_EQ(withoutClock(onSerial), withoutClock(onSim));
    EXPECT_EQ(withoutClock(onSerial), withoutClock(dump("demo"))) << "the tablet file itself";
    EXPECT_GT(adapter.withEmulator([](Ds2480bEmulator& e) { return e.searches; }), 0)
        << "the search went through the accelerator";

    // and what the image file made by the tests' own script holds, byte for byte
    const std::string file = std::string(TEST_DATA_DIR) + "/garage-image-512.bin";
    std::ifstream in(file, std::ios::binary);
    const std::vector<uint8_t> expected{std::istreambuf_iterator<char>(in), {}};
    ASSERT_EQ(expected.size(), 512u) << file;
    ASSERT_EQ(sim("new golden"), 0);
    ASSERT_EQ(sim("load golden " + file), 0);
    ASSERT_EQ(sim("put golden"), 0);
    const auto golden = readTablet(session);
    EXPECT_EQ(std::vector<uint8_t>(golden.begin(), golden.begin() + 512), expected);
    EXPECT_EQ(lib.TMEndSession(session), 1);
}

TEST_F(Driver, TheLastSessionToEndReleasesTheAdapter) {
    std::string error;
    ASSERT_TRUE(onewiresim::DemoTablet::layOnNewFolder(onewiresim::SimAdapter(dir_), error))
        << error;
    onewiresim::SimMaster wire{onewiresim::SimAdapter(dir_)};
    EmulatedSerialAdapter adapter(wire);
    setenv("ONEWIRE_PORT", ("serial:" + adapter.device()).c_str(), 1);
    const int before = openOn(adapter.device());
    const int32_t a = openSession();
    const int32_t b = openSession();
    EXPECT_EQ(openOn(adapter.device()), before + 1) << "two sessions share one adapter";
    EXPECT_EQ(lib.TMEndSession(a), 1);
    EXPECT_EQ(lib.TMTouchReset(b), 1);
    EXPECT_EQ(openOn(adapter.device()), before + 1);
    EXPECT_EQ(lib.TMEndSession(b), 1);
    EXPECT_EQ(openOn(adapter.device()), before) << "the device is free for another program";
    EXPECT_EQ(lib.TMTouchReset(b), -200);
}

TEST_F(Driver, SetupFailsWhenTheAdapterDoesNotAnswer) {
    onewiresim::SimMaster wire{onewiresim::SimAdapter(dir_)};
    EmulatedSerialAdapter silent(wire, true);
    const std::string file = (dir_ / "plain-file").string();
    std::ofstream(file) << "x";
    struct Row {
        std::string port;
        std::string simDir;
        int16_t type;
    } rows[] = {
        {"serial:" + silent.device(), dir_.string(), 5},
        {"serial:/dev/null", dir_.string(), 5},
        {"serial:" + (dir_ / "ttyGONE").string(), dir_.string(), 5},
        {"usb:9", dir_.string(), 6},
        {"sim", file, kSimPortType},
        {"sim", file + "/below", kSimPortType},
    };
    for (const Row& row : rows) {
        setenv("ONEWIRE_PORT", row.port.c_str(), 1);
        setenv("ONEWIRE_SIM_DIR", row.simDir.c_str(), 1);
        int16_t port = -1, type = -1;
        ASSERT_EQ(lib.TMReadDefaultPort(&port, &type), 1) << row.port;
        EXPECT_EQ(type, row.type) << row.port;
        const int32_t session = lib.TMExtendedStartSession(port, type, nullptr);
        ASSERT_GT(session, 0);
        EXPECT_EQ(lib.TMSetup(session), 0) << row.port << " " << row.simDir;
        EXPECT_LT(lib.TMTouchReset(session), 0) << row.port;
        EXPECT_EQ(lib.TMEndSession(session), 1);
    }
}

// ONEWIRE_PORT wins; else the configuration file; else auto. A setting that
// names no port gives no default rather than some other port.
TEST_F(Driver, TheDefaultPortComesFromEnvironmentThenConfiguration) {
    const auto config = dir_ / "config" / "velmora" / "onewire-port";
    std::filesystem::create_directories(config.parent_path());
    struct Row {
        const char* env;
        const char* file;
        int16_t result;
        int16_t type;
        int16_t port;
    } rows[] = {
        {"sim", "serial:/dev/ttyUSB7\n", 1, kSimPortType, 0},
        {nullptr, "serial:/dev/ttyUSB7\n", 1, 5, 0},
        {nullptr, "usb:2", 1, 6, 2},
        {nullptr, "sim\n", 1, kSimPortType, 0},
        {"usb", "\x01\x02garbage\xff", 1, 6, 0},
        {nullptr, "\x01\x02garbage\xff", -2, 0, 0},
        {nullptr, "usb:99", -2, 0, 0},
        {nullptr, "", -2, 0, 0},
        {"nonsense", "sim", -2, 0, 0},
    };
    for (const Row& row : rows) {
        if (row.env)
            setenv("ONEWIRE_PORT", row.env, 1);
        else
            unsetenv("ONEWIRE_PORT");
        std::ofstream(config, std::ios::binary) << row.file;
        int16_t port = -1, type = -1;
        EXPECT_EQ(lib.TMReadDefaultPort(&port, &type), row.result) << row.file;
        EXPECT_EQ(type, row.type) << row.file;
        EXPECT_EQ(port, row.port) << row.file;
    }
}

} // namespace
