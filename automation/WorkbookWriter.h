#pragma once

#include <QString>

class Workbook;

// Saves a workbook as an .xlsx file (libxlsxwriter).
class WorkbookWriter {
public:
    // The format date-time cells are shown in.
    static constexpr const char* kDateTimeFormat = "dd.mm.yyyy hh:mm:ss";

    // Writes `path`, replacing whatever is there; an empty text, or why it failed.
    static QString write(const Workbook& workbook, const QString& path);
};
