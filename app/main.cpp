// Velmora: reads the event memory of a fire-suppression controller from a
// DS1994 tablet and shows its events.
#include "Localization.h"
#include "TForm1.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    installRussian();

    WidgetDialogs dialogs;
    auto form = TForm1::startUp(dialogs);
    if (!form)
        return 1; // the message has been shown; the window never opens
    form->showMaximized();
    const int rc = app.exec();
    form.reset();
    if (ReaderSlot::leftRunning() > 0) {
        // A reader stuck in the driver: end without the library's and Qt's
        // clean-up, which that thread may still be inside.
        std::fflush(nullptr);
        std::_Exit(rc);
    }
    return rc;
}
