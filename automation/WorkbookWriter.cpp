#include "WorkbookWriter.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <xlsxwriter.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

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

QString describe(lxw_error error) {
    QString text = QString::fromUtf8(lxw_strerror(error));
    if (error == LXW_ERROR_CREATING_XLSX_FILE || error == LXW_ERROR_CREATING_TMPFILE)
        text += QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
    return text;
}

// Puts the finished file under its name: a rename where the folders share a
// file system, a copy into the reserved file otherwise.
QString move(const QString& from, const QString& to) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return {};
    if (errno != EXDEV)
        return QString::fromLocal8Bit(std::strerror(errno));
    QFile in(from), out(to);
    if (!in.open(QIODevice::ReadOnly))
        return in.errorString();
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return out.errorString();
    char buffer[1 << 16];
    for (;;) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n < 0)
            return in.errorString();
        if (n == 0)
            break;
        if (out.write(buffer, n) != n)
            return out.errorString();
    }
    if (!out.flush())
        return out.errorString();
    out.close();
    return out.error() == QFileDevice::NoError ? QString() : out.errorString();
}

} // namespace

// The formats of one workbook, made once per alignment and kind of value.
class WorkbookWriter::Formats {
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

class WorkbookWriter::SheetSink : public Worksheet::Sink {
public:
    SheetSink(lxw_worksheet* sheet, Formats& formats, int& firstError)
        : sheet_(sheet), formats_(formats), firstError_(firstError) {}

    void cell(int row, int column, const Worksheet::Cell& cell) override {
        const auto r = static_cast<lxw_row_t>(row - 1);
        const auto c = static_cast<lxw_col_t>(column - 1);
        const CellValue& v = cell.value;
        lxw_format* format = formats_.get(cell.alignment, v.kind == CellValue::Kind::DateTime);
        lxw_error e = LXW_NO_ERROR;
        switch (v.kind) {
        case CellValue::Kind::Empty:
            e = worksheet_write_blank(sheet_, r, c, format);
            break;
        case CellValue::Kind::Number:
            e = worksheet_write_number(sheet_, r, c, v.number, format);
            break;
        case CellValue::Kind::Boolean:
            e = worksheet_write_boolean(sheet_, r, c, v.number != 0.0, format);
            break;
        case CellValue::Kind::Text:
            e = worksheet_write_string(sheet_, r, c, utf8(v.text), format);
            break;
        case CellValue::Kind::DateTime: {
            lxw_datetime dt{v.date.year(), v.date.month(),  v.date.day(),
                            v.time.hour(), v.time.minute(), static_cast<double>(v.time.second())};
            e = worksheet_write_datetime(sheet_, r, c, &dt, format);
            break;
        }
        }
        note(e);
    }

    void columnWidth(int column, double width) override {
        const auto c = static_cast<lxw_col_t>(column - 1);
        note(worksheet_set_column(sheet_, c, c, width, nullptr));
    }

private:
    // The text as libxlsxwriter takes it, in a buffer kept from cell to cell.
    const char* utf8(const QString& text) {
        encoder_.resetState(); // a lone surrogate at one text's end is not the next one's
        buffer_.resize(static_cast<size_t>(encoder_.requiredSpace(text.size())) + 1);
        char* end = encoder_.appendToBuffer(buffer_.data(), text);
        *end = '\0';
        return buffer_.data();
    }

    void note(lxw_error e) {
        if (e != LXW_NO_ERROR && firstError_ == LXW_NO_ERROR)
            firstError_ = e;
    }

    lxw_worksheet* sheet_;
    Formats& formats_;
    int& firstError_;
    QStringEncoder encoder_{QStringEncoder::Utf8};
    std::vector<char> buffer_;
};

WorkbookWriter::WorkbookWriter() = default;

std::unique_ptr<WorkbookWriter> WorkbookWriter::begin(QString& why) {
    std::unique_ptr<WorkbookWriter> w(new WorkbookWriter);
    if (!w->folder_.isValid()) {
        why = QStringLiteral("не создаётся временная папка: %1").arg(w->folder_.errorString());
        return nullptr;
    }
    w->file_ = QDir(w->folder_.path()).filePath(QStringLiteral("book.xlsx"));
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    w->workbook_ = workbook_new_opt(QFile::encodeName(w->file_).constData(), &options);
    if (!w->workbook_) {
        why = QStringLiteral("не хватило памяти");
        return nullptr;
    }
    w->formats_ = std::make_unique<Formats>(w->workbook_);
    return w;
}

WorkbookWriter::~WorkbookWriter() {
    // Closing is the one way to free a workbook and its temporary files; what
    // it writes goes with the private folder.
    if (workbook_)
        workbook_close(workbook_);
}

Worksheet::Sink* WorkbookWriter::addSheet(const QString& name, QString& why) {
    lxw_worksheet* sheet =
        workbook_ ? workbook_add_worksheet(workbook_, name.toUtf8().constData()) : nullptr;
    if (!sheet) {
        why = QStringLiteral("лист «%1» не принят").arg(name);
        return nullptr;
    }
    return &sheets_.emplace_back(sheet, *formats_, firstError_);
}

QString WorkbookWriter::finish(const QString& path) {
    if (!workbook_)
        return QStringLiteral("книга уже записана");
    const lxw_error closed = workbook_close(workbook_);
    workbook_ = nullptr;
    const auto failed = firstError_ != LXW_NO_ERROR ? static_cast<lxw_error>(firstError_) : closed;
    if (failed != LXW_NO_ERROR)
        return describe(failed);
    return move(file_, path);
}
