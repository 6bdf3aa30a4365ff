// What the files cost the program, through its main window offscreen: a bin dump
// of 1 048 576 records imported until the table shows it, and a log file of
// 1 048 576 events saved and opened until the table shows it. Each step runs in
// a process of its own, so its peak memory is its own.
//   bench_files [import|save|open]...   (no argument: all three; open saves first)
#include "TForm1.h"
#include "TImportBin.h"
#include "UserDialogs.h"
#include "ui_TForm1.h"
#include "ui_TImportBin.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kRecords = 1u << 20;
constexpr int kGarageItem = 1; // every record kept, Cyrillic texts and notes

// Picks the file it is given and imports it with the garage variant; any
// message is a failure of the run.
class BenchDialogs : public UserDialogs {
public:
    Answer show(const Message& m) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
        failed = true;
        return Answer::Ok;
    }
    int exec(QDialog& dialog) override {
        if (auto* import = qobject_cast<TImportBin*>(&dialog)) {
            import->ui->cbTabletType->setCurrentIndex(kGarageItem);
            import->ui->btnImport->click();
        }
        return dialog.result();
    }
    QString chooseFile(const FileDialog&) override { return file; }
    QString file;
    bool failed = false;
};

long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// CPU time of this process: on a shared machine the wall time says less.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// One step in this process: the window shown, then `step` timed until the
// table has been drawn.
int measure(const std::string& step, const std::string& dump, const std::string& log, int argc,
            char** argv) {
    QApplication app(argc, argv);
    BenchDialogs dialogs;
    AppEnvironment env;
    env.dialogs = &dialogs;
    TForm1 form(env);
    form.createDialogs();
    if (form.closeAtStart())
        return 1;
    form.resize(1000, 700);
    form.show();
    dialogs.file = QString::fromStdString(step == "open" ? log : dump);
    if (step == "save") {
        form.B1Click(); // the list an import of the dump gives, on display
        dialogs.file = QString::fromStdString(log);
    }
    app.processEvents();
    const long before = peakKb();
    const double cpu = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    if (step == "import")
        form.B1Click();
    else if (step == "save")
        form.MenuSaveClick();
    else
        form.MenuOpenClick();
    (void)form.ui->InfoGrid->grab(); // the visible rows drawn
    app.processEvents();
    const double seconds = timer.nsecsElapsed() / 1e9;
    const double cpuUsed = cpuSeconds() - cpu;
    const long peak = peakKb();
    const int rows = form.events() ? form.events()->count() : 0;
    std::printf("%-6s %9d events  %6.3f s (CPU %5.3f s)  peak %4ld MB (before it: %ld MB)\n",
                step.c_str(), rows, seconds, cpuUsed, peak / 1024, before / 1024);
    std::fflush(stdout);
    return dialogs.failed || rows != static_cast<int>(kRecords) ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    char folder[] = "/tmp/velmora-bench-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    const std::string dump = std::string(folder) + "/dump.bin";
    const std::string log = std::string(folder) + "/list.log";
    {
        std::mt19937 rng(1234);
        std::vector<char> bytes(4 * kRecords);
        for (char& b : bytes)
            b = static_cast<char>(rng());
        std::ofstream(dump, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    }
    std::vector<std::string> steps;
    for (int i = 1; i < argc; ++i)
        steps.emplace_back(argv[i]);
    if (steps.empty())
        steps = {"import", "save", "open"};
    // opening needs the file a save writes
    if (std::find(steps.begin(), steps.end(), "open") != steps.end() &&
        std::find(steps.begin(), steps.end(), "save") == steps.end())
        steps.insert(steps.begin(), "save");
    int failures = 0;
    for (const std::string& step : steps) {
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0)
            _exit(measure(step, dump, log, 1, argv));
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "%s failed\n", step.c_str());
            ++failures;
        }
    }
    std::remove(dump.c_str());
    std::remove(log.c_str());
    rmdir(folder);
    return failures == 0 ? 0 : 1;
}
