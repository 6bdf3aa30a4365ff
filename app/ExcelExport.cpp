#include "ExcelExport.h"

#include "AutomationRegistry.h"
#include "DateTime.h"
#include "EventCollection.h"
#include "ExcelConstants.h"

#include <functional>

namespace {

// The sheet's columns: header, width in the application's unit (0: its default)
// and the event's text.
struct Column {
    const char* header;
    double width;
    std::function<QString(const EventInfo&)> text;
};
const Column kColumns[] = {
    {"№", 6.14, [](const EventInfo& e) { return QString::number(e.number); }},
    {"Время", 16.29,
     [](const EventInfo& e) { return QString::fromStdString(datetime::format(e.time)); }},
    {"Информация", 43.86, [](const EventInfo& e) { return QString::fromStdString(e.infoText); }},
    {"Примечание", 0.0, [](const EventInfo& e) { return QString::fromStdString(e.noteText); }},
};
constexpr int kTitleRow = 1;
constexpr int kHeaderRow = 2;
constexpr int kFirstEventRow = 3;
const QString kCentredHeader = QStringLiteral("A2:C2");

// Every value goes as a text; the application reads numbers and dates from it.
void setCell(const Dispatch& sheet, int row, int column, const QString& text) {
    Dispatch cell = sheet.get(QStringLiteral("Cells"), {row, column});
    cell.put(QStringLiteral("Value"), text);
    cell.release();
}

} // namespace

void ExcelExport::run(const AutomationRegistry& automation, const QString& title,
                      const EventCollection* events) {
    Dispatch application = automation.create(QString::fromLatin1(excel::kApplication));
    application.put(QStringLiteral("Visible"), true);
    Dispatch workbooks = application.get(QStringLiteral("Workbooks"));
    workbooks.call(QStringLiteral("Add"));
    workbooks.release();
    Dispatch workbook = application.get(QStringLiteral("Workbooks"), {1});
    Dispatch sheet = workbook.get(QStringLiteral("Worksheets"), {1});

    int column = 1;
    for (const Column& c : kColumns) {
        if (c.width > 0.0) {
            Dispatch range = sheet.get(QStringLiteral("Columns"), {column});
            range.put(QStringLiteral("ColumnWidth"), c.width);
            range.release();
        }
        ++column;
    }
    setCell(sheet, kTitleRow, 1, title);
    Dispatch cells = sheet.get(QStringLiteral("Cells"));
    Dispatch header = cells.get(QStringLiteral("Range"), {kCentredHeader});
    header.put(QStringLiteral("HorizontalAlignment"), excel::xlCenter);
    column = 1;
    for (const Column& c : kColumns)
        setCell(sheet, kHeaderRow, column++, QString::fromUtf8(c.header));

    if (events) {
        int row = kFirstEventRow;
        for (const EventInfo& e : *events) {
            column = 1;
            for (const Column& c : kColumns)
                setCell(sheet, row, column++, c.text(e));
            ++row;
        }
    }

    header.release();
    cells.release();
    sheet.release();
    workbook.release();
    application.release();
}
