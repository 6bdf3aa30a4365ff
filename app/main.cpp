// Velmora: reads the event memory of a fire-suppression controller from a
// DS1994 tablet and shows its events.
#include "Localization.h"
#include "TForm1.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* kUsage = "usage: velmora [FILE]\n"
                     "  FILE  a saved log file, opened at start as \"Открыть\" opens it\n"
                     "  --help  this text\n";

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    // the desktop finds the menu entry's name and icon for the window by it
    QGuiApplication::setDesktopFileName(QStringLiteral("org.velmora.Velmora"));
    installRussian();

    // what is left once Qt has taken its own options
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 2) {
        std::fprintf(stderr, "velmora: more than one file given\n%s", kUsage);
        return 2;
    }

    WidgetDialogs dialogs;
    auto form = TForm1::startUp(dialogs);
    if (!form)
        return 1; // the message has been shown; the window never opens
    form->showMaximized();
    if (arguments.size() == 2)
        form->openLogFile(arguments.at(1)); // the desktop's "Open with"
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
