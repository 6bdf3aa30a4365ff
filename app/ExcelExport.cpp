#include "ExcelExport.h"

#include "AutomationRegistry.h"
#include "EventCollection.h"
#include "ExcelConstants.h"
#include "ExportColumns.h"

#include <array>

namespace {

// The sheet's column widths in the application's unit (0: its default), one
// for each export column.
constexpr std::array<double, exportcolumns::kCount> kWidths = {6.14, 16.29, 43.86, 0.0};
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
    for (double width : kWidths) {
        if (width > 0.0) {
            Dispatch range = sheet.get(QStringLiteral("Columns"), {column});
            range.put(QStringLiteral("ColumnWidth"), width);
            range.release();
        }
        ++column;
    }
    setCell(sheet, kTitleRow, 1, title);
    Dispatch cells = sheet.get(QStringLiteral("Cells"));
    Dispatch header = cells.get(QStringLiteral("Range"), {kCentredHeader});
    header.put(QStringLiteral("HorizontalAlignment"), excel::xlCenter);
    column = 1;
    for (const exportcolumns::Column& c : exportcolumns::kColumns)
        setCell(sheet, kHeaderRow, column++, QString::fromUtf8(c.header));

    if (events) {
        int row = kFirstEventRow;
        for (const EventInfo& e : *events) {
            column = 1;
            for (const exportcolumns::Column& c : exportcolumns::kColumns)
                setCell(sheet, row, column++, QString::fromStdString(c.text(e)));
            ++row;
        }
    }

    header.release();
    cells.release();
    sheet.release();
    workbook.release();
    application.release();
}
