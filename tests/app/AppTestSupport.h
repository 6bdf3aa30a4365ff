#pragma once

#include "EventTableModel.h"
#include "TDateTimeSelect.h"
#include "TForm1.h"
#include "TabletDataLoader.h"
#include "UserDialogs.h"
#include "support/CraftedTablet.h"
#include "ui_TDateTimeSelect.h"
#include "ui_TForm1.h"

#include <QApplication>
#include <QDialog>
#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>

#include <deque>
#include <functional>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << s.toStdString();
}

// Answers the program's message boxes and forms as a test scripts them, and
// keeps what was shown.
class ScriptedDialogs : public UserDialogs {
public:
    struct Shown {
        QWidget* owner;
        QString text;
        QString caption;
        Icon icon;
        Buttons buttons;
    };

    Answer show(const Message& m) override {
        shown.push_back({m.owner, m.text, m.caption, m.icon, m.buttons});
        if (!answers.empty()) {
            const Answer a = answers.front();
            answers.pop_front();
            return a;
        }
        return m.buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }
    int exec(QDialog& dialog) override {
        executed.push_back(dialog.objectName());
        return onExec ? onExec(dialog) : QDialog::Accepted;
    }
    QString chooseFile(const FileDialog& dialog) override {
        fileDialogs.push_back(dialog);
        if (fileNames.empty())
            return {};
        const QString name = fileNames.front();
        fileNames.pop_front();
        return name;
    }

    QStringList texts() const {
        QStringList t;
        for (const Shown& s : shown)
            t << s.text;
        return t;
    }

    std::vector<Shown> shown;
    std::deque<Answer> answers;
    std::function<int(QDialog&)> onExec;
    QStringList executed;
    // File dialogs shown, and the names they answer in turn (none left: cancel).
    std::vector<FileDialog> fileDialogs;
    std::deque<QString> fileNames;
};

// 2024-01-01 12:00:00 on the decoders' clock.
inline constexpr double kFixedNow = 45292.5;

class AppTest : public CraftedTabletTest {
protected:
    std::unique_ptr<TForm1> makeForm(const QString& library = IBFS32_PATH) {
        AppEnvironment env;
        env.dialogs = &dialogs;
        env.libraryPath = library;
        env.clock = datetime::fixedClock(kFixedNow);
        env.archiveFolder = QString::fromStdString((dir_ / "archive").string());
        auto form = std::make_unique<TForm1>(env);
        form->createDialogs();
        return form;
    }

    // Start, and wait until the read-out completion has been handled.
    bool readOut(TForm1& form, int timeoutMs = 10000) {
        bool handled = false;
        auto c = QObject::connect(&form, &TForm1::readOutHandled, [&] { handled = true; });
        form.MenuStartClick();
        const bool ok = QTest::qWaitFor([&] { return handled; }, timeoutMs);
        QObject::disconnect(c);
        return ok;
    }

    ScriptedDialogs dialogs;
};

// Shifts the event in `row` by one hour; which events moved.
inline std::vector<int> correctedByOneHour(TForm1& form, ScriptedDialogs& dialogs, int row) {
    std::vector<double> before;
    for (const EventInfo& e : *form.events())
        before.push_back(e.time);
    dialogs.onExec = [](QDialog& d) {
        auto& select = static_cast<TDateTimeSelect&>(d);
        select.ui->TimePicker->setTime(select.ui->TimePicker->time().addSecs(3600));
        return int(QDialog::Accepted);
    };
    form.InfoGridDblClick(form.model()->index(row, EventTableModel::Time));
    std::vector<int> moved;
    for (int i = 0; i < form.events()->count(); ++i)
        if (form.events()->at(i).time != before[static_cast<size_t>(i)])
            moved.push_back(i);
    return moved;
}

// The show-data step has run: the table and the commands that need a list.
inline void expectDataShown(TForm1& form) {
    EXPECT_TRUE(form.ui->InfoGrid->isVisibleTo(&form));
    EXPECT_TRUE(form.ui->MenuSave->isEnabled());
    EXPECT_TRUE(form.ui->SpeedButSave->isEnabled());
    EXPECT_TRUE(form.ui->MenuExportExcel->isEnabled());
    EXPECT_TRUE(form.ui->SpeedButExport->isEnabled());
}

// Drops a file on the window as a file manager would; true when the window
// took the drag. The questions and dialogs it leads to have run on return.
inline bool dropFile(TForm1& form, const QString& file) {
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    enter.setAccepted(false);
    QApplication::sendEvent(&form, &enter);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
    QCoreApplication::processEvents();
    return enter.isAccepted();
}
