#include "DropHandler.h"

#include "CorrectionHistory.h"
#include "TForm1.h"
#include "TabletImageFile.h"
#include "TabletImageMenu.h"

#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

namespace {

// The first local file among the dropped things; empty when there is none.
QString localFile(const QMimeData* mime) {
    if (!mime || !mime->hasUrls())
        return {};
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            return url.toLocalFile();
    return {};
}

} // namespace

DropHandler::DropHandler(TForm1& form, TabletImageMenu& images)
    : QObject(&form), form_(form), images_(images) {
    form.setAcceptDrops(true);
    form.installEventFilter(this);
}

DropHandler::Kind DropHandler::kindOf(const QString& path) {
    if (TabletImageFile::looksLikeImage(QFile::encodeName(path).toStdString()))
        return Kind::Image;
    if (path.endsWith(QStringLiteral(".bin"), Qt::CaseInsensitive))
        return Kind::Dump;
    return Kind::LogFile;
}

void DropHandler::drop(const QString& path) {
    if (!form_.history().mayDrop())
        return;
    switch (kindOf(path)) {
    case Kind::Image:
        return images_.openImageFile(path);
    case Kind::Dump:
        return form_.importBinFile(path);
    case Kind::LogFile:
        return form_.openLogFile(path);
    }
}

bool DropHandler::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (localFile(drag->mimeData()).isEmpty())
            return false;
        drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* dropped = static_cast<QDropEvent*>(event);
        const QString path = localFile(dropped->mimeData());
        if (path.isEmpty())
            return false;
        dropped->acceptProposedAction();
        // the questions and dialogs come after the drag has ended
        QMetaObject::invokeMethod(
            this, [this, path] { drop(path); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
