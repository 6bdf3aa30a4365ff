// How much of a core the reader costs while it waits for a tablet: an empty
// simulated adapter at the driver's real bus timing, measured over a while.
//   waiting_cpu [SECONDS]   (ONEWIRE_SIM_DIR names the adapter folder to use)
#include "TabletDataLoader.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <thread>

namespace {
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    unsetenv("ONEWIRE_SIM_TIMING");
    TabletDataLoader reader(nullptr, TabletDataLoaderHelper::defaultLibraryPath(), 1);
    if (reader.openSession() != TabletDataLoaderHelper::OpenResult::Opened) {
        std::fprintf(stderr, "the driver did not open\n");
        return 1;
    }
    reader.resume();
    std::this_thread::sleep_for(std::chrono::seconds(1)); // past the start
    const double cpu0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = cpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const bool searching = reader.isRunning();
    reader.requestTermination();
    reader.wait();
    std::printf("waiting for a tablet: %.2f %% of one core over %.1f s (%s)\n",
                100.0 * cpu / wall, wall, searching ? "still searching" : "NOT searching");
    return searching ? 0 : 1;
}
