#pragma once

#include "EventCollection.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <array>

// The event list on display, one event a row, in the seven columns of InfoGrid.
// Cells are made on request, so a list of a million events shows at once.
class EventTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Number, Mark, Time, Type, Info, Note, Binary, ColumnCount };

    explicit EventTableModel(QObject* parent = nullptr);

    void setEvents(const EventCollection* events);
    const EventCollection* events() const { return events_; }
    static const std::array<QIcon, 6>& categoryIcons();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const EventCollection* events_ = nullptr;
};
