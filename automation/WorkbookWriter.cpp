#include "WorkbookWriter.h"

#include "Workbook.h"

#include <QFile>
#include <xlsxwriter.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <utility>

namespace {

uint8_t lxwAlignment(Worksheet::Alignment a) {
    switch (a) {
    case Worksheet::Alignment::General:
        return LXW_ALIGN_NONE;
    case Worksheet::Alignment::Left:
        return LXW_ALIGN_LEFT;
    case Worksheet::Alignment::Center:
        return LXW_ALIGN_CENTER;
    case Worksheet::Alignment::Right:
        return LXW_ALIGN_RIGHT;
    case Worksheet::Alignment::Fill:
        return LXW_ALIGN_FILL;
    case Worksheet::Alignment::Justify:
        return LXW_ALIGN_JUSTIFY;
    case Worksheet::Alignment::CenterAcross:
        return LXW_ALIGN_CENTER_ACROSS;
    case Worksheet::Alignment::Distributed:
        return LXW_ALIGN_DISTRIBUTED;
    }
    return LXW_ALIGN_NONE;
}

// The formats of one workbook, made once per alignment and kind of value.
class Formats {
public:
    explicit Formats(lxw_workbook* workbook) : workbook_(workbook) {}

    lxw_format* get(Worksheet::Alignment alignment, bool dateTime) {
        if (alignment == Worksheet::Alignment::General && !dateTime)
            return nullptr;
        auto& f = formats_[{alignment, dateTime}];
        if (!f) {
            f = workbook_add_format(workbook_);
            if (alignment != Worksheet::Alignment::General)
                format_set_align(f, lxwAlignment(alignment));
            if (dateTime)
                format_set_num_format(f, WorkbookWriter::kDateTimeFormat);
        }
        return f;
    }

private:
    lxw_workbook* workbook_;
    std::map<std::pair<Worksheet::Alignment, bool>, lxw_format*> formats_;
};

lxw_error writeCell(lxw_worksheet* ws, lxw_row_t row, lxw_col_t col, const Worksheet::Cell& cell,
                    Formats& formats) {
    const CellValue& v = cell.value;
    lxw_format* format = formats.get(cell.alignment, v.kind == CellValue::Kind::DateTime);
    switch (v.kind) {
    case CellValue::Kind::Empty:
        return worksheet_write_blank(ws, row, col, format);
    case CellValue::Kind::Number:
        return worksheet_write_number(ws, row, col, v.number, format);
    case CellValue::Kind::Boolean:
        return worksheet_write_boolean(ws, row, col, v.number != 0.0, format);
    case CellValue::Kind::Text:
        return worksheet_write_string(ws, row, col, v.text.toUtf8().constData(), format);
    case CellValue::Kind::DateTime: {
        lxw_datetime dt{v.date.year(), v.date.month(),  v.date.day(),
                        v.time.hour(), v.time.minute(), static_cast<double>(v.time.second())};
        return worksheet_write_datetime(ws, row, col, &dt, format);
    }
    }
    return LXW_NO_ERROR;
}

QString describe(lxw_error error) {
    QString text = QString::fromUtf8(lxw_strerror(error));
    if (error == LXW_ERROR_CREATING_XLSX_FILE || error == LXW_ERROR_CREATING_TMPFILE)
        text += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
    return text;
}

} // namespace

QString WorkbookWriter::write(const Workbook& workbook, const QString& path) {
    const QByteArray file = QFile::encodeName(path);
    // The cells come row by row, as a sheet keeps them, so each row goes to the
    // file as it is written and the workbook holds no copy of the sheet.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(file.constData(), &options);
    if (!wb)
        return QStringLiteral("не хватило памяти");
    Formats formats(wb);
    QString refused;
    lxw_error failed = LXW_NO_ERROR;
    for (const Worksheet& sheet : workbook.sheets()) {
        lxw_worksheet* ws = workbook_add_worksheet(wb, sheet.name().toUtf8().constData());
        if (!ws) {
            refused = QStringLiteral("лист «%1» не принят").arg(sheet.name());
            break;
        }
        for (const auto& [column, width] : sheet.columnWidths()) {
            const auto c = static_cast<lxw_col_t>(column - 1);
            if (const lxw_error e = worksheet_set_column(ws, c, c, width, nullptr))
                failed = e;
        }
        for (const auto& [at, cell] : sheet.cells()) {
            if (const lxw_error e = writeCell(ws, static_cast<lxw_row_t>(at.first - 1),
                                              static_cast<lxw_col_t>(at.second - 1), cell, formats))
                failed = e;
        }
    }
    // Closing writes the file and frees the workbook, also after a failure above.
    const lxw_error closed = workbook_close(wb);
    if (!refused.isEmpty())
        return refused;
    if (failed == LXW_NO_ERROR)
        failed = closed;
    return failed == LXW_NO_ERROR ? QString() : describe(failed);
}
