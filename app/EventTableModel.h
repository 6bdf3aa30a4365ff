#pragma once

#include "EventCollection.h"
#include "EventView.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <array>
#include <optional>

// The event list on display, one shown event a row, in the seven columns of
// InfoGrid. The rows are those of an EventView (filter and sort) over the list;
// cells are made on request, so a list of a million events shows at once.
class EventTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Number, Mark, Time, Type, Info, Note, Binary, ColumnCount };

    explicit EventTableModel(QObject* parent = nullptr);

    void setEvents(const EventCollection* events);
    const EventCollection* events() const { return events_; }
    void setFilter(const EventFilter& filter);
    void setSort(EventView::SortKey key, bool descending);
    const EventView& view() const { return view_; }
    // The list row of the event in a table row; -1 for none.
    int listRow(const QModelIndex& index) const;

    // What a click on a column's header sorts by; none for the other columns.
    static std::optional<EventView::SortKey> sortKeyOf(int column);
    static const std::array<QIcon, 6>& categoryIcons();
    // The user's name of each category, as the icons' tooltips show it.
    static const std::array<QString, 6>& categoryNames();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    // Another list, or the same one after its events changed.
    void listChanged();

private:
    const EventCollection* events_ = nullptr;
    EventView view_;
};
