#include "ServiceReport.h"

#include "DateTime.h"
#include "EventCollection.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace {

// Ships with Debian (fonts-dejavu-core) and has the Cyrillic letters.
const QString kFontFamily = QStringLiteral("DejaVu Sans");
constexpr double kBodyPoints = 8.0;
constexpr double kTitlePoints = 12.0;
constexpr double kSmallPoints = 6.5;

const QMarginsF kMarginsMm(15.0, 12.0, 12.0, 12.0);
// Every row is a whole number of lines of this height, so the pages hold a
// fixed number of one-line events.
constexpr double kLineMm = 4.4;
constexpr double kPaddingMm = 1.0;
constexpr double kTitleMm = 8.0;
constexpr int kHeaderLines = 3;
constexpr double kTableGapMm = 2.5;
constexpr double kTableHeadMm = 6.0;
constexpr double kFooterMm = 7.0;
// A hostile text cannot make a row longer than this; the rest is cut.
constexpr int kMaxLinesPerRow = 6;
// The signatures: a blank line, then the engineer's and the customer's lines
// each with its captions, a blank line between, and the date.
constexpr int kSignatureLines = 8;

const QString kMarkedTime = QStringLiteral(" *");

const QStringList& columnTitles() {
    static const QStringList titles = {QStringLiteral("№"), QStringLiteral("Время"),
                                       QStringLiteral("Информация"), QStringLiteral("Примечание")};
    return titles;
}

QString markLegend() {
    return QStringLiteral("* — время исправлено вручную");
}

QString pageText(int page, int count) {
    return QStringLiteral("Стр. %1 из %2").arg(page).arg(count);
}

QFont reportFont(double points, bool bold) {
    QFont font(kFontFamily);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QString timeText(const EventInfo& event) {
    QString text = QString::fromStdString(datetime::format(event.time));
    if (event.timeState == EventInfo::EditedByHand)
        text += kMarkedTime;
    return text;
}

// The pages of one report on one device: what is measured, where each page
// starts, and the painting of a page.
class Layout {
public:
    Layout(QPaintDevice& device, const ReportHeader& header, const ServiceReport::Rows& rows)
        : header_(header), rows_(rows), body_(reportFont(kBodyPoints, false)),
          bold_(reportFont(kBodyPoints, true)), title_(reportFont(kTitlePoints, true)),
          small_(reportFont(kSmallPoints, false)), bodyMetrics_(body_, &device),
          boldMetrics_(bold_, &device), unit_(device.logicalDpiY() / 25.4), width_(device.width()),
          height_(device.height()) {
        measureColumns();
        const double bodyTop = tableTop() + mm(kTableHeadMm);
        const double bodyBottom = height_ - mm(kFooterMm);
        capacity_ =
            std::max(1, static_cast<int>(std::floor((bodyBottom - bodyTop) / lineHeight())));
        paginate();
        marked_ = std::any_of(rows_.begin(), rows_.end(), [](const EventInfo* e) {
            return e->timeState == EventInfo::EditedByHand;
        });
    }

    int pageCount() const { return static_cast<int>(pageFirst_.size()); }

    void paintPage(QPainter& painter, int page) const {
        paintHeader(painter);
        const int first = pageFirst_[static_cast<size_t>(page)];
        const int end = page + 1 < pageCount() ? pageFirst_[static_cast<size_t>(page) + 1]
                                               : static_cast<int>(rows_.size());
        int line = 0;
        for (int row = first; row < end; ++row) {
            paintRow(painter, *rows_[static_cast<size_t>(row)], line,
                     lines_[static_cast<size_t>(row)]);
            line += lines_[static_cast<size_t>(row)];
        }
        paintColumnRules(painter, line);
        if (page + 1 == pageCount())
            paintSignatures(painter, line);
        paintFooter(painter, page + 1);
    }

private:
    double mm(double millimetres) const { return millimetres * unit_; }
    double lineHeight() const { return mm(kLineMm); }
    double padding() const { return mm(kPaddingMm); }
    double tableTop() const { return mm(kTitleMm) + kHeaderLines * lineHeight() + mm(kTableGapMm); }
    double bodyTop() const { return tableTop() + mm(kTableHeadMm); }

    void measureColumns() {
        const double pad = 2 * padding();
        int largest = 124; // as wide as a tablet's numbers at least
        for (const EventInfo* e : rows_)
            largest = std::max(largest, e->number);
        const double number =
            boldMetrics_.horizontalAdvance(QString::number(largest).fill(QLatin1Char('0'))) + pad;
        const double time =
            boldMetrics_.horizontalAdvance(QStringLiteral("00.00.0000 00:00:00") + kMarkedTime) +
            pad;
        const double note =
            bodyMetrics_.horizontalAdvance(QString::fromUtf8(eventtext::kEditedByHand)) + pad;
        // on narrow paper the information and the note share what is left
        const double rest = std::max(width_ - number - time, mm(40));
        const double info = std::max(rest - note, rest / 2);
        left_ = {0, number, number + time, number + time + info};
        widths_ = {number, time, info, std::max(rest - info, mm(10))};
    }

    double right(int column) const { return left_[column] + widths_[column]; }

    // How many lines `text` takes in a column `width` wide.
    int linesOf(const QString& text, double width) const {
        const double room = width - 2 * padding();
        if (bodyMetrics_.horizontalAdvance(text) <= room)
            return 1;
        const QRectF bounds =
            bodyMetrics_.boundingRect(QRectF(0, 0, room, 1e9), wrapFlags(text, room), text);
        return std::max(1, static_cast<int>(std::ceil(bounds.height() / lineHeight() - 1e-6)));
    }

    // Breaks between words, and inside a word too long for a line.
    int wrapFlags(const QString& text, double room) const {
        const QRectF words =
            bodyMetrics_.boundingRect(QRectF(0, 0, room, 1e9), Qt::TextWordWrap, text);
        return words.width() <= room + 0.5 ? Qt::TextWordWrap : Qt::TextWrapAnywhere;
    }

    void paginate() {
        lines_.reserve(rows_.size());
        const int most = std::min(kMaxLinesPerRow, capacity_);
        pageFirst_.push_back(0);
        int used = 0;
        for (size_t i = 0; i < rows_.size(); ++i) {
            const EventInfo& e = *rows_[i];
            const int lines =
                std::min(most, std::max(linesOf(QString::fromStdString(e.infoText), widths_[2]),
                                        linesOf(QString::fromStdString(e.noteText), widths_[3])));
            lines_.push_back(static_cast<uint8_t>(lines));
            if (used > 0 && used + lines > capacity_) {
                pageFirst_.push_back(static_cast<int>(i));
                used = 0;
            }
            used += lines;
        }
        // the signatures are never split from each other
        if (used > 0 && used + kSignatureLines > capacity_)
            pageFirst_.push_back(static_cast<int>(rows_.size()));
    }

    void paintHeader(QPainter& painter) const {
        painter.setPen(Qt::black);
        painter.setFont(title_);
        const QRectF titleBox(0, 0, width_, mm(kTitleMm));
        painter.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter, ReportHeader::title());
        painter.setFont(body_);
        painter.drawText(titleBox, Qt::AlignRight | Qt::AlignVCenter, header_.program);
        const QString left[kHeaderLines] = {header_.device, header_.serial, header_.tabletDate};
        const QString right[kHeaderLines] = {header_.source, header_.count, QString()};
        for (int i = 0; i < kHeaderLines; ++i) {
            const double top = mm(kTitleMm) + i * lineHeight();
            painter.drawText(QRectF(0, top, width_ * 0.55, lineHeight()),
                             Qt::AlignLeft | Qt::AlignVCenter, left[i]);
            painter.drawText(QRectF(width_ * 0.55, top, width_ * 0.45, lineHeight()),
                             Qt::AlignLeft | Qt::AlignVCenter, right[i]);
        }
        const QRectF head(0, tableTop(), width_, mm(kTableHeadMm));
        painter.fillRect(head, QColor(225, 225, 225));
        painter.setFont(bold_);
        for (int c = 0; c < 4; ++c)
            painter.drawText(
                QRectF(left_[c] + padding(), head.top(), widths_[c] - 2 * padding(), head.height()),
                Qt::AlignLeft | Qt::AlignVCenter, columnTitles()[c]);
    }

    void paintRow(QPainter& painter, const EventInfo& e, int line, int lines) const {
        const double top = bodyTop() + line * lineHeight();
        const double height = lines * lineHeight();
        const double baseline =
            top + (lineHeight() - bodyMetrics_.height()) / 2 + bodyMetrics_.ascent();
        const bool marked = e.timeState == EventInfo::EditedByHand;
        if (marked)
            painter.fillRect(QRectF(left_[1], top, widths_[1], height), QColor(230, 230, 230));

        painter.setFont(body_);
        const QString number = QString::number(e.number);
        painter.drawText(
            QPointF(right(0) - padding() - bodyMetrics_.horizontalAdvance(number), baseline),
            number);
        if (marked)
            painter.setFont(bold_);
        painter.drawText(QPointF(left_[1] + padding(), baseline), timeText(e));
        painter.setFont(body_);
        paintText(painter, QString::fromStdString(e.infoText), 2, top, height, baseline);
        paintText(painter, QString::fromStdString(e.noteText), 3, top, height, baseline);

        painter.setPen(QPen(QColor(160, 160, 160), 0));
        painter.drawLine(QPointF(0, top + height), QPointF(width_, top + height));
        painter.setPen(Qt::black);
    }

    void paintText(QPainter& painter, const QString& text, int column, double top, double height,
                   double baseline) const {
        const double room = widths_[column] - 2 * padding();
        if (bodyMetrics_.horizontalAdvance(text) <= room) {
            painter.drawText(QPointF(left_[column] + padding(), baseline), text);
            return;
        }
        const QRectF box(left_[column] + padding(),
                         top + (lineHeight() - bodyMetrics_.height()) / 2, room, height);
        painter.save();
        painter.setClipRect(QRectF(left_[column], top, widths_[column], height));
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | wrapFlags(text, room), text);
        painter.restore();
    }

    void paintColumnRules(QPainter& painter, int lines) const {
        painter.setPen(QPen(QColor(160, 160, 160), 0));
        const double bottom = bodyTop() + lines * lineHeight();
        for (const double x : {left_[0], left_[1], left_[2], left_[3], right(3)})
            painter.drawLine(QPointF(x, tableTop()), QPointF(x, bottom));
        painter.setPen(Qt::black);
    }

    void paintSignatures(QPainter& painter, int line) const {
        const double labelWidth = width_ * 0.32;
        const double lineWidth = (width_ - labelWidth) * 0.45;
        const QString who[2] = {QStringLiteral("Инженер сервисной службы:"),
                                QStringLiteral("Представитель заказчика:")};
        const QString captions[2] = {QStringLiteral("(подпись)"),
                                     QStringLiteral("(фамилия, инициалы)")};
        for (int k = 0; k < 2; ++k) {
            const double top = bodyTop() + (line + 1 + 3 * k) * lineHeight();
            paintBlank(painter, who[k], top, labelWidth, lineWidth, captions);
        }
        const double top = bodyTop() + (line + 7) * lineHeight();
        painter.setFont(body_);
        painter.drawText(QRectF(0, top, labelWidth, lineHeight()), Qt::AlignLeft | Qt::AlignBottom,
                         QStringLiteral("Дата:"));
        painter.drawLine(QPointF(labelWidth, top + lineHeight()),
                         QPointF(labelWidth + lineWidth, top + lineHeight()));
    }

    // A label, then two lines to write on, with their captions below.
    void paintBlank(QPainter& painter, const QString& label, double top, double labelWidth,
                    double lineWidth, const QString (&captions)[2]) const {
        painter.setFont(body_);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, top, labelWidth, lineHeight()), Qt::AlignLeft | Qt::AlignBottom,
                         label);
        const double gap = mm(6);
        for (int i = 0; i < 2; ++i) {
            const double x = labelWidth + i * (lineWidth + gap);
            painter.setFont(body_);
            painter.drawLine(QPointF(x, top + lineHeight()),
                             QPointF(x + lineWidth, top + lineHeight()));
            painter.setFont(small_);
            painter.drawText(QRectF(x, top + lineHeight(), lineWidth, lineHeight()),
                             Qt::AlignHCenter | Qt::AlignTop, captions[i]);
        }
    }

    void paintFooter(QPainter& painter, int page) const {
        const double top = height_ - mm(kFooterMm) + mm(2);
        painter.setPen(QPen(Qt::black, 0));
        painter.drawLine(QPointF(0, top), QPointF(width_, top));
        painter.setFont(body_);
        const QRectF box(0, top, width_, height_ - top);
        if (marked_)
            painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, markLegend());
        painter.drawText(box, Qt::AlignRight | Qt::AlignVCenter, pageText(page, pageCount()));
    }

    const ReportHeader& header_;
    const ServiceReport::Rows& rows_;
    QFont body_, bold_, title_, small_;
    QFontMetricsF bodyMetrics_, boldMetrics_;
    double unit_; // device pixels a millimetre
    double width_, height_;
    std::array<double, 4> left_{}, widths_{};
    int capacity_ = 1; // lines of the table on a page
    std::vector<uint8_t> lines_;
    std::vector<int> pageFirst_;
    bool marked_ = false;
};

} // namespace

ServiceReport::ServiceReport(ReportHeader header, Rows rows)
    : header_(std::move(header)), rows_(std::move(rows)) {}

ServiceReport::Rows ServiceReport::allRows(const EventCollection& events) {
    Rows rows;
    rows.reserve(static_cast<size_t>(events.count()));
    for (const EventInfo& e : events)
        rows.push_back(&e);
    return rows;
}

void ServiceReport::setUpPage(QPagedPaintDevice& device) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, kMarginsMm,
                                     QPageLayout::Millimeter));
}

ServiceReport::Status ServiceReport::paint(QPagedPaintDevice& device,
                                           const Progress& progress) const {
    const Layout layout(device, header_, rows_);
    const int pages = layout.pageCount();
    if (progress && !progress(0, pages))
        return Status::Cancelled;
    QPainter painter;
    if (!painter.begin(&device))
        return Status::CannotWrite;
    for (int page = 0; page < pages; ++page) {
        if (page > 0 && !device.newPage())
            return Status::CannotWrite;
        layout.paintPage(painter, page);
        if (progress && !progress(page + 1, pages))
            return Status::Cancelled;
    }
    return painter.end() ? Status::Done : Status::CannotWrite;
}

ServiceReport::Status ServiceReport::writePdf(const QString& path, const Progress& progress) const {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Status::CannotWrite;
    Status status = Status::Done;
    {
        QPdfWriter writer(&file);
        writer.setTitle(ReportHeader::title());
        writer.setCreator(header_.program);
        setUpPage(writer);
        status = paint(writer, progress);
    }
    if (status != Status::Done) {
        file.cancelWriting();
        return status;
    }
    return file.commit() ? Status::Done : Status::CannotWrite;
}
