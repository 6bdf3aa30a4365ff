#pragma once

#include <QObject>

class TForm1;
class TabletImageMenu;

// Files dropped on the main window: a tablet image opens as "Открыть образ
// таблетки…" opens it, any other *.bin goes to the import dialog, anything else
// opens as a log file, as "Открыть" opens it. Unsaved corrections are asked
// about first. Only the first of several files is taken.
class DropHandler : public QObject {
    Q_OBJECT
public:
    DropHandler(TForm1& form, TabletImageMenu& images);

    // What a dropped file is taken for.
    enum class Kind { LogFile, Image, Dump };
    static Kind kindOf(const QString& path);

    void drop(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TForm1& form_;
    TabletImageMenu& images_;
};
