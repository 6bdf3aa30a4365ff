#pragma once

#include "ServiceReport.h"
#include "UserDialogs.h"

#include <QObject>

#include <functional>

class QAction;
class QPrinter;
class TForm1;

// "Файл → Отчет": the service report of the list on display, previewed,
// printed or saved as a PDF file, with a progress dialog that can stop a long
// one. Its commands are there while "Сохранить" is.
class ReportMenu : public QObject {
    Q_OBJECT
public:
    ReportMenu(TForm1& form, UserDialogs& dialogs);

    QAction* previewAction() const { return preview_; }
    QAction* printAction() const { return print_; }
    QAction* pdfAction() const { return pdf_; }

    static QString cannotSaveMessage(const QString& fileName);
    static QString cannotPrintMessage();

public slots:
    void preview();
    void print();
    void saveAsPdf();

private:
    // The events the table shows, in its order: what the filter bar lets
    // through, every event of the list when it is closed.
    std::optional<ServiceReport> report() const;
    // Paints with the progress dialog up; its status.
    ServiceReport::Status paint(
        const std::function<ServiceReport::Status(const ServiceReport::Progress&)>& painting) const;
    // Paints on a printer or a preview's; says so when it cannot.
    void printOn(const ServiceReport& made, QPrinter& printer) const;
    void error(const QString& text) const;

    TForm1& form_;
    UserDialogs& dialogs_;
    QAction* preview_ = nullptr;
    QAction* print_ = nullptr;
    QAction* pdf_ = nullptr;
    // Kept, so that it offers the last chosen name again.
    UserDialogs::FileDialog pdfDialog_;
};
