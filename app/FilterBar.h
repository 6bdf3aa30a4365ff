#pragma once

#include "EventFilter.h"

#include <QRect>
#include <QWidget>

#include <array>

namespace Ui {
class TForm1;
}
class EventTableModel;
class QAction;
class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QMainWindow;
class QShortcut;
class QTableView;
class QToolButton;

// The filter bar above the event table ("Вид → Фильтр", Ctrl+F; Esc hides it):
// a search over the information text and the note, the six categories, a time
// range, the time states and erased records. While the bar is open the table
// shows what it asks for, and the bar counts what is shown; closed, the table
// shows every event and the bar keeps its fields for the next time.
class FilterBar : public QWidget {
    Q_OBJECT
public:
    // Adds "Фильтр" to the menu "Вид" and sits above the window's table.
    FilterBar(QMainWindow& window, Ui::TForm1& ui, EventTableModel& model);

    // Lays out the bar, while it shows, and the table beneath it in `area`.
    void place(const QRect& area);
    // What the fields ask for.
    EventFilter filter() const;
    static QString countText(int shown, int total);

    QAction* openAction() const { return openAction_; }
    bool isOpen() const { return open_; }

    // The bar shown (with the table) and the search field focused.
    void openBar();
    void closeBar();
    // Every criterion back to none, and the table back to list order.
    void clear();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();
    void showCount();
    // The range fields not in use offer the list's first and last times.
    void offerListTimes();
    void updateVisibility();

    QTableView& grid_;
    EventTableModel& model_;
    QAction* openAction_ = nullptr;
    QShortcut* escape_ = nullptr;
    QLineEdit* search_ = nullptr;
    std::array<QToolButton*, EventFilter::kCategoryCount> categories_{};
    QCheckBox* fromOn_ = nullptr;
    QCheckBox* toOn_ = nullptr;
    QDateTimeEdit* from_ = nullptr;
    QDateTimeEdit* to_ = nullptr;
    QCheckBox* onlyCorrected_ = nullptr;
    QCheckBox* onlyNeedingCorrection_ = nullptr;
    QCheckBox* hideErased_ = nullptr;
    QLabel* count_ = nullptr;
    QRect area_;
    bool open_ = false;
    bool clearing_ = false;
};
