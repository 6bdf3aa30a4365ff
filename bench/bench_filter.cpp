// What one keystroke in the filter bar costs over a list of 1 048 576 events:
// the list rows worked out again by the view (the filter over every event, in
// list order or along a sort), and the same through the table's model, whose
// reset the table redraws from. Also a click on a sortable header, and the CSV
// export of the whole list. Each figure is the best and the median of its runs.
//   bench_filter [--events N] [--runs N]
#include "CsvWriter.h"
#include "EventGrid.h"
#include "EventTableModel.h"
#include "EventView.h"
#include "ParserFactory.h"

#include <QApplication>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Random records of the main and the garage variant, half each: the texts a
// long import shows.
EventCollection bigList(int count) {
    std::mt19937 rng(1234);
    EventCollection list;
    list.reserve(static_cast<size_t>(count));
    for (Variant variant : {Variant::Main, Variant::Garage}) {
        const int wanted = variant == Variant::Main ? count / 2 : count - list.count();
        int added = 0;
        while (added < wanted) {
            std::vector<uint8_t> bytes(4 * 65536);
            for (auto& b : bytes)
                b = static_cast<uint8_t>(rng());
            double base = 0.0;
            const auto part =
                makeParser(variant, datetime::fixedClock(45292.5))->decodeEvents(bytes, base);
            for (EventInfo& e : *part) {
                if (added == wanted)
                    break;
                e.number = list.count() + 1;
                list.append(std::move(e));
                ++added;
            }
        }
    }
    return list;
}

void report(const char* what, int runs, const std::function<int()>& step) {
    std::vector<double> ms;
    int shown = 0;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        shown = step();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-52s best %8.1f ms  median %8.1f ms  (%d shown)\n", what, ms.front(),
                ms[ms.size() / 2], shown);
}

EventFilter searching(const char* text) {
    EventFilter f;
    f.setSearchText(text);
    return f;
}

} // namespace

int main(int argc, char** argv) {
    int count = 1048576;
    int runs = 7;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--events") == 0)
            count = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::atoi(argv[i + 1]);
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const EventCollection list = bigList(count);
    std::printf("%d events\n", list.count());

    EventView view;
    // A list shown (after a read-out, an open, a correction) has its distinct
    // texts looked up once.
    report("view, list shown", runs, [&] {
        view.setList(&list);
        return view.shownCount();
    });
    report("every event searched by itself (EventFilter::matches)", runs, [&] {
        const EventFilter f = searching("зона 2");
        int shown = 0;
        for (const EventInfo& e : list)
            shown += f.matches(e) ? 1 : 0;
        return shown;
    });
    // The keystrokes of "зона 2", each a filter of its own over the whole list.
    for (const char* typed : {"з", "зо", "зона 2", "ПОЖАР", "тушение", "Unknown"}) {
        const std::string what = std::string("view, search \"") + typed + "\"";
        report(what.c_str(), runs, [&] {
            view.setFilter(searching(typed));
            return view.shownCount();
        });
    }
    report("view, one category off", runs, [&] {
        EventFilter f;
        f.setCategories(std::bitset<6>().set().reset(2));
        view.setFilter(f);
        return view.shownCount();
    });
    report("view, every criterion", runs, [&] {
        EventFilter f = searching("зона");
        f.setCategories(std::bitset<6>().set().reset(0));
        f.setFrom(0.0);
        f.setTo(50000.0);
        f.setHideErased(true);
        view.setFilter(f);
        return view.shownCount();
    });
    view.setFilter(EventFilter());
    report("view, sort by information (header click)", runs, [&] {
        view.setSort(EventView::SortKey::Info, false);
        return view.shownCount();
    });
    report("view, sort by time (header click)", runs, [&] {
        view.setSort(EventView::SortKey::Time, true);
        return view.shownCount();
    });
    report("view sorted by time, search \"зона 2\"", runs, [&] {
        view.setFilter(searching("зона 2"));
        return view.shownCount();
    });

    // The whole keystroke as the window makes it: the model's reset, the table
    // laid out and drawn again.
    EventTableModel model;
    QTableView table;
    EventGrid grid(table, model);
    grid.setupHeader();
    grid.fill(&list);
    table.resize(900, 600);
    table.show();
    QApplication::processEvents();
    for (const char* typed : {"з", "зона 2", "тушение", ""}) {
        const std::string what = std::string("table, search \"") + typed + "\" (filter, redraw)";
        report(what.c_str(), runs, [&] {
            model.setFilter(searching(typed));
            table.viewport()->repaint();
            QApplication::processEvents();
            return model.rowCount();
        });
    }

    char folder[] = "/tmp/bench-filter-XXXXXX";
    if (mkdtemp(folder)) {
        const std::string path = std::string(folder) + "/events.csv";
        report("CSV export of the whole list", std::min(runs, 3), [&] {
            return CsvWriter::save(path, "Номер прибора: 7", &list) == FileStatus::Ok ? list.count()
                                                                                      : -1;
        });
        std::remove(path.c_str());
        rmdir(folder);
    }
    return 0;
}
