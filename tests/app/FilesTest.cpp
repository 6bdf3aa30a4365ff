// "Сохранить" and "Открыть" as the window shows them: its dialogs, messages and
// widgets (what the files hold is tested on the file layer).
#include "AppTestSupport.h"
#include "files/FilesTestSupport.h"
#include "ui_TForm1.h"

#include <QGuiApplication>
#include <QLabel>

#include <sys/stat.h>

namespace {

class LogFiles : public AppTest {
protected:
    // A list on display, as a read-out or an import leaves it.
    void show(TForm1& form, int count) {
        form.installLog(EventLog(std::move(*decodedList(Variant::Garage, count, 11)), nullptr,
                                 EventLog::Origin::ReadOut));
        form.showData(true);
    }
    QString path(const std::string& name) const {
        return QString::fromStdString((dir_ / name).string());
    }
    // One message: a file error of the main window.
    void expectFileError(TForm1& form, const QString& text) {
        ASSERT_EQ(dialogs.texts(), text.isEmpty() ? QStringList() : QStringList{text});
        for (const auto& s : dialogs.shown) {
            EXPECT_EQ(s.owner, &form);
            EXPECT_EQ(s.caption, "Error");
            EXPECT_EQ(s.icon, UserDialogs::Icon::Error);
            EXPECT_EQ(s.buttons, UserDialogs::Buttons::Ok);
        }
    }
};

TEST_F(LogFiles, SaveWithoutAListDoesNothing) {
    auto form = makeForm();
    form->MenuSaveClick();
    form->ui->SpeedButSave->click();
    form->installLog(EventLog(EventCollection(), nullptr, EventLog::Origin::File));
    form->MenuSaveClick();
    EXPECT_TRUE(dialogs.fileDialogs.empty());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(LogFiles, EachCommandHasItsOwnKeptDialog) {
    auto form = makeForm();
    show(*form, 10);
    dialogs.fileNames = {path("a.log"), path("b.log"), path("a.log"), path("b.log")};
    form->MenuSaveClick();
    form->ui->SpeedButSave->click();
    form->MenuOpenClick();
    form->ui->SpeedButOpen->click();
    ASSERT_EQ(dialogs.fileDialogs.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        const UserDialogs::FileDialog& d = dialogs.fileDialogs[i];
        EXPECT_EQ(d.owner, form.get());
        EXPECT_EQ(d.name, i < 2 ? "FileSaveDialog" : "FileOpenDialog");
        EXPECT_EQ(d.save, i < 2);
        EXPECT_EQ(d.mustExist, i >= 2);
        // made once with the window and reused: it offers the last name again
        EXPECT_TRUE(d.kept);
    }
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(form->events()->count(), 10);
}

TEST_F(LogFiles, OpenShowsEveryWholeBlockAndComplainsOnlyOfACut) {
    const struct {
        QString file;
        QString message; // empty: none
        int events;      // -1: the list on display stays
    } rows[] = {
        {QString::fromStdString(dataFile("two-blocks.log").string()), "", 2},
        {QString::fromStdString(dataFile("cut-at-20.log").string()), "Ошибка чтения данных.", 1},
        {path("missing.log"), "Ошибка открытия файла для чтения.", -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file.toStdString());
        dialogs.shown.clear();
        auto form = makeForm();
        EXPECT_FALSE(form->ui->MenuSave->isEnabled());
        show(*form, 5);
        const EventCollection* before = form->events();
        dialogs.fileNames = {row.file};
        form->MenuOpenClick();
        expectFileError(*form, row.message);
        if (row.events < 0) {
            EXPECT_EQ(form->events(), before);
        }
        EXPECT_EQ(form->model()->rowCount(), row.events < 0 ? 5 : row.events);
        expectDataShown(*form);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
}

// `velmora FILE`: the file opens in a fresh window at start as "Открыть" opens
// it, without a dialog, with the same messages.
TEST_F(LogFiles, FileGivenAtStartOpensAsOpenDoes) {
    std::filesystem::create_directory(dir_ / "folder");
    const struct {
        QString file;
        QString message; // empty: none
        int events;      // -1: no list
    } rows[] = {
        {QString::fromStdString(dataFile("200-blocks.log").string()), "", 200},
        {QString::fromStdString(dataFile("cut-at-20.log").string()), "Ошибка чтения данных.", 1},
        {QString::fromStdString(dataFile("empty.log").string()), "Ошибка чтения данных.", -1},
        {path("missing.log"), "Ошибка открытия файла для чтения.", -1},
        {path("folder"), "Ошибка открытия файла для чтения.", -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file.toStdString());
        dialogs.shown.clear();
        auto atStart = makeForm();
        atStart->openLogFile(row.file);
        EXPECT_TRUE(dialogs.fileDialogs.empty());
        const QStringList atStartTexts = dialogs.texts();
        EXPECT_EQ(atStartTexts, row.message.isEmpty() ? QStringList() : QStringList{row.message});
        expectFileError(*atStart, row.message);
        if (row.events < 0) {
            EXPECT_EQ(atStart->events(), nullptr);
            EXPECT_FALSE(atStart->ui->MenuSave->isEnabled());
        } else {
            ASSERT_NE(atStart->events(), nullptr);
            EXPECT_EQ(atStart->model()->rowCount(), row.events);
            expectDataShown(*atStart);
        }
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

        dialogs.shown.clear();
        auto opened = makeForm();
        dialogs.fileNames = {row.file};
        opened->MenuOpenClick();
        EXPECT_EQ(dialogs.texts(), atStartTexts);
        if (row.events >= 0)
            expectSameEvents(*opened->events(), *atStart->events());
        dialogs.fileDialogs.clear();
    }
}

TEST_F(LogFiles, CancelledDialogsChangeNothing) {
    auto form = makeForm();
    show(*form, 3);
    const EventCollection* before = form->events();
    form->MenuSaveClick();
    form->MenuOpenClick();
    EXPECT_EQ(dialogs.fileDialogs.size(), 2u);
    EXPECT_EQ(form->events(), before);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(LogFiles, FailedSavesSayWhy) {
    auto form = makeForm();
    show(*form, 10000);
    dialogs.fileNames = {path("missing/x.log")};
    form->MenuSaveClick();
    expectFileError(*form, "Ошибка открытия файла для сохранения.");
    dialogs.shown.clear();
    dialogs.fileNames = {path("kept.log")};
    {
        const FileSizeLimit limit(4096); // the disk refuses the file past 4 KiB
        form->MenuSaveClick();
    }
    expectFileError(*form, "Ошибка сохранения данных.");
    EXPECT_EQ(form->events()->count(), 10000);
}

// A failed open or a refused save leaves the list, its unsaved corrections, the
// status bar and the file as they were; an open that shows whole blocks
// empties the panels, which describe a tablet and not a file.
TEST_F(LogFiles, FailuresLeaveEverythingAsItWas) {
    const std::vector<uint8_t> oneBlock = fileBytes(dataFile("one-block.log"));
    writeBytes(dir_ / "cut-in-first.log", {oneBlock.begin(), oneBlock.begin() + 20});
    writeBytes(dir_ / "read-only.log", oneBlock);
    ASSERT_EQ(chmod((dir_ / "read-only.log").c_str(), 0444), 0);
    const struct {
        QString file;
        bool save;
        QString message;
        int events; // after the open; -1: the corrected list stays
    } rows[] = {
        {QString::fromStdString(dataFile("empty.log").string()), false, "Ошибка чтения данных.",
         -1},
        {path("cut-in-first.log"), false, "Ошибка чтения данных.", -1},
        {path("read-only.log"), true, "Ошибка открытия файла для сохранения.", -1},
        {QString::fromStdString(dataFile("two-blocks.log").string()), false, "", 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file.toStdString());
        dialogs = ScriptedDialogs();
        auto form = makeForm();
        show(*form, 124);
        form->statusPanel(0)->setText("Номер устройства: 7");
        ASSERT_FALSE(correctedByOneHour(*form, dialogs, 3).empty());
        const EventCollection before = *form->events();
        dialogs.shown.clear();
        dialogs.answers = {UserDialogs::Answer::Discard};
        dialogs.fileNames = {row.file};
        if (row.save)
            form->MenuSaveClick();
        else
            form->MenuOpenClick();
        QStringList texts;
        if (!row.save)
            texts << "Время событий исправлено, но список не сохранен. Сохранить изменения?";
        if (!row.message.isEmpty())
            texts << row.message;
        EXPECT_EQ(dialogs.texts(), texts);
        EXPECT_EQ(fileBytes(dir_ / "read-only.log"), oneBlock);
        if (row.events < 0) {
            expectSameEvents(before, *form->events(), true);
            EXPECT_TRUE(form->isWindowModified());
            EXPECT_EQ(form->statusPanel(0)->text(), "Номер устройства: 7");
        } else {
            EXPECT_EQ(form->events()->count(), row.events);
            EXPECT_FALSE(form->isWindowModified());
            EXPECT_EQ(form->statusPanel(0)->text(), "");
        }
    }
}

} // namespace
