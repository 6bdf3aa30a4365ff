// velmora-start-check [FILE]: starts the main window as the program does,
// offscreen, and either reads the tablet on the adapter (answering the
// question with Yes) or opens FILE as "Открыть" does; then prints the rows of
// the event table. Every message goes to stderr. Run from a bin/ folder, it
// finds the driver library as the program beside it would.
#include "AutoDialogs.h"
#include "EventTableModel.h"
#include "Localization.h"
#include "TForm1.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    installRussian();
    AutoDialogs dialogs;
    const auto form = TForm1::startUp(dialogs);
    if (!form)
        return 1;
    form->show();
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        form->openLogFile(arguments.at(1));
    } else {
        QObject::connect(form.get(), &TForm1::readOutHandled, &app, &QApplication::quit);
        QTimer::singleShot(0, form.get(), &TForm1::MenuStartClick);
        // a read-out that never ends is a failure, not a hang
        QTimer::singleShot(60000, &app, [&] {
            std::fprintf(stderr, "no read-out within a minute\n");
            app.exit(1);
        });
        if (app.exec() != 0)
            return 1;
    }
    const EventTableModel& model = *form->model();
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model.columnCount(); ++column)
            cells << model.data(model.index(row, column), Qt::DisplayRole).toString();
        std::printf("%s\n", qPrintable(cells.join(QLatin1Char('\t'))));
    }
    return model.rowCount() > 0 ? 0 : 1;
}
