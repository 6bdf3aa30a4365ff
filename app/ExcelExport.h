#pragma once

#include <QString>

class AutomationRegistry;
class EventCollection;

// The event list into a new workbook of the spreadsheet application, by
// late-bound calls: the application stays open and visible with the workbook
// unsaved, for the user to look at, print or save.
class ExcelExport {
public:
    // Stops at the first call that fails and throws its AutomationError; what was
    // written by then stays in the sheet.
    static void run(const AutomationRegistry& automation, const QString& title,
                    const EventCollection* events);
};
