#include "EventGrid.h"

#include "DateTime.h"
#include "EventTableModel.h"
#include "IconCellDelegate.h"

#include <QHeaderView>
#include <QStyle>
#include <QTableView>

#include <algorithm>

namespace {

constexpr int kBinaryColumnWidth = 80;
// The decoders' texts, many times over; no more is kept.
constexpr size_t kCachedTextWidths = 4096;

} // namespace

EventGrid::EventGrid(QTableView& grid, EventTableModel& model) : grid_(grid), model_(model) {
    grid_.setModel(&model_);
    grid_.verticalHeader()->hide();
    QHeaderView& header = *grid_.horizontalHeader();
    header.setSectionResizeMode(QHeaderView::Interactive);
    header.setStretchLastSection(false);
    header.setSectionsClickable(true);
    header.setSortIndicatorShown(true);
    header.setSortIndicator(-1, Qt::AscendingOrder);
    grid_.setItemDelegateForColumn(EventTableModel::Mark, new IconCellDelegate(&grid_));
    grid_.setItemDelegateForColumn(EventTableModel::Type, new IconCellDelegate(&grid_));
    grid_.setIconSize(QSize(16, 16));

    // A reset of the model gives the header its default widths back.
    QObject::connect(&model_, &EventTableModel::modelAboutToBeReset, &connections_, [this] {
        widthsBeforeReset_.clear();
        for (int c = 0; c < EventTableModel::ColumnCount; ++c)
            widthsBeforeReset_.push_back(grid_.columnWidth(c));
    });
    QObject::connect(&model_, &EventTableModel::modelReset, &connections_, [this] {
        for (size_t c = 0; c < widthsBeforeReset_.size(); ++c)
            grid_.setColumnWidth(static_cast<int>(c), widthsBeforeReset_[c]);
        showSortIndicator();
    });
    QObject::connect(&header, &QHeaderView::sectionClicked, &connections_,
                     [this](int column) { headerClicked(column); });
}

EventGrid::~EventGrid() {
    grid_.setModel(nullptr);
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
    model_.setEvents(events);
    int widest = 0;
    if (events)
        for (const EventInfo& e : *events)
            widest = std::max(widest, textWidth(e.infoText));
    grid_.setColumnWidth(EventTableModel::Info, std::max(grid_.columnWidth(EventTableModel::Info),
                                                         widest + 10 + cellPadding()));
}

void EventGrid::showBinary(bool show) {
    grid_.setColumnWidth(EventTableModel::Binary, show ? kBinaryColumnWidth : 0);
}

void EventGrid::headerClicked(int column) {
    if (const auto key = EventTableModel::sortKeyOf(column)) {
        const EventView& view = model_.view();
        if (view.sortKey() != *key)
            model_.setSort(*key, false);
        else if (!view.descending())
            model_.setSort(*key, true);
        else
            model_.setSort(EventView::SortKey::ListOrder, false);
    }
    showSortIndicator(); // the header flips its arrow on any click
}

void EventGrid::showSortIndicator() {
    const EventView& view = model_.view();
    int column = -1;
    for (int c = 0; c < EventTableModel::ColumnCount; ++c)
        if (EventTableModel::sortKeyOf(c) == view.sortKey())
            column = c;
    grid_.horizontalHeader()->setSortIndicator(column, view.descending() ? Qt::DescendingOrder
                                                                         : Qt::AscendingOrder);
}
