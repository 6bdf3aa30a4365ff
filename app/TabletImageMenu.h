#pragma once

#include "DateTime.h"
#include "ReadOutJudgement.h"
#include "ReadoutArchive.h"

#include <QObject>

class QAction;
class TForm1;
class UserDialogs;

// The File menu's commands on tablet images: "Открыть образ таблетки…" opens an
// image file, "Архив считываний…" lists the kept read-outs. Either image is
// judged and decoded as a read-out judges and decodes a tablet.
class TabletImageMenu : public QObject {
    Q_OBJECT
public:
    // The two items go into the File menu after "Открыть".
    TabletImageMenu(TForm1& form, UserDialogs& dialogs, const ReadoutArchive& archive,
                    datetime::Clock clock);

    QAction* openImageAction() const { return openImage_; }
    QAction* archiveAction() const { return archiveAction_; }

    // An image file opened and shown, without the question about corrections.
    void openImageFile(const QString& name);
    // A kept read-out decoded afresh with its own time as the computer's clock,
    // so that it shows as it did.
    void openEntry(const ReadoutEntry& entry);

public slots:
    void openImageClick();
    void archiveClick();

private:
    void showReading(const TabletReading& reading, const datetime::Clock& clock);
    void fileError(const QString& text);

    TForm1& form_;
    UserDialogs& dialogs_;
    const ReadoutArchive& archive_;
    datetime::Clock clock_;
    QAction* openImage_;
    QAction* archiveAction_;
};
