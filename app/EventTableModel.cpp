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

void EventTableModel::setEvents(const EventCollection* events) {
    beginResetModel();
    events_ = events;
    endResetModel();
}

int EventTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !events_ ? 0 : events_->count();
}

int EventTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EventTableModel::data(const QModelIndex& index, int role) const {
    if (!events_ || !index.isValid() || index.row() >= events_->count())
        return {};
    const EventInfo& e = events_->at(index.row());
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
    if (role == Qt::DecorationRole) {
        const auto& icons = categoryIcons();
        if (index.column() == Type && e.category >= 0 && e.category < 6)
            return icons[static_cast<size_t>(e.category)];
        if (index.column() == Mark && e.timeState == EventInfo::NeedsCorrection)
            return icons[4];
    }
    if (role == Qt::ToolTipRole && index.column() == Type)
        return QString::fromStdString(e.typeText);
    return {};
}

QVariant EventTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* kHeaders[ColumnCount] = {"№",          "",           "Время",        "Тип",
                                                "Информация", "Примечание", "Событие (bin)"};
    return section >= 0 && section < ColumnCount ? QString::fromUtf8(kHeaders[section]) : QString();
}
