// "Сохранить" and "Открыть": the log file through the program's own dialogs.
#include "AppTestSupport.h"
#include "LogFileWriter.h"
#include "MemorySink.h"
#include "TDateTimeSelect.h"
#include "files/FilesTestSupport.h"
#include "ui_TDateTimeSelect.h"
#include "ui_TForm1.h"

#include <QGuiApplication>
#include <csignal>
#include <sys/resource.h>

namespace {

const QString kOpenFailed = "Ошибка открытия файла для чтения.";
const QString kReadFailed = "Ошибка чтения данных.";
const QString kCreateFailed = "Ошибка открытия файла для сохранения.";
const QString kSaveFailed = "Ошибка сохранения данных.";

class LogFiles : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        files_ = dir_ / "files";
        std::filesystem::create_directory(files_);
    }
    // A list on display, as a read-out or an import leaves it.
    void show(TForm1& form, Variant variant, int count = 124) {
        form.installLog(EventLog(std::move(*decodedList(variant, count, 11)),
                                 makeParser(variant, datetime::fixedClock(kFixedNow)),
                                 EventLog::Origin::ReadOut));
        form.showData(true);
    }
    QString path(const std::string& name) const {
        return QString::fromStdString((files_ / name).string());
    }
    std::filesystem::path files_;
    std::vector<std::string> contents() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(files_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::vector<uint8_t> logBytes(const EventCollection& events) {
        MemorySink sink;
        LogFileWriter::write(sink, events);
        return sink.bytes;
    }
    // Every message was a file error of the main window.
    void expectFileErrors(TForm1& form) {
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

TEST_F(LogFiles, SavedListOpensWholeInAFreshWindow) {
    auto form = makeForm();
    show(*form, Variant::Garage);
    dialogs.fileNames = {path("garage.log")};
    form->ui->MenuSave->trigger();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(fileBytes(files_ / "garage.log"), logBytes(*form->events()));

    auto fresh = makeForm();
    EXPECT_FALSE(fresh->ui->InfoGrid->isVisibleTo(fresh.get()));
    EXPECT_FALSE(fresh->ui->MenuSave->isEnabled());
    dialogs.fileNames = {path("garage.log")};
    fresh->ui->MenuOpen->trigger();
    EXPECT_TRUE(dialogs.shown.empty());
    ASSERT_NE(fresh->events(), nullptr);
    expectSameEvents(*form->events(), *fresh->events());
    EXPECT_EQ(fresh->model()->rowCount(), 124);
    expectDataShown(*fresh);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(LogFiles, EachCommandHasItsOwnKeptDialog) {
    auto form = makeForm();
    show(*form, Variant::Main);
    dialogs.fileNames = {path("a.log"), path("b.log"), path("a.log"), path("b.log")};
    form->MenuSaveClick();
    form->ui->SpeedButSave->click();
    form->MenuOpenClick();
    form->ui->SpeedButOpen->click();
    ASSERT_EQ(dialogs.fileDialogs.size(), 4u);
    const struct {
        QString name;
        bool save, mustExist;
    } expected[] = {{"FileSaveDialog", true, false},
                    {"FileSaveDialog", true, false},
                    {"FileOpenDialog", false, true},
                    {"FileOpenDialog", false, true}};
    for (size_t i = 0; i < 4; ++i) {
        const UserDialogs::FileDialog& d = dialogs.fileDialogs[i];
        EXPECT_EQ(d.owner, form.get());
        EXPECT_EQ(d.name, expected[i].name);
        EXPECT_EQ(d.save, expected[i].save);
        EXPECT_EQ(d.mustExist, expected[i].mustExist);
        // made once with the window and reused: it offers the last name again
        EXPECT_TRUE(d.kept);
    }
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(LogFiles, OpenShowsEveryWholeBlockAndComplainsOnlyOfACut) {
    std::filesystem::create_directory(files_ / "folder");
    const struct {
        QString file;
        QString message; // empty: none
        int events;      // -1: the list on display stays
    } rows[] = {
        {QString::fromStdString(dataFile("two-blocks.log").string()), "", 2},
        {QString::fromStdString(dataFile("200-blocks.log").string()), "", 200},
        {QString::fromStdString(dataFile("cut-at-20.log").string()), kReadFailed, 1},
        {QString::fromStdString(dataFile("length-past-end.log").string()), kReadFailed, 1},
        {QString::fromStdString(dataFile("length-ffffffff.log").string()), kReadFailed, 0},
        {QString::fromStdString(dataFile("empty.log").string()), kReadFailed, 0},
        {path("missing.log"), kOpenFailed, -1},
        {path("folder"), kOpenFailed, -1},
        {"/dev/zero", kOpenFailed, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file.toStdString());
        dialogs.shown.clear();
        auto form = makeForm();
        show(*form, Variant::Military, 5);
        const EventCollection* before = form->events();
        dialogs.fileNames = {row.file};
        form->MenuOpenClick();
        EXPECT_EQ(dialogs.texts(),
                  row.message.isEmpty() ? QStringList() : QStringList{row.message});
        expectFileErrors(*form);
        if (row.events < 0) {
            EXPECT_EQ(form->events(), before);
            EXPECT_EQ(form->model()->rowCount(), 5);
        } else {
            ASSERT_NE(form->events(), nullptr);
            EXPECT_EQ(form->events()->count(), row.events);
            EXPECT_EQ(form->model()->rowCount(), row.events);
        }
        EXPECT_TRUE(form->ui->InfoGrid->isVisibleTo(form.get()));
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
}

// `velmora FILE`: the file opens in a fresh window at start as "Открыть" opens
// it, without a dialog, with the same messages.
TEST_F(LogFiles, FileGivenAtStartOpensAsOpenDoes) {
    std::filesystem::create_directory(files_ / "folder");
    const struct {
        QString file;
        QString message; // empty: none
        int events;      // -1: no list
    } rows[] = {
        {QString::fromStdString(dataFile("200-blocks.log").string()), "", 200},
        {QString::fromStdString(dataFile("cut-at-20.log").string()), kReadFailed, 1},
        {QString::fromStdString(dataFile("empty.log").string()), kReadFailed, 0},
        {path("missing.log"), kOpenFailed, -1},
        {path("folder"), kOpenFailed, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file.toStdString());
        dialogs.shown.clear();
        auto atStart = makeForm();
        atStart->openLogFile(row.file);
        EXPECT_TRUE(dialogs.fileDialogs.empty());
        const QStringList atStartTexts = dialogs.texts();
        EXPECT_EQ(atStartTexts, row.message.isEmpty() ? QStringList() : QStringList{row.message});
        expectFileErrors(*atStart);
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
    show(*form, Variant::Main, 3);
    const EventCollection* before = form->events();
    form->MenuSaveClick();
    form->MenuOpenClick();
    EXPECT_EQ(dialogs.fileDialogs.size(), 2u);
    EXPECT_EQ(form->events(), before);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_TRUE(contents().empty());
}

TEST_F(LogFiles, SaveThatCannotCreateItsFileSaysSoAndLeavesNothing) {
    std::filesystem::create_directory(files_ / "folder");
    for (const QString& target : {path("missing/x.log"), path("folder")}) {
        dialogs.shown.clear();
        auto form = makeForm();
        show(*form, Variant::Garage, 10);
        dialogs.fileNames = {target};
        form->MenuSaveClick();
        EXPECT_EQ(dialogs.texts(), QStringList{kCreateFailed}) << target.toStdString();
        expectFileErrors(*form);
        EXPECT_EQ(contents(), std::vector<std::string>{"folder"});
        EXPECT_TRUE(std::filesystem::is_empty(files_ / "folder"));
    }
}

// The disk refuses the file past 4 KiB: the old file stays as it was.
TEST_F(LogFiles, SaveThatFailsMidwayKeepsTheOldFile) {
    const std::vector<uint8_t> old{'o', 'l', 'd'};
    writeBytes(files_ / "kept.log", old);
    auto form = makeForm();
    show(*form, Variant::Garage, 10000);
    dialogs.fileNames = {path("kept.log")};
    {
        const FileSizeLimit limit(4096);
        form->MenuSaveClick();
    }
    EXPECT_EQ(dialogs.texts(), QStringList{kSaveFailed});
    expectFileErrors(*form);
    EXPECT_EQ(fileBytes(files_ / "kept.log"), old);
    EXPECT_EQ(contents(), std::vector<std::string>{"kept.log"});
    EXPECT_EQ(form->events()->count(), 10000);
}

// Power-ups (garage) at 3 and 8; the same records under the main layout carry
// no marker.
std::vector<uint8_t> garageWithPowerUps() {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 12; ++i) {
        const uint32_t word = (i == 3 || i == 8) ? (0x80u << 24 | 3u << 22 | (600u - 10 * i))
                                                 : (0x01u << 24 | 1u << 22 | (600u - 10 * i));
        for (int k = 0; k < 4; ++k)
            bytes.push_back(static_cast<uint8_t>(word >> (8 * k)));
    }
    return bytes;
}

TEST_F(LogFiles, OpenedListTakesTheSegmentRuleItsTextsShow) {
    for (Variant variant : {Variant::Garage, Variant::Main}) {
        SCOPED_TRACE(std::string(variantName(variant)));
        double base = 0.0;
        const auto events = makeParser(variant)->decodeEvents(garageWithPowerUps(), base);
        writeBytes(files_ / "list.log", logBytes(*events));
        auto form = makeForm();
        dialogs.fileNames = {path("list.log")};
        form->MenuOpenClick();
        ASSERT_EQ(form->events()->count(), events->count());
        const auto moved = correctedByOneHour(*form, dialogs, 5);
        if (variant == Variant::Garage)
            EXPECT_EQ(moved, (std::vector<int>{4, 5, 6, 7, 8}));
        else
            EXPECT_EQ(moved.size(), static_cast<size_t>(events->count()));
    }
}

} // namespace
