// "Правка": undo and redo of time corrections, and the question before
// unsaved corrections would be dropped.
#include "AppTestSupport.h"
#include "CorrectionHistory.h"
#include "LogFileWriter.h"
#include "MemorySink.h"
#include "files/FilesTestSupport.h"

#include <QMenu>
#include <QMenuBar>

namespace {

const QString kQuestion = "Время событий исправлено, но список не сохранен. Сохранить изменения?";
const QString kWaitingPrompt = "Поднесите электронный ключ DS1994 к адаптеру";

class History : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        files_ = dir_ / "files";
        std::filesystem::create_directory(files_);
        // a list of its own on disk, for "Открыть"
        MemorySink sink;
        LogFileWriter::write(sink, *decodedList(Variant::Main, 30, 5));
        writeBytes(files_ / "other.log", sink.bytes);
    }
    void show(TForm1& form, Variant variant = Variant::Garage) {
        form.installLog(EventLog(std::move(*decodedList(variant, 124, 11)),
                                 makeParser(variant, datetime::fixedClock(kFixedNow)),
                                 EventLog::Origin::ReadOut));
        form.showData(true);
    }
    QString path(const std::string& name) const {
        return QString::fromStdString((files_ / name).string());
    }
    static QAction* undo(TForm1& form) { return form.history().undoAction(); }
    static QAction* redo(TForm1& form) { return form.history().redoAction(); }
    std::filesystem::path files_;
};

TEST_F(History, TheEditMenuSitsBetweenFileAndView) {
    auto form = makeForm();
    const QList<QAction*> menus = form->ui->MainMenu1->actions();
    ASSERT_GE(menus.size(), 3);
    EXPECT_EQ(menus[0]->text(), "Файл");
    EXPECT_EQ(menus[1]->text(), "Правка");
    EXPECT_EQ(menus[2]->text(), "Вид");
    EXPECT_EQ(menus[1]->menu()->actions(), (QList<QAction*>{undo(*form), redo(*form)}));
    EXPECT_EQ(undo(*form)->shortcut(), QKeySequence("Ctrl+Z"));
    EXPECT_EQ(redo(*form)->shortcut(), QKeySequence("Ctrl+Shift+Z"));
    EXPECT_EQ(undo(*form)->text(), "Отменить");
    EXPECT_EQ(redo(*form)->text(), "Повторить");
    EXPECT_FALSE(undo(*form)->isEnabled());
    EXPECT_FALSE(redo(*form)->isEnabled());
    EXPECT_EQ(form->windowTitle(), "TMEX[*]");
    EXPECT_FALSE(form->isWindowModified());
}

TEST_F(History, OneCorrectionIsUndoneAndRedoneExactly) {
    for (Variant variant : {Variant::Garage, Variant::Main}) {
        auto form = makeForm();
        show(*form, variant);
        const EventCollection before = *form->events();
        const auto shownTime = [&] {
            return form->model()->index(17, EventTableModel::Time).data().toString();
        };
        const QString timeBefore = shownTime();
        ASSERT_FALSE(correctedByOneHour(*form, dialogs, 17).empty());
        const QString timeAfter = shownTime();
        ASSERT_NE(timeBefore, timeAfter);
        const EventCollection after = *form->events();
        const int number = before.at(17).number;
        EXPECT_TRUE(form->isWindowModified());
        EXPECT_EQ(undo(*form)->text(),
                  QString("Отменить исправление времени события %1").arg(number));
        EXPECT_FALSE(redo(*form)->isEnabled());

        undo(*form)->trigger();
        expectSameEvents(before, *form->events(), true);
        EXPECT_EQ(shownTime(), timeBefore);
        EXPECT_FALSE(form->isWindowModified());
        EXPECT_FALSE(undo(*form)->isEnabled());
        EXPECT_EQ(redo(*form)->text(),
                  QString("Повторить исправление времени события %1").arg(number));
        redo(*form)->trigger();
        expectSameEvents(after, *form->events(), true);
        EXPECT_EQ(shownTime(), timeAfter);
        EXPECT_TRUE(form->isWindowModified());
    }
}

TEST_F(History, ThreeCorrectionsAreUndoneStepByStepAndRedone) {
    auto form = makeForm();
    show(*form);
    std::vector<EventCollection> states{*form->events()};
    for (int row : {3, 60, 110}) {
        ASSERT_FALSE(correctedByOneHour(*form, dialogs, row).empty()) << row;
        states.push_back(*form->events());
    }
    for (int step = 3; step > 0; --step) {
        undo(*form)->trigger();
        expectSameEvents(states[static_cast<size_t>(step) - 1], *form->events(), true);
    }
    EXPECT_FALSE(undo(*form)->isEnabled());
    for (int step = 1; step <= 3; ++step) {
        redo(*form)->trigger();
        expectSameEvents(states[static_cast<size_t>(step)], *form->events(), true);
    }
    EXPECT_FALSE(redo(*form)->isEnabled());
}

TEST_F(History, ANewListClearsTheHistory) {
    auto form = makeForm();
    show(*form);
    correctedByOneHour(*form, dialogs, 5);
    undo(*form)->trigger();
    EXPECT_TRUE(redo(*form)->isEnabled());
    correctedByOneHour(*form, dialogs, 6);
    dialogs.answers = {UserDialogs::Answer::Discard};
    dialogs.fileNames = {path("other.log")};
    form->ui->MenuOpen->trigger();
    ASSERT_EQ(form->events()->count(), 30);
    EXPECT_FALSE(undo(*form)->isEnabled());
    EXPECT_FALSE(redo(*form)->isEnabled());
    EXPECT_FALSE(form->isWindowModified());
}

TEST_F(History, NoQuestionWithoutUnsavedCorrections) {
    auto form = makeForm();
    show(*form);
    dialogs.fileNames = {path("other.log")};
    form->ui->MenuOpen->trigger(); // nothing corrected
    show(*form);
    correctedByOneHour(*form, dialogs, 5);
    undo(*form)->trigger(); // back as it was
    EXPECT_TRUE(form->close());
    show(*form);
    correctedByOneHour(*form, dialogs, 5);
    dialogs.fileNames = {path("saved.log")};
    form->ui->MenuSave->trigger();
    EXPECT_FALSE(form->isWindowModified());
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(dialogs.shown.empty()) << dialogs.texts().join('\n').toStdString();
}

TEST_F(History, UndoingPastTheSaveMarksTheListAgain) {
    auto form = makeForm();
    show(*form);
    correctedByOneHour(*form, dialogs, 5);
    correctedByOneHour(*form, dialogs, 40);
    dialogs.fileNames = {path("saved.log")};
    form->MenuSaveClick();
    EXPECT_FALSE(form->isWindowModified());
    undo(*form)->trigger();
    EXPECT_TRUE(form->isWindowModified());
    redo(*form)->trigger();
    EXPECT_FALSE(form->isWindowModified());
}

// What each answer does for each action that would drop the list.
enum class Action { Close, Open, Import, ReadOut, Drop };
enum class Reply { Save, SaveCancelled, SaveFailing, Discard, Cancel };

TEST_F(History, TheQuestionBeforeDroppingUnsavedCorrections) {
    const struct {
        Reply reply;
        bool goesOn;
        bool saved;
    } replies[] = {{Reply::Save, true, true},
                   {Reply::SaveCancelled, false, false},
                   {Reply::SaveFailing, false, false},
                   {Reply::Discard, true, false},
                   {Reply::Cancel, false, false}};
    for (Action action :
         {Action::Close, Action::Open, Action::Import, Action::ReadOut, Action::Drop}) {
        for (const auto& r : replies) {
            SCOPED_TRACE(testing::Message() << int(action) << " " << int(r.reply));
            std::filesystem::remove(files_ / "saved.log");
            dialogs = ScriptedDialogs();
            auto form = makeForm();
            show(*form);
            correctedByOneHour(*form, dialogs, 17);
            const EventCollection corrected = *form->events();
            dialogs.fileDialogs.clear();
            dialogs.answers = {r.reply == Reply::Discard  ? UserDialogs::Answer::Discard
                               : r.reply == Reply::Cancel ? UserDialogs::Answer::Cancel
                                                          : UserDialogs::Answer::Save};
            if (r.reply == Reply::Save)
                dialogs.fileNames.push_back(path("saved.log"));
            if (r.reply == Reply::SaveCancelled)
                dialogs.fileNames.push_back(""); // the save dialog cancelled
            if (r.reply == Reply::SaveFailing)
                dialogs.fileNames.push_back(path("missing/saved.log"));
            if (action == Action::Open)
                dialogs.fileNames.push_back(path("other.log"));

            bool closed = false;
            switch (action) {
            case Action::Close:
                closed = form->close();
                break;
            case Action::Open:
                form->ui->MenuOpen->trigger();
                break;
            case Action::Import:
                form->ui->B1->trigger(); // its file dialog is cancelled
                break;
            case Action::ReadOut:
                form->MenuStartClick();
                break;
            case Action::Drop:
                dropFile(*form, path("other.log"));
                break;
            }

            ASSERT_GE(dialogs.shown.size(), 1u);
            EXPECT_EQ(dialogs.shown[0].text, kQuestion);
            EXPECT_EQ(dialogs.shown[0].caption, "");
            EXPECT_EQ(dialogs.shown[0].owner, form.get());
            EXPECT_EQ(dialogs.shown[0].buttons, UserDialogs::Buttons::SaveDiscardCancel);
            EXPECT_EQ(dialogs.shown.size(), r.reply == Reply::SaveFailing ? 2u : 1u);
            EXPECT_EQ(std::filesystem::exists(files_ / "saved.log"), r.saved);

            QStringList asked;
            for (const auto& d : dialogs.fileDialogs)
                asked << d.name;
            QStringList expected;
            if (r.reply == Reply::Save || r.reply == Reply::SaveCancelled ||
                r.reply == Reply::SaveFailing)
                expected << "FileSaveDialog";
            if (r.goesOn && action == Action::Open)
                expected << "FileOpenDialog";
            if (r.goesOn && action == Action::Import)
                expected << "ImportFileDialog";
            EXPECT_EQ(asked, expected);

            if (action == Action::Close) {
                EXPECT_EQ(closed, r.goesOn);
            }
            if ((action == Action::Open || action == Action::Drop) && r.goesOn) {
                EXPECT_EQ(form->events()->count(), 30);
            } else {
                expectSameEvents(corrected, *form->events(), true);
            }
            if (action == Action::ReadOut) {
                EXPECT_EQ(form->ui->Label1->text() == kWaitingPrompt, r.goesOn);
                EXPECT_EQ(form->ui->InfoGrid->isVisibleTo(form.get()), !r.goesOn);
                form->MenuStopClick();
            }
            // kept corrections stay unsaved and undoable
            const bool kept = !r.goesOn || action == Action::Import || action == Action::ReadOut ||
                              action == Action::Close;
            if (kept && !r.saved && r.reply != Reply::Discard) {
                EXPECT_TRUE(form->isWindowModified());
                EXPECT_TRUE(undo(*form)->isEnabled());
            }
            if (r.saved) {
                EXPECT_FALSE(form->isWindowModified());
            }
        }
    }
}

} // namespace
