// Tablet images seen from the window: "Открыть образ таблетки…", the archive's
// list and its commands, and files dropped on the window.
#include "AppTestSupport.h"
#include "DropHandler.h"
#include "JudgementView.h"
#include "LogFileWriter.h"
#include "MemorySink.h"
#include "TArchiveForm.h"
#include "TStatusForm.h"
#include "TabletImageMenu.h"
#include "files/FilesTestSupport.h"
#include "ui_TStatusForm.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>

namespace {

namespace fs = std::filesystem;

const QString kQuestion = "Время событий исправлено, но список не сохранен. Сохранить изменения?";
const QString kNotFilled =
    "Таблетка не заполнена контроллером. Приложите ее к контроллеру и считайте снова.";

class Images : public AppTest {
protected:
    QString path(const std::string& name) const {
        return QString::fromStdString((dir_ / name).string());
    }
    QString data(const std::string& name) const {
        return QString::fromStdString((fs::path(TEST_DATA_DIR) / name).string());
    }
    // What the Information dialog and the status bar show of the tablet.
    static QStringList tabletShown(TForm1& form) {
        const Ui::TStatusForm& info = *form.statusForm()->ui;
        return {info.VerEdit->text(),     info.SerialEdit->text(),     info.DeviceNameEdit->text(),
                info.CurTimeEdit->text(), form.statusPanel(0)->text(), form.statusPanel(1)->text()};
    }
    // The archive dialog shown, `act` run on it in place of the user.
    void inArchive(TForm1& form, const std::function<void(TArchiveForm&)>& act) {
        dialogs.onExec = [act](QDialog& d) {
            act(static_cast<TArchiveForm&>(d));
            return d.result();
        };
        form.imageMenu().archiveAction()->trigger();
        dialogs.onExec = nullptr;
    }
    static QString cell(TArchiveForm& f, int row, int column) {
        return f.grid()->model()->index(row, column).data().toString();
    }
    // A list of its own on display, one event corrected and not saved.
    void correctedList(TForm1& form) {
        form.installLog(EventLog(std::move(*decodedList(Variant::Garage, 124, 11)),
                                 makeParser(Variant::Garage, datetime::fixedClock(kFixedNow)),
                                 EventLog::Origin::ReadOut));
        form.showData(true);
        correctedByOneHour(form, dialogs, 17);
        dialogs.onExec = nullptr;
        dialogs.shown.clear();
    }
};

TEST_F(Images, TheFileMenuOffersTheImageAndTheArchiveAfterOpen) {
    auto form = makeForm();
    const QList<QAction*> items = form->ui->N1->actions();
    const qsizetype open = items.indexOf(form->ui->MenuOpen);
    ASSERT_GE(open, 0);
    EXPECT_EQ(items.value(open + 1)->text(), "Открыть образ таблетки…");
    EXPECT_EQ(items.value(open + 2)->text(), "Архив считываний…");
}

// A read-out of each variant, then: the archive lists it, opens it as the
// read-out showed it, saves its image, and that image opens the same again.
TEST_F(Images, ArchiveListOpenAndSavedImageShowWhatTheReadOutShowed) {
    const struct {
        const char* variant;
        int device;
        const char* item;
    } rows[] = {{"main", 7, "Основной вариант"},
                {"garage", 3, "Гаражный вариант"},
                {"military", 8, "Военный вариант"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.variant);
        fs::remove_all(dir_ / "archive");
        dialogs = ScriptedDialogs();
        filledTablet(std::string("t") + row.variant, std::string("--variant ") + row.variant +
                                                         " --device " + std::to_string(row.device));
        auto form = makeForm();
        ASSERT_TRUE(readOut(*form));
        form->MenuStopClick();
        const EventCollection readOut = *form->events();
        const QStringList shown = tabletShown(*form);
        ASSERT_FALSE(shown[1].isEmpty());

        form->installLog(EventLog(EventCollection(), nullptr, EventLog::Origin::File));
        form->judgementView().clearTablet();
        const QString image = path(std::string(row.variant) + ".bin");
        dialogs.fileNames = {image};
        inArchive(*form, [&](TArchiveForm& f) {
            ASSERT_EQ(f.entries().size(), 1u);
            EXPECT_EQ(cell(f, 0, TArchiveForm::Time), "01.01.2024 12:00:00");
            EXPECT_EQ(cell(f, 0, TArchiveForm::Serial), shown[1].mid(16));
            EXPECT_EQ(cell(f, 0, TArchiveForm::Device), QString::number(row.device));
            EXPECT_EQ(cell(f, 0, TArchiveForm::VariantName), row.item);
            EXPECT_EQ(cell(f, 0, TArchiveForm::Events), QString::number(readOut.count()));
            f.saveImageButton()->click();
            f.openButton()->click();
        });
        expectSameEvents(readOut, *form->events(), true);
        EXPECT_EQ(tabletShown(*form), shown);
        expectDataShown(*form);
        EXPECT_EQ(fileBytes(image.toStdString()).size(), TabletImage::kSize);

        form->installLog(EventLog(EventCollection(), nullptr, EventLog::Origin::File));
        form->judgementView().clearTablet();
        dialogs.fileNames = {image};
        form->imageMenu().openImageAction()->trigger();
        EXPECT_EQ(dialogs.fileDialogs.back().name, "ImageOpenDialog");
        expectSameEvents(readOut, *form->events(), true);
        EXPECT_EQ(tabletShown(*form), shown);
        EXPECT_EQ(dialogs.texts(),
                  QStringList{"Данные считаны. Отобразить информацию о событиях?"});
    }
}

// Images the read-out would refuse are refused with its messages; a file that
// is no image says so; nothing replaces the list.
TEST_F(Images, RefusedImagesKeepTheList) {
    TabletImage zeros = craftedImage(7, {});
    std::fill(zeros.bytes().begin() + 8, zeros.bytes().begin() + 512, 0x00);
    writeBytes(dir_ / "zeros.bin", {zeros.bytes().begin(), zeros.bytes().end()});
    writeBytes(dir_ / "short.bin", std::vector<uint8_t>(100));
    const struct {
        QString file;
        QStringList texts;
    } rows[] = {
        {path("zeros.bin"), {kNotFilled}},
        {data("erased-tablet.bin"), {kNotFilled}},
        {data("broken-second-header.bin"),
         {"Ошибка проверки CRC второго заголовка.\r\n Данные на таблетку не записаны или прочитаны "
          "некорректно.\r\nПопытайтесь прочитать данные еще раз",
          "Неизвестный номер таблетки. Данные не могут быть отображены"}},
        {path("short.bin"),
         {"Файл не является образом таблетки: образ занимает 512 или 544 байт."}},
        {path("missing.bin"), {"Ошибка открытия файла для чтения."}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file.toStdString());
        auto form = makeForm();
        correctedList(*form);
        const EventCollection before = *form->events();
        form->imageMenu().openImageFile(row.file);
        EXPECT_EQ(dialogs.texts(), row.texts);
        expectSameEvents(before, *form->events(), true);
        EXPECT_TRUE(form->isWindowModified());
        EXPECT_FALSE(fs::exists(dir_ / "archive"));
        dialogs.shown.clear();
    }
}

// Damaged files are listed and can only be removed; removing asks first.
TEST_F(Images, DamagedEntriesAndRemoval) {
    fs::create_directories(dir_ / "archive");
    fs::copy_file(fs::path(TEST_DATA_DIR) / "archive" / "20240101-120000-0448D158E100007A.readout",
                  dir_ / "archive" / "good.readout");
    writeBytes(dir_ / "archive" / "junk", std::vector<uint8_t>(640, 'j'));
    auto form = makeForm();
    dialogs.answers = {UserDialogs::Answer::No, UserDialogs::Answer::Yes};
    inArchive(*form, [&](TArchiveForm& f) {
        ASSERT_EQ(f.entries().size(), 2u);
        EXPECT_EQ(cell(f, 1, TArchiveForm::Time), "Файл поврежден");
        EXPECT_EQ(cell(f, 1, TArchiveForm::File), "junk");
        f.select(1);
        EXPECT_FALSE(f.openButton()->isEnabled());
        EXPECT_FALSE(f.saveImageButton()->isEnabled());
        f.removeButton()->click(); // No
        EXPECT_EQ(f.entries().size(), 2u);
        f.removeButton()->click(); // Yes
        EXPECT_EQ(f.entries().size(), 1u);
        EXPECT_TRUE(f.openButton()->isEnabled());
        f.reject();
    });
    EXPECT_EQ(dialogs.texts(), QStringList(2, TArchiveForm::removeQuestion()));
    EXPECT_FALSE(fs::exists(dir_ / "archive" / "junk"));
    EXPECT_EQ(form->events(), nullptr);
}

// A dropped file goes the way its kind goes, after the question about unsaved
// corrections; Cancel keeps everything.
TEST_F(Images, DroppedFilesOpenAsTheirKind) {
    MemorySink sink;
    LogFileWriter::write(sink, *decodedList(Variant::Main, 30, 5));
    writeBytes(dir_ / "list.log", sink.bytes);
    const struct {
        QString file;
        bool cancel;
        int events;            // -1: the corrected list stays
        QString importDialogs; // the import dialog's file, when it shows
    } rows[] = {
        {path("list.log"), false, 30, ""},
        // as the golden main-image has it: 123 events, the newest at 19.02.1970 13:40:00
        {data("main-image.bin"), false, 123, ""},
        {data("garage-dump.bin"), false, -1, "garage-dump.bin"},
        {data("main-image.bin"), true, -1, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file.toStdString());
        auto form = makeForm();
        correctedList(*form);
        const EventCollection before = *form->events();
        QString importShown;
        dialogs.onExec = [&](QDialog& d) {
            importShown = d.findChild<QLabel*>("lblTargetFileName")->text();
            return int(QDialog::Rejected);
        };
        dialogs.answers = {row.cancel ? UserDialogs::Answer::Cancel : UserDialogs::Answer::Discard};
        EXPECT_TRUE(dropFile(*form, row.file));
        ASSERT_GE(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].text, kQuestion);
        EXPECT_EQ(importShown, row.importDialogs);
        if (row.events < 0)
            expectSameEvents(before, *form->events(), true);
        else
            EXPECT_EQ(form->events()->count(), row.events);
        if (row.events == 123) {
            EXPECT_EQ(form->model()->index(0, EventTableModel::Time).data().toString(),
                      "19.02.1970 13:40:00");
        }
        EXPECT_EQ(form->isWindowModified(), row.events < 0);
    }
}

} // namespace
