// What the program costs while it waits for a tablet: the main window with
// "Считать данные" chosen, an empty simulated adapter at the driver's real bus
// timing, the whole process measured over a while. Beside it, the floor of
// such a wait: one look for the adapter file and one sleep per search, the
// least a search of a folder can cost, measured for as long just before.
//   waiting_cpu [SECONDS]   (ONEWIRE_SIM_DIR names the adapter folder to use)
#include "AutoDialogs.h"
#include "TForm1.h"
#include "TabletDataLoader.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

namespace {
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Searches as often as the simulated bus allows (13 ms each), each one
// opening a file that is not there.
void measureFloor(int seconds) {
    const std::string missing = "/nonexistent-velmora/adapter";
    const double cpu0 = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    auto deadline = start;
    while (std::chrono::steady_clock::now() < end) {
        const int fd = ::open(missing.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
        deadline += std::chrono::microseconds(13000);
        std::this_thread::sleep_until(deadline);
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("floor (an open and a sleep per search): %.2f %% of one core over %.1f s\n",
                100.0 * (cpuSeconds() - cpu0) / elapsed, elapsed);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    unsetenv("ONEWIRE_SIM_TIMING");
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    measureFloor(seconds);
    QApplication app(argc, argv);
    AutoDialogs dialogs;
    const auto started = TForm1::startUp(dialogs);
    if (!started)
        return 1;
    TForm1& form = *started;
    form.show();
    form.MenuStartClick();
    double cpu0 = 0;
    QElapsedTimer wall;
    QTimer::singleShot(1000, [&] { // past the start
        cpu0 = cpuSeconds();
        wall.start();
    });
    QTimer::singleShot(1000 + seconds * 1000, [&] {
        const double cpu = cpuSeconds() - cpu0;
        const double elapsed = wall.elapsed() / 1000.0;
        const bool searching = form.reader() && form.reader()->isRunning();
        std::printf("waiting for a tablet: %.2f %% of one core over %.1f s (%s)\n",
                    100.0 * cpu / elapsed, elapsed, searching ? "searching" : "NOT searching");
        form.close();
        app.exit(searching ? 0 : 1);
    });
    return app.exec();
}
