#pragma once

#include "AutomationObject.h"

#include <QDateTime>
#include <QString>

#include <functional>

class AutomationRegistry;

// The built-in "Excel.Application" (excel::kApplication): a spreadsheet application reduced to what
// filling a sheet needs (application, workbooks, workbook, worksheets, sheet,
// columns, cells, range). It reads the values it is given as an application in
// a Russian locale would. When the client releases the application while it is
// visible, each workbook is written to a new .xlsx file in the documents folder
// and handed to the desktop to open.
class SpreadsheetServer {
public:
    struct Settings {
        // Empty: the user's documents folder.
        QString documentsFolder;
        // Opens a written workbook; false when there is nothing to open it with.
        // Empty: the desktop's application for the file (DesktopOpener).
        std::function<bool(const QString& path)> opener;
        // Dates the file names. Empty: the computer's local time.
        std::function<QDateTime()> now;
    };

    static AutomationObjectPtr createApplication(Settings settings);
    static void registerIn(AutomationRegistry& registry, Settings settings);
};
