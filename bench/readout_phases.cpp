// A read-out's phases on the simulated adapter at its bus timing, beside the
// bus time they need at least: the search that finds the tablet, the memory
// read, the clock read that follows it and the hand-over of the result to the
// user-interface thread. The medians of a few read-outs.
//   readout_phases [ROUNDS]
#include "DemoTablet.h"
#include "SimAdapter.h"
#include "SimMaster.h"
#include "TabletDataLoader.h"
#include "TabletDataLoaderHelper.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using onewiresim::SimMaster;

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}
double ms(std::chrono::microseconds d) {
    return static_cast<double>(d.count()) / 1000.0;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// The bus time of each phase: a search pass that finds a device (reset,
// Search ROM, three slots for each of the 64 bits, a search's least), the
// memory read command and 544 bytes, and one clock attempt (reset, Match ROM
// with the ROM code, the read command and five bytes).
const double kSearchNominal =
    std::max(ms(SimMaster::kResetTime + SimMaster::kByteTime + 192 * SimMaster::kSlotTime),
             ms(SimMaster::kSearchTime));
const double kMemoryNominal = ms((3 + 544) * SimMaster::kByteTime);
const double kClockNominal = ms(SimMaster::kResetTime + (9 + 3 + 5) * SimMaster::kByteTime);

struct Phases {
    std::vector<double> search, memory, clock, whole, handOver;
};

bool measureHelper(Phases& p) {
    TabletDataLoaderHelper helper;
    TabletDataLoaderHelper::Session session;
    if (helper.OpenSession(session) != BindingStatus::Ok)
        return false;
    std::vector<uint8_t> state(tmex::kStateBufferSize, 0);
    auto t = Clock::now();
    while (helper.TMNext(session.handle, state.data()) != 1) {
    }
    p.search.push_back(ms(Clock::now() - t));
    std::array<int16_t, 8> words{};
    helper.TMRom(session.handle, state.data(), words.data());
    std::array<uint8_t, 8> rom{};
    std::copy(words.begin(), words.end(), rom.begin());
    TabletImage image;
    t = Clock::now();
    if (helper.ReadMemory(session.handle, 0, image.bytes()) != BindingStatus::Ok)
        return false;
    p.memory.push_back(ms(Clock::now() - t));
    std::array<uint8_t, 5> clock = image.clockBytes();
    t = Clock::now();
    const BindingStatus read = helper.ReadClock(session.handle, rom, clock);
    p.clock.push_back(ms(Clock::now() - t));
    helper.EndSession(session);
    return read == BindingStatus::Ok;
}

// The reader thread as the program runs it, its result posted as a value to
// this thread.
bool measureReader(QCoreApplication& app, Phases& p) {
    Clock::time_point invoked;
    Clock::time_point arrived;
    QObject receiver;
    std::unique_ptr<TabletDataLoader> reader;
    auto notifier = std::make_shared<ThreadExecutionInfo>([&] {
        const TabletReadout readout = reader->readout();
        invoked = Clock::now();
        QMetaObject::invokeMethod(
            &receiver,
            [&, readout] {
                arrived = Clock::now();
                if (readout.status == BindingStatus::Ok)
                    app.quit();
                else
                    app.exit(1);
            },
            Qt::QueuedConnection);
    });
    reader = std::make_unique<TabletDataLoader>(notifier,
                                                TabletDataLoaderHelper::defaultLibraryPath(), 1);
    if (reader->openSession() != BindingStatus::Ok)
        return false;
    const auto start = Clock::now();
    reader->resume();
    const int status = app.exec();
    reader->wait();
    p.whole.push_back(ms(arrived - start));
    p.handOver.push_back(ms(arrived - invoked));
    return status == 0;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    char folder[] = "/tmp/velmora-phases-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    setenv("ONEWIRE_SIM_DIR", folder, 1);
    setenv("ONEWIRE_PORT", "sim", 1);
    setenv("XDG_CONFIG_HOME", (std::string(folder) + "/config").c_str(), 1);
    unsetenv("ONEWIRE_SIM_TIMING");
    QCoreApplication app(argc, argv);
    std::string error;
    if (!onewiresim::DemoTablet::layOnNewFolder(onewiresim::SimAdapter(folder), error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    Phases p;
    bool ok = true;
    for (int i = 0; i < rounds && ok; ++i)
        ok = measureHelper(p) && measureReader(app, p);
    std::filesystem::remove_all(folder);
    if (!ok) {
        std::fprintf(stderr, "a read-out failed\n");
        return 1;
    }
    std::printf("median of %d read-outs   measured   bus time\n", rounds);
    std::printf("search                 %8.1f ms  %7.1f ms\n", median(p.search), kSearchNominal);
    std::printf("memory read            %8.1f ms  %7.1f ms\n", median(p.memory), kMemoryNominal);
    std::printf("clock read             %8.1f ms  %7.1f ms (one attempt)\n", median(p.clock),
                kClockNominal);
    std::printf("hand-over              %8.3f ms\n", median(p.handOver));
    std::printf("whole read-out         %8.1f ms  %7.1f ms\n", median(p.whole),
                kSearchNominal + kMemoryNominal + kClockNominal);
    return 0;
}
