#include "MainFrame.h"

#include "TImportBin.h"
#include "UserDialogs.h"

#include <QFile>

#include <memory>

MainFrame::MainFrame(QWidget* owner, UserDialogs& dialogs, datetime::Clock clock)
    : owner_(owner), dialogs_(dialogs), clock_(std::move(clock)) {}

std::optional<EventLog> MainFrame::importBin(const QString& fileName) {
    // Each import has a dialog of its own; it and the file data go when it ends.
    auto dialog = std::make_unique<TImportBin>(owner_, fileName, dialogs_, clock_);
    if (const auto error = dialog->loadFile()) {
        UserDialogs::Message m;
        m.text = *error;
        m.caption = QStringLiteral("Ошибка!");
        dialogs_.show(m);
        return std::nullopt;
    }
    if (dialogs_.exec(*dialog) != QDialog::Accepted)
        return std::nullopt;
    std::optional<EventLog> log = dialog->takeResult();
    if (log) {
        EventLog::Source source = log->source();
        source.fileName = QFile::encodeName(fileName).toStdString();
        log->setSource(std::move(source));
    }
    return log;
}
