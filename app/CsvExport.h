#pragma once

#include "UserDialogs.h"

#include <QObject>

namespace Ui {
class TForm1;
}
class EventTableModel;
class QAction;
class QLabel;
class QMainWindow;

// "Файл → Экспорт в CSV…": the whole list in list order, whatever the table
// shows, under the title of the first status-bar panel, as the spreadsheet
// export writes it. Enabled whenever "Экспорт в Excel" is.
class CsvExport : public QObject {
    Q_OBJECT
public:
    CsvExport(QMainWindow& window, Ui::TForm1& ui, const EventTableModel& model,
              const QLabel& title, UserDialogs& dialogs);

    QAction* action() const { return action_; }
    void run();

private:
    QMainWindow& window_;
    const EventTableModel& model_;
    const QLabel& title_;
    UserDialogs& dialogs_;
    QAction* action_ = nullptr;
    UserDialogs::FileDialog fileDialog_;
};
