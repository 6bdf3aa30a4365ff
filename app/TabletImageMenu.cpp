#include "TabletImageMenu.h"

#include "BusyCursor.h"
#include "CorrectionHistory.h"
#include "JudgementView.h"
#include "ReadOutController.h"
#include "StatusTexts.h"
#include "TArchiveForm.h"
#include "TForm1.h"
#include "TabletImageFile.h"
#include "ui_TForm1.h"

#include <QAction>
#include <QFile>
#include <QMenu>

TabletImageMenu::TabletImageMenu(TForm1& form, UserDialogs& dialogs, const ReadoutArchive& archive,
                                 datetime::Clock clock)
    : QObject(&form), form_(form), dialogs_(dialogs), archive_(archive), clock_(std::move(clock)),
      openImage_(new QAction(QStringLiteral("Открыть образ таблетки…"), &form)),
      archiveAction_(new QAction(QStringLiteral("Архив считываний…"), &form)) {
    openImage_->setObjectName(QStringLiteral("MenuOpenImage"));
    archiveAction_->setObjectName(QStringLiteral("MenuArchive"));
    QMenu& menu = *form.ui->N1;
    const QList<QAction*> items = menu.actions();
    const qsizetype open = items.indexOf(form.ui->MenuOpen);
    QAction* before = open >= 0 && open + 1 < items.size() ? items[open + 1] : nullptr;
    menu.insertAction(before, openImage_);
    menu.insertAction(before, archiveAction_);
    connect(openImage_, &QAction::triggered, this, &TabletImageMenu::openImageClick);
    connect(archiveAction_, &QAction::triggered, this, &TabletImageMenu::archiveClick);
}

void TabletImageMenu::openImageClick() {
    if (!form_.history().mayDrop())
        return;
    const QString name =
        dialogs_.chooseFile({&form_, QStringLiteral("ImageOpenDialog"), false, true, true});
    if (!name.isEmpty())
        openImageFile(name);
}

void TabletImageMenu::openImageFile(const QString& name) {
    TabletImage image;
    const FileStatus status = [&] {
        BusyCursor busy;
        return TabletImageFile::load(QFile::encodeName(name).toStdString(), image);
    }();
    if (status != FileStatus::Ok)
        return fileError(StatusTexts::file(status, false, 0, 0));
    // the tablet is not on the adapter: the image's own clock stands for it
    showReading(ReadOutJudgement::imageReading(image), clock_);
}

void TabletImageMenu::archiveClick() {
    TArchiveForm archive(&form_, archive_, dialogs_);
    if (dialogs_.exec(archive) != QDialog::Accepted || !archive.chosen())
        return;
    if (form_.history().mayDrop())
        openEntry(*archive.chosen());
}

void TabletImageMenu::openEntry(const ReadoutEntry& entry) {
    TabletImage image;
    const ReadoutArchive::Status status = archive_.load(entry, image);
    if (status != ReadoutArchive::Status::Done)
        return fileError(StatusTexts::archive(status));
    showReading(ReadOutJudgement::imageReading(image, entry.record.rom),
                datetime::fixedClock(entry.record.readOutTime));
}

void TabletImageMenu::showReading(const TabletReading& reading, const datetime::Clock& clock) {
    const ReadOutReport report = ReadOutController::judge(reading);
    form_.judgementView().show(report.judgement);
    std::optional<EventLog> log = ReadOutController::decode(report, clock);
    if (log)
        form_.showLog(std::move(*log));
}

void TabletImageMenu::fileError(const QString& text) {
    dialogs_.show({.owner = &form_,
                   .text = text,
                   .caption = QStringLiteral("Error"),
                   .icon = UserDialogs::Icon::Error,
                   .buttons = UserDialogs::Buttons::Ok});
}
