// velmora-screenshot: reads the tablet on the simulated adapter into the main
// window, answering the question with Yes, and saves a picture of the window.
#include "AutoDialogs.h"
#include "ExitCode.h"
#include "Localization.h"
#include "TForm1.h"
#include "TStatusForm.h"

#include <QApplication>
#include <QDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: velmora-screenshot OUT.png [WIDTHxHEIGHT]\n");
        return kExitUsage;
    }
    QApplication app(argc, argv);
    installRussian();
    AutoDialogs dialogs;
    const auto started = TForm1::startUp(dialogs);
    if (!started)
        return kExitFailed;
    TForm1& form = *started;
    int width = 1280, height = 800;
    if (argc > 2)
        std::sscanf(argv[2], "%dx%d", &width, &height);
    form.resize(width, height);
    form.show();
    const QString out = QString::fromLocal8Bit(argv[1]);
    int status = kExitFailed;
    QObject::connect(&form, &TForm1::readOutHandled, [&] {
        QTimer::singleShot(300, [&] {
            status = form.grab().save(out) ? kExitOk : kExitFailed;
            form.close();
        });
    });
    QTimer::singleShot(200, &form, &TForm1::MenuStartClick);
    QTimer::singleShot(30000, [&] { form.close(); });
    app.exec();
    return status;
}
