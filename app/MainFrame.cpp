#include "MainFrame.h"

#include "BusyCursor.h"
#include "TForm1.h"
#include "TImportBin.h"
#include "UserDialogs.h"

#include <memory>

MainFrame::MainFrame(TForm1& form, UserDialogs& dialogs, datetime::Clock clock)
    : form_(form), dialogs_(dialogs), clock_(std::move(clock)) {}

void MainFrame::importBin(const QString& fileName) {
    // Each import has a dialog of its own; it and the file data go when it ends.
    auto dialog = std::make_unique<TImportBin>(&form_, fileName, dialogs_, clock_);
    if (const auto error = dialog->loadFile()) {
        UserDialogs::Message m;
        m.text = *error;
        m.caption = QStringLiteral("Ошибка!");
        dialogs_.show(m);
        return;
    }
    if (dialogs_.exec(*dialog) != QDialog::Accepted)
        return;
    auto events = dialog->takeResult();
    if (!events)
        return;
    BusyCursor busy;
    form_.installEvents(std::move(events), dialog->decoder());
    form_.showData(true);
}
