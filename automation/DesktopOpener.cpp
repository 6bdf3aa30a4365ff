#include "DesktopOpener.h"

#include <QProcess>
#include <QStandardPaths>

bool DesktopOpener::open(const QString& path) {
    // xdg-open hands the file to the desktop's choice of application and may
    // wait for it to end: it is left running on its own.
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return !tool.isEmpty() && QProcess::startDetached(tool, {path});
}
