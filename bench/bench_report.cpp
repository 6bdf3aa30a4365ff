// The service report as a PDF: the 124 events of one tablet (a main-variant
// controller's history, decoded) and a list of 100 000 events.
//   bench_report [--pdf FILE] [benchmark options]   FILE: the 124-event report, kept for a look
#include "Controller.h"
#include "EventLog.h"
#include "ParserFactory.h"
#include "ServiceReport.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr double kNow = 45292.5;

// One tablet's events, as a read-out shows them; the third segment corrected.
EventLog tabletLog() {
    onewiresim::ControllerOptions options;
    options.variant = Variant::Main;
    options.seed = 20240101;
    const onewiresim::EventMemory memory = onewiresim::buildEventMemory(options);
    auto decoder = makeParser(Variant::Main, datetime::fixedClock(kNow));
    // the newest event an hour before the read-out
    double base = kNow - 1.0 / 24 - datetime::kUnixEpoch -
                  static_cast<double>(memory.counterNow) / datetime::kSecondsPerDay;
    auto events = decoder->decodeEvents(memory.area, base);
    EventLog log(std::move(*events), std::move(decoder), EventLog::Origin::ReadOut);
    log.correctTime(20, log.events().at(20).time + 1.0 / 24);
    log.setSource({.variant = Variant::Main,
                   .deviceNumber = 7,
                   .serial = std::array<uint8_t, 6>{0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x00},
                   .tabletDate = std::array{2024, 1, 1},
                   .readOutTime = kNow});
    return log;
}

// `count` events cycled from the tablet's.
EventCollection manyEvents(const EventLog& log, int count) {
    EventCollection events;
    events.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        EventInfo e = log.events().at(i % log.events().count());
        e.number = i + 1;
        events.append(std::move(e));
    }
    return events;
}

void writeReport(benchmark::State& state, const EventLog& log, const EventCollection& events) {
    QTemporaryDir dir;
    const ServiceReport report(
        ReportHeader::forLog(log, events.count(), QStringLiteral(VELMORA_VERSION)),
        ServiceReport::allRows(events));
    int pages = 0;
    for (auto _ : state) {
        if (report.writePdf(dir.filePath(QStringLiteral("report.pdf")), [&](int, int total) {
                pages = total;
                return true;
            }) != ServiceReport::Status::Done)
            state.SkipWithError("the report was not written");
    }
    state.counters["pages"] = pages;
    state.SetItemsProcessed(state.iterations() * events.count());
}

void BM_TabletReport(benchmark::State& state) {
    const EventLog log = tabletLog();
    writeReport(state, log, log.events());
}
BENCHMARK(BM_TabletReport)->Unit(benchmark::kMillisecond);

void BM_LongReport(benchmark::State& state) {
    const EventLog log = tabletLog();
    writeReport(state, log, manyEvents(log, 100000));
}
BENCHMARK(BM_LongReport)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "--pdf") == 0) {
        const EventLog log = tabletLog();
        const ServiceReport report(
            ReportHeader::forLog(log, log.events().count(), QStringLiteral(VELMORA_VERSION)),
            ServiceReport::allRows(log.events()));
        if (report.writePdf(QString::fromLocal8Bit(argv[2])) != ServiceReport::Status::Done) {
            std::fprintf(stderr, "bench_report: cannot write %s\n", argv[2]);
            return 1;
        }
        argv[2] = argv[0];
        argc -= 2;
        argv += 2;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
