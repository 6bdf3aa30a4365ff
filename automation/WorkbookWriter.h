#pragma once

#include "Worksheet.h"

#include <QString>
#include <QTemporaryDir>

#include <deque>
#include <memory>

struct lxw_workbook;

// Writes a workbook as an .xlsx file (libxlsxwriter) while it is filled: the
// sheets hand their rows over as the client moves down, and libxlsxwriter's
// constant-memory mode puts each row into its temporary file at once, so no
// copy of a sheet is held anywhere. The file is made in a private folder and
// moved to its name when it is finished, since that name is chosen only then.
class WorkbookWriter {
public:
    // The format date-time cells are shown in.
    static constexpr const char* kDateTimeFormat = "dd.mm.yyyy hh:mm:ss";

    // A writer with no sheet yet; nullptr and why when no file can be begun.
    static std::unique_ptr<WorkbookWriter> begin(QString& why);
    // An unfinished file is thrown away.
    ~WorkbookWriter();
    WorkbookWriter(const WorkbookWriter&) = delete;
    WorkbookWriter& operator=(const WorkbookWriter&) = delete;

    // The sink of a new sheet, or nullptr with why when the sheet is refused.
    Worksheet::Sink* addSheet(const QString& name, QString& why);
    // Writes the file to `path`, replacing whatever is there; an empty text, or
    // why it failed. Nothing can be added afterwards.
    QString finish(const QString& path);

private:
    class SheetSink;
    class Formats;

    WorkbookWriter();

    QTemporaryDir folder_;
    QString file_;
    lxw_workbook* workbook_ = nullptr;
    std::unique_ptr<Formats> formats_;
    std::deque<SheetSink> sheets_;
    int firstError_ = 0; // lxw_error of the first cell or width refused
};
