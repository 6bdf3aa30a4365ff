#pragma once

#include "EventInfo.h"
#include "ReportHeader.h"

#include <QString>

#include <functional>
#include <vector>

class EventCollection;
class QPagedPaintDevice;

// The service report handed to the customer: A4 pages, each with the header
// and page "N of M", the events in a table of number, time, information and
// note (a time corrected by hand marked), and the engineer's and the
// customer's signatures after the last event. It paints on any paged device:
// a PDF writer, or the printer of a print or preview dialog.
class ServiceReport {
public:
    using Rows = std::vector<const EventInfo*>;
    // Told the pages done so far and the page count, before the first page and
    // after each; false stops the report.
    using Progress = std::function<bool(int done, int total)>;
    enum class Status { Done, Cancelled, CannotWrite };

    // The rows stay owned by their list, which outlives the report.
    ServiceReport(ReportHeader header, Rows rows);

    // Every event of a list, in list order.
    static Rows allRows(const EventCollection& events);

    // A4 portrait with the report's margins; a print dialog may change them after.
    static void setUpPage(QPagedPaintDevice& device);

    // Paints every page onto `device`, whose page size is set. Cancelled when
    // `progress` stopped it; the pages painted by then stay on the device.
    Status paint(QPagedPaintDevice& device, const Progress& progress = {}) const;

    // A PDF file, written beside `path` and put in its place only when complete:
    // a cancelled or failed report leaves no file and keeps an older one.
    Status writePdf(const QString& path, const Progress& progress = {}) const;

private:
    ReportHeader header_;
    Rows rows_;
};
