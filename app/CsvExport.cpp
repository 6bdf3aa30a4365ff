#include "CsvExport.h"

#include "BusyCursor.h"
#include "CsvWriter.h"
#include "EventTableModel.h"
#include "StatusTexts.h"
#include "ui_TForm1.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>

CsvExport::CsvExport(QMainWindow& window, Ui::TForm1& ui, const EventTableModel& model,
                     const QLabel& title, UserDialogs& dialogs)
    : QObject(&window), window_(window), model_(model), title_(title),
      dialogs_(dialogs), fileDialog_{&window, QStringLiteral("CsvSaveDialog"), true, false, true} {
    action_ = new QAction(QStringLiteral("Экспорт в CSV…"), &window);
    action_->setObjectName(QStringLiteral("MenuExportCsv"));
    const QList<QAction*> items = ui.N1->actions();
    const qsizetype excel = items.indexOf(ui.MenuExportExcel);
    ui.N1->insertAction(excel >= 0 && excel + 1 < items.size() ? items[excel + 1] : nullptr,
                        action_);
    action_->setEnabled(ui.MenuExportExcel->isEnabled());
    connect(ui.MenuExportExcel, &QAction::enabledChanged, action_, &QAction::setEnabled);
    connect(action_, &QAction::triggered, this, &CsvExport::run);
}

void CsvExport::run() {
    const QString name = dialogs_.chooseFile(fileDialog_);
    if (name.isEmpty())
        return;
    const FileStatus status = [&] {
        BusyCursor busy;
        return CsvWriter::save(QFile::encodeName(name).toStdString(), title_.text().toStdString(),
                               model_.events());
    }();
    if (status != FileStatus::Ok)
        dialogs_.show({.owner = &window_,
                       .text = StatusTexts::file(status, false, 0, 0),
                       .caption = StatusTexts::fileErrorCaption(),
                       .icon = UserDialogs::Icon::Error,
                       .buttons = UserDialogs::Buttons::Ok});
}
