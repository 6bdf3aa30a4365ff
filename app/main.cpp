// Velmora: reads the event memory of a fire-suppression controller from a
// DS1994 tablet and shows its events.
#include "TForm1.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    // A Russian program: Russian dates and Qt's own Russian standard buttons.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    QTranslator qtTranslator;
    if (qtTranslator.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    WidgetDialogs dialogs;
    AppEnvironment environment;
    environment.dialogs = &dialogs;
    TForm1 form(environment);
    form.createDialogs();
    if (form.closeAtStart())
        return 1; // the message has been shown; the window never opens
    form.showMaximized();
    return app.exec();
}
