// What big lists cost the libraries: a garage dump of N records imported
// (decoded), its list saved as a log file, that file opened, and the list
// exported to a workbook through the late-bound calls; beside the export, the
// same cells written by libxlsxwriter directly. Each step and size runs in a
// process of its own, so its peak memory is its own.
//   bench_lists [import|import-floor|save|open|export|xlsx|xlsx-stream]... [--sizes N,N,...]
// Default sizes: 65536, 262144, 1048576, 2097152 (the exports stop at 1048574,
// a sheet's last row).
#include "AtomicFile.h"
#include "AutomationRegistry.h"
#include "DateTime.h"
#include "ExcelExport.h"
#include "InputFile.h"
#include "LogFileReader.h"
#include "LogFileWriter.h"
#include "ParserFactory.h"
#include "SpreadsheetServer.h"

#include <QDir>
#include <QString>
#include <xlsxwriter.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSheetRows = 1048576;
constexpr int kRowsBeforeEvents = 2;

std::vector<uint8_t> garageDump(size_t records) {
    std::mt19937 rng(1234);
    std::vector<uint8_t> bytes(4 * records);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng());
    return bytes;
}

std::unique_ptr<EventCollection> importList(size_t records) {
    const auto dump = garageDump(records);
    double base = 0.0;
    return makeParser(Variant::Garage, datetime::fixedClock(45292.5))->decodeEvents(dump, base);
}

// The garage decoder's allocation floor: a list of as many events as the
// import gives, each with three shared texts, a raw record and a time, made
// without decoding anything.
std::unique_ptr<EventCollection> floorList(size_t records) {
    const auto dump = garageDump(records);
    const EventText type("Тип"), info("Информация о событии"), note("Примечание");
    auto list = std::make_unique<EventCollection>();
    list->reserve(records);
    for (size_t i = 0; i < records; ++i) {
        EventInfo e;
        e.number = static_cast<int32_t>(i + 1);
        e.position = static_cast<int32_t>(i);
        e.typeText = type;
        e.infoText = info;
        e.noteText = note;
        e.time = 45292.5 + static_cast<double>(i) / 86400.0;
        e.raw =
            std::array<uint8_t, 4>{dump[4 * i], dump[4 * i + 1], dump[4 * i + 2], dump[4 * i + 3]};
        e.codeByte = dump[4 * i];
        list->append(std::move(e));
    }
    return list;
}

long peakKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The cells the export writes, straight into libxlsxwriter: by default with
// the whole sheet and a shared string table in memory, or in its
// constant-memory mode (rows written as they come, texts inline), as the
// built-in server writes.
bool writeDirectly(const std::string& path, const QString& title, const EventCollection& events,
                   bool constantMemory) {
    lxw_workbook_options options{};
    options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* wb = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Лист1");
    lxw_format* centre = workbook_add_format(wb);
    format_set_align(centre, LXW_ALIGN_CENTER);
    lxw_format* dateTime = workbook_add_format(wb);
    format_set_num_format(dateTime, "dd.mm.yyyy hh:mm:ss");
    const double widths[] = {6.14, 16.29, 43.86};
    for (lxw_col_t c = 0; c < 3; ++c)
        worksheet_set_column(ws, c, c, widths[c], nullptr);
    worksheet_write_string(ws, 0, 0, title.toUtf8().constData(), nullptr);
    const char* header[] = {"№", "Время", "Информация", "Примечание"};
    for (lxw_col_t c = 0; c < 4; ++c)
        worksheet_write_string(ws, 1, c, header[c], c < 3 ? centre : nullptr);
    lxw_row_t row = kRowsBeforeEvents;
    for (const EventInfo& e : events) {
        worksheet_write_number(ws, row, 0, e.number, nullptr);
        if (const auto p = datetime::decode(e.time)) {
            lxw_datetime dt{p->year, p->month,  p->day,
                            p->hour, p->minute, static_cast<double>(p->second)};
            worksheet_write_datetime(ws, row, 1, &dt, dateTime);
        }
        if (!e.infoText.empty())
            worksheet_write_string(ws, row, 2, e.infoText.c_str(), nullptr);
        if (!e.noteText.empty())
            worksheet_write_string(ws, row, 3, e.noteText.c_str(), nullptr);
        ++row;
    }
    return workbook_close(wb) == LXW_NO_ERROR;
}

int measure(const std::string& step, size_t records, const std::string& folder) {
    const std::string log = folder + "/list.log";
    std::unique_ptr<EventCollection> list;
    if (step == "save")
        list = importList(records);
    if (step == "export" || step == "xlsx" || step == "xlsx-stream")
        list = importList(std::min<size_t>(records, kSheetRows - kRowsBeforeEvents));
    const long before = peakKb();
    const double cpu = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    bool ok = true;
    size_t count = 0;
    if (step == "import") {
        list = importList(records);
        count = static_cast<size_t>(list->count());
    } else if (step == "import-floor") {
        list = floorList(records);
        count = static_cast<size_t>(list->count());
    } else if (step == "save") {
        ok = AtomicFile::save(log, [&](ByteSink& sink) {
                 return LogFileWriter::write(sink, *list);
             }) == AtomicFile::Status::Saved;
        count = static_cast<size_t>(list->count());
    } else if (step == "open") {
        InputFile file;
        ok = file.open(log, LogFileReader::kMaxFileSize) == InputFile::Status::Opened;
        EventCollection events;
        ok = ok && LogFileReader::read(file, events) == LogFileReader::End::Clean;
        count = static_cast<size_t>(events.count());
    } else if (step == "export") {
        AutomationRegistry registry;
        SpreadsheetServer::Settings settings;
        settings.documentsFolder = QString::fromStdString(folder + "/docs");
        settings.opener = [](const QString&) { return true; };
        SpreadsheetServer::registerIn(registry, settings);
        ExcelExport::run(registry, QStringLiteral("Номер устройства: 7"), list.get());
        count = static_cast<size_t>(list->count());
        QDir(settings.documentsFolder).removeRecursively();
    } else if (step == "xlsx" || step == "xlsx-stream") {
        ok = writeDirectly(folder + "/direct.xlsx", QStringLiteral("Номер устройства: 7"), *list,
                           step == "xlsx-stream");
        count = static_cast<size_t>(list->count());
        std::remove((folder + "/direct.xlsx").c_str());
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuUsed = cpuSeconds() - cpu;
    std::printf("%-6s %8zu events  %7.3f s (CPU %7.3f s)  peak %5ld MB (before it: %ld MB)\n",
                step.c_str(), count, seconds, cpuUsed, peakKb() / 1024, before / 1024);
    std::fflush(stdout);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> steps;
    std::vector<size_t> sizes = {65536, 262144, 1048576, 2097152};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--sizes" && i + 1 < argc) {
            sizes.clear();
            for (const char* p = argv[++i]; *p;) {
                char* end = nullptr;
                sizes.push_back(std::strtoull(p, &end, 10));
                p = *end ? end + 1 : end;
            }
        } else {
            steps.push_back(arg);
        }
    }
    if (steps.empty())
        steps = {"import", "import-floor", "save", "open", "export", "xlsx", "xlsx-stream"};
    char folder[] = "/tmp/velmora-lists-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    int failures = 0;
    for (const size_t size : sizes) {
        for (const std::string& step : steps) {
            // opening needs the file a save of this size writes
            if (step == "open") {
                const pid_t saver = fork();
                if (saver == 0) {
                    const auto list = importList(size);
                    _exit(AtomicFile::save(std::string(folder) + "/list.log",
                                           [&](ByteSink& sink) {
                                               return LogFileWriter::write(sink, *list);
                                           }) == AtomicFile::Status::Saved
                              ? 0
                              : 1);
                }
                int status = 0;
                waitpid(saver, &status, 0);
            }
            std::fflush(stdout);
            const pid_t child = fork();
            if (child == 0)
                _exit(measure(step, size, folder));
            int status = 0;
            waitpid(child, &status, 0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                std::fprintf(stderr, "%s %zu failed\n", step.c_str(), size);
                ++failures;
            }
        }
    }
    std::remove((std::string(folder) + "/list.log").c_str());
    rmdir(folder);
    return failures == 0 ? 0 : 1;
}
