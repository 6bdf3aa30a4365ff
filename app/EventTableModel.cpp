#include "EventTableModel.h"

#include "DateTime.h"

EventTableModel::EventTableModel(QObject* parent) : QAbstractTableModel(parent) {}

const std::array<QIcon, 6>& EventTableModel::categoryIcons() {
    static const std::array<QIcon, 6> icons = {
        QIcon(QStringLiteral(":/icons/category0-fault.svg")),
        QIcon(QStringLiteral(":/icons/category1-operation.svg")),
        QIcon(QStringLiteral(":/icons/category2-alarm.svg")),
        QIcon(QStringLiteral(":/icons/category3-power.svg")),
        QIcon(QStringLiteral(":/icons/category4-unknown.svg")),
        QIcon(QStringLiteral(":/icons/category5-zone.svg")),
    };
    return icons;
}

const std::array<QString, 6>& EventTableModel::categoryNames() {
    static const std::array<QString, 6> names = {
        QStringLiteral("Неисправность"),
        QStringLiteral("Работа прибора, норма, нотификация"),
        QStringLiteral("Тревога, неисправность зоны"),
        QStringLiteral("Питание"),
        QStringLiteral("Неизвестное событие"),
        QStringLiteral("Информация по зоне: запуск, тушение, пожар"),
    };
    return names;
}

std::optional<EventView::SortKey> EventTableModel::sortKeyOf(int column) {
    switch (column) {
    case Number:
        return EventView::SortKey::Number;
    case Time:
        return EventView::SortKey::Time;
    case Info:
        return EventView::SortKey::Info;
    default:
        return std::nullopt;
    }
}

void EventTableModel::setEvents(const EventCollection* events) {
    beginResetModel();
    events_ = events;
    view_.setList(events);
    endResetModel();
    emit listChanged();
}

void EventTableModel::setFilter(const EventFilter& filter) {
    beginResetModel();
    view_.setFilter(filter);
    endResetModel();
}

void EventTableModel::setSort(EventView::SortKey key, bool descending) {
    beginResetModel();
    view_.setSort(key, descending);
    endResetModel();
}

int EventTableModel::listRow(const QModelIndex& index) const {
    return index.isValid() && index.model() == this ? view_.listRow(index.row()) : -1;
}

int EventTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : view_.shownCount();
}

int EventTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EventTableModel::data(const QModelIndex& index, int role) const {
    const int row = listRow(index);
    if (!events_ || row < 0)
        return {};
    const EventInfo& e = events_->at(row);
    const bool categorised = e.category >= 0 && e.category < 6;
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case Number:
            return QString::number(e.number);
        case Time:
            return QString::fromStdString(datetime::format(e.time));
        case Info:
            return QString::fromStdString(e.infoText);
        case Note:
            return QString::fromStdString(e.noteText);
        case Binary:
            return QString::fromStdString(eventtext::codeByteText(e.codeByte));
        default:
            return {};
        }
    }
    const bool marked = index.column() == Mark && e.timeState == EventInfo::NeedsCorrection;
    if (role == Qt::DecorationRole) {
        const auto& icons = categoryIcons();
        if (index.column() == Type && categorised)
            return icons[static_cast<size_t>(e.category)];
        if (marked)
            return icons[4];
    }
    if (role == Qt::ToolTipRole) {
        if (index.column() == Type && categorised)
            return categoryNames()[static_cast<size_t>(e.category)];
        if (marked)
            return QString::fromUtf8(eventtext::kNeedsCorrection);
    }
    return {};
}

QVariant EventTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* kHeaders[ColumnCount] = {"№",          "",           "Время",        "Тип",
                                                "Информация", "Примечание", "Событие (bin)"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(kHeaders[section]) : QString();
}
