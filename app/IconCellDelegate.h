#pragma once

#include <QStyledItemDelegate>

// Draws a cell's icon centred at the top of the cell, as the category and the
// correction mark are drawn.
class IconCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->decorationAlignment = Qt::AlignHCenter | Qt::AlignTop;
        option->decorationPosition = QStyleOptionViewItem::Top;
        option->decorationSize = QSize(16, 16);
    }
};
