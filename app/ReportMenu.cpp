#include "ReportMenu.h"

#include "BusyCursor.h"
#include "EventTableModel.h"
#include "TForm1.h"
#include "ui_TForm1.h"

#include <QAction>
#include <QMenu>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>

namespace {
// the version the build was made with
const char* const kProgramVersion = VELMORA_VERSION;
// A report that takes longer than this shows its progress.
constexpr int kProgressAfterMs = 500;
} // namespace

ReportMenu::ReportMenu(TForm1& form, UserDialogs& dialogs)
    : QObject(&form), form_(form),
      dialogs_(dialogs), pdfDialog_{&form, QStringLiteral("ReportPdfDialog"), true, false, true} {
    QMenu& file = *form.ui->N1;
    auto* menu = new QMenu(QStringLiteral("Отчет"), &file);
    menu->setObjectName(QStringLiteral("MenuReport"));
    preview_ =
        menu->addAction(QStringLiteral("Предварительный просмотр…"), this, &ReportMenu::preview);
    preview_->setObjectName(QStringLiteral("MenuReportPreview"));
    print_ = menu->addAction(QStringLiteral("Печать…"), this, &ReportMenu::print);
    print_->setObjectName(QStringLiteral("MenuReportPrint"));
    print_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    pdf_ = menu->addAction(QStringLiteral("Сохранить в PDF…"), this, &ReportMenu::saveAsPdf);
    pdf_->setObjectName(QStringLiteral("MenuReportPdf"));
    // beside the other way out of the program, the spreadsheet export
    const QList<QAction*> actions = file.actions();
    const qsizetype at = actions.indexOf(form.ui->MenuExportExcel);
    file.insertMenu(at >= 0 && at + 1 < actions.size() ? actions[at + 1] : nullptr, menu);
    form.addAction(print_); // the shortcut works with the menu closed

    // a list to report on is there when there is one to save
    QAction* save = form.ui->MenuSave;
    menu->setEnabled(save->isEnabled());
    connect(save, &QAction::enabledChanged, menu, &QMenu::setEnabled);
    for (QAction* a : {preview_, print_, pdf_}) {
        a->setEnabled(save->isEnabled());
        connect(save, &QAction::enabledChanged, a, &QAction::setEnabled);
    }
}

QString ReportMenu::cannotSaveMessage(const QString& fileName) {
    return QStringLiteral("Не удалось сохранить отчет в файл\n%1").arg(fileName);
}

QString ReportMenu::cannotPrintMessage() {
    return QStringLiteral("Не удалось напечатать отчет.");
}

std::optional<ServiceReport> ReportMenu::report() const {
    const EventLog* log = form_.log();
    if (!log)
        return std::nullopt;
    const EventView& view = form_.model()->view();
    ServiceReport::Rows rows;
    rows.reserve(static_cast<size_t>(view.shownCount()));
    for (int row = 0; row < view.shownCount(); ++row)
        rows.push_back(&log->events().at(view.listRow(row)));
    ReportHeader header = ReportHeader::forLog(*log, static_cast<int>(rows.size()),
                                               QString::fromUtf8(kProgramVersion));
    return ServiceReport(std::move(header), std::move(rows));
}

ServiceReport::Status ReportMenu::paint(
    const std::function<ServiceReport::Status(const ServiceReport::Progress&)>& painting) const {
    QProgressDialog progress(QStringLiteral("Подготовка отчета…"), QStringLiteral("Отмена"), 0, 1,
                             &form_);
    progress.setObjectName(QStringLiteral("ReportProgress"));
    progress.setWindowTitle(QStringLiteral("Отчет"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kProgressAfterMs);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    BusyCursor busy;
    return painting([&progress](int done, int total) {
        progress.setMaximum(std::max(total, 1));
        progress.setValue(done); // lets the dialog's Cancel be pressed
        return !progress.wasCanceled();
    });
}

void ReportMenu::preview() {
    const std::optional<ServiceReport> made = report();
    if (!made)
        return;
    QPrinter printer(QPrinter::HighResolution);
    ServiceReport::setUpPage(printer);
    QPrintPreviewDialog dialog(&printer, &form_);
    dialog.setObjectName(QStringLiteral("ReportPreview"));
    dialog.setWindowTitle(QStringLiteral("Предварительный просмотр отчета"));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter* target) {
        printOn(*made, *target); // a stopped preview shows the pages made by then
    });
    dialogs_.exec(dialog);
}

void ReportMenu::print() {
    const std::optional<ServiceReport> made = report();
    if (!made)
        return;
    QPrinter printer(QPrinter::HighResolution);
    ServiceReport::setUpPage(printer);
    QPrintDialog dialog(&printer, &form_);
    dialog.setObjectName(QStringLiteral("ReportPrint"));
    if (dialogs_.exec(dialog) == QDialog::Accepted)
        printOn(*made, printer);
}

void ReportMenu::printOn(const ServiceReport& made, QPrinter& printer) const {
    if (paint([&](const auto& p) { return made.paint(printer, p); }) ==
        ServiceReport::Status::CannotWrite)
        error(cannotPrintMessage());
}

void ReportMenu::saveAsPdf() {
    const std::optional<ServiceReport> made = report();
    if (!made)
        return;
    const QString name = dialogs_.chooseFile(pdfDialog_);
    if (name.isEmpty())
        return;
    if (paint([&](const auto& p) { return made->writePdf(name, p); }) ==
        ServiceReport::Status::CannotWrite)
        error(cannotSaveMessage(name));
}

void ReportMenu::error(const QString& text) const {
    dialogs_.show({.owner = &form_,
                   .text = text,
                   .caption = QStringLiteral("Ошибка"),
                   .icon = UserDialogs::Icon::Error,
                   .buttons = UserDialogs::Buttons::Ok});
}
