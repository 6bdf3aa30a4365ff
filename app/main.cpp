// Velmora: reads the event memory of a fire-suppression controller from a
// DS1994 tablet and shows its events.
#include "Localization.h"
#include "TForm1.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    installRussian();

    WidgetDialogs dialogs;
    const auto form = TForm1::startUp(dialogs);
    if (!form)
        return 1; // the message has been shown; the window never opens
    form->showMaximized();
    return app.exec();
}
