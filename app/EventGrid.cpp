#include "EventGrid.h"

#include "DateTime.h"
#include "EventTableModel.h"
#include "IconCellDelegate.h"

#include <QHeaderView>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <array>

namespace {

constexpr int kBinaryColumnWidth = 80;
// The decoders' texts, many times over; no more is kept.
constexpr size_t kCachedTextWidths = 4096;

} // namespace

EventGrid::EventGrid(QTableView& grid, EventTableModel& model) : grid_(grid), model_(model) {
    grid_.setModel(&model_);
    grid_.verticalHeader()->hide();
    grid_.horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid_.horizontalHeader()->setStretchLastSection(false);
    grid_.setItemDelegateForColumn(EventTableModel::Mark, new IconCellDelegate(&grid_));
    grid_.setItemDelegateForColumn(EventTableModel::Type, new IconCellDelegate(&grid_));
    grid_.setIconSize(QSize(16, 16));
}

int EventGrid::textWidth(const std::string& text) {
    auto it = infoWidths_.find(text);
    if (it == infoWidths_.end() && infoWidths_.size() >= kCachedTextWidths)
        infoWidths_.clear(); // an opened file may hold a million texts of its own
    if (it == infoWidths_.end())
        it = infoWidths_
                 .emplace(text, grid_.fontMetrics().horizontalAdvance(QString::fromStdString(text)))
                 .first;
    return it->second;
}

int EventGrid::cellPadding() const {
    // What the style draws around a cell's text, on top of the grid's own margins.
    const int margin =
        grid_.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid_) + 1;
    return 2 * margin;
}

void EventGrid::setupHeader() {
    const QFontMetrics fm = grid_.fontMetrics();
    const int pad = cellPadding();
    grid_.verticalHeader()->setDefaultSectionSize(std::max(fm.height() + 6, 20));
    grid_.setColumnWidth(EventTableModel::Number,
                         fm.horizontalAdvance(QStringLiteral("124")) + 5 + pad);
    grid_.setColumnWidth(EventTableModel::Time, fm.horizontalAdvance(QString::fromStdString(
                                                    datetime::format(datetime::localNow()))) +
                                                    5 + pad);
    const int iconColumn = std::max(16, fm.horizontalAdvance(QStringLiteral("Тип"))) + 5;
    grid_.setColumnWidth(EventTableModel::Mark, iconColumn);
    grid_.setColumnWidth(EventTableModel::Type, iconColumn);
    grid_.setColumnWidth(EventTableModel::Info, infoColumnWidth_);
    grid_.setColumnWidth(EventTableModel::Note,
                         fm.horizontalAdvance(QString::fromUtf8(eventtext::kEditedByHand)) + 5 +
                             pad);
    grid_.setColumnWidth(EventTableModel::Binary, 0);
}

void EventGrid::fill(const EventCollection* events) {
    std::array<int, EventTableModel::ColumnCount> widths{};
    for (int c = 0; c < EventTableModel::ColumnCount; ++c)
        widths[static_cast<size_t>(c)] = grid_.columnWidth(c);
    model_.setEvents(events);
    int widest = 0;
    if (events)
        for (const EventInfo& e : *events)
            widest = std::max(widest, textWidth(e.infoText));
    widths[EventTableModel::Info] =
        std::max(widths[EventTableModel::Info], widest + 10 + cellPadding());
    for (int c = 0; c < EventTableModel::ColumnCount; ++c)
        grid_.setColumnWidth(c, widths[static_cast<size_t>(c)]);
}

void EventGrid::showBinary(bool show) {
    grid_.setColumnWidth(EventTableModel::Binary, show ? kBinaryColumnWidth : 0);
}
