// "Импорт из bin": a raw dump, the variant and the range chosen in the import
// dialog, offscreen through the program's own dialogs.
#include "AppTestSupport.h"
#include "BinDump.h"
#include "TImportBin.h"
#include "files/FilesTestSupport.h"
#include "ui_TForm1.h"
#include "ui_TImportBin.h"

#include <QGuiApplication>
#include <QLabel>

namespace {

const QString kOpenFailed = "Ошибка открытия файла для чтения.";
const QString kRangeRefused =
    "Адреса вне файла.\nАдрес начала и адрес конца должны лежать в пределах от 0 до 496, и "
    "адрес конца не может быть меньше адреса начала.";

std::vector<uint8_t> randomDump(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng());
    return bytes;
}

std::unique_ptr<EventCollection> decoded(Variant variant, const std::vector<uint8_t>& dump,
                                         size_t start, size_t end) {
    double base = 0.0;
    return makeParser(variant, datetime::fixedClock(kFixedNow))
        ->decodeEvents(std::span<const uint8_t>(dump).subspan(start, end - start), base);
}

class Import : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        dump_ = randomDump(496, 3);
        writeBytes(dir_ / "dump.bin", dump_);
    }
    QString path(const std::string& name) const {
        return QString::fromStdString((dir_ / name).string());
    }
    // Answers the import dialog: `fill` sets it up, then "Импорт" is pressed as
    // often as `presses` says; the dialog's own result is returned.
    void answer(std::function<void(TImportBin&)> fill, int presses = 1) {
        dialogs.onExec = [this, fill, presses](QDialog& d) {
            auto& dialog = static_cast<TImportBin&>(d);
            seen_.name = dialog.ui->lblTargetFileName->text();
            seen_.size = dialog.ui->lblTargetFileSize->text();
            seen_.start = dialog.ui->ebStartAddr->text();
            seen_.end = dialog.ui->ebEndAddr->text();
            seen_.importEnabled = dialog.ui->btnImport->isEnabled();
            seen_.variantIndex = dialog.ui->cbTabletType->currentIndex();
            fill(dialog);
            for (int i = 0; i < presses && dialog.result() != QDialog::Accepted; ++i)
                dialog.ui->btnImport->click();
            seen_.startAfter = dialog.ui->ebStartAddr->text();
            seen_.endAfter = dialog.ui->ebEndAddr->text();
            return dialog.result();
        };
    }
    static std::function<void(TImportBin&)> choose(int item, QString start = {}, QString end = {}) {
        return [item, start, end](TImportBin& d) {
            d.ui->cbTabletType->setCurrentIndex(item);
            if (!start.isNull())
                d.ui->ebStartAddr->setText(start);
            if (!end.isNull())
                d.ui->ebEndAddr->setText(end);
        };
    }
    void import(TForm1& form, const QString& file) {
        dialogs.fileNames = {file};
        form.ui->B1->trigger();
    }

    struct Seen {
        QString name, size, start, end, startAfter, endAfter;
        bool importEnabled = true;
        int variantIndex = 0;
    } seen_;
    std::vector<uint8_t> dump_;
};

TEST_F(Import, DefaultRangeDecodesTheWholeFileWithTheChosenVariant) {
    for (int item = 0; item < 3; ++item) {
        auto form = makeForm();
        answer(choose(item));
        import(*form, path("dump.bin"));
        EXPECT_EQ(seen_.name, "dump.bin");
        EXPECT_EQ(seen_.size, "496");
        EXPECT_EQ(seen_.start, "0");
        EXPECT_EQ(seen_.end, "496");
        EXPECT_FALSE(seen_.importEnabled);
        EXPECT_EQ(seen_.variantIndex, -1);
        EXPECT_TRUE(dialogs.shown.empty());
        const Variant variant = TImportBin::kVariantItems[item].variant;
        ASSERT_NE(form->events(), nullptr);
        expectSameEvents(*decoded(variant, dump_, 0, 496), *form->events(), true);
        EXPECT_EQ(form->model()->rowCount(), form->events()->count());
        expectDataShown(*form);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    }
}

TEST_F(Import, TheDialogAsDesigned) {
    TImportBin dialog(nullptr, path("dump.bin"), dialogs, datetime::fixedClock(kFixedNow));
    EXPECT_EQ(dialog.windowTitle(), "Импорт из bin-файлов");
    EXPECT_EQ(dialog.size(), QSize(218, 189));
    const std::pair<QLabel*, QString> labels[] = {{dialog.ui->Label1, "bin-файл:"},
                                                  {dialog.ui->Label2, "Размер файла:"},
                                                  {dialog.ui->StaticText1, "Тип таблетки:"},
                                                  {dialog.ui->StaticText2, "Адрес начала"},
                                                  {dialog.ui->StaticText3, "Адрес конца"}};
    for (const auto& [label, text] : labels)
        EXPECT_EQ(label->text(), text);
    EXPECT_EQ(dialog.ui->btnImport->text(), "Импорт");
    EXPECT_EQ(dialog.ui->Button2->text(), "Отмена");
    EXPECT_FALSE(dialog.ui->cbTabletType->isEditable());
    ASSERT_EQ(dialog.ui->cbTabletType->count(), 3);
    EXPECT_EQ(dialog.ui->cbTabletType->itemText(0), "Основной вариант");
    EXPECT_EQ(dialog.ui->cbTabletType->itemText(1), "Гаражный вариант");
    EXPECT_EQ(dialog.ui->cbTabletType->itemText(2), "Военный вариант");
    EXPECT_FALSE(dialog.loadFile().has_value());
    // "Импорт" waits for a variant; pressing it anyway does nothing
    EXPECT_FALSE(dialog.ui->btnImport->isEnabled());
    dialog.btnImportClick();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.takeResult().has_value());
    dialog.ui->cbTabletType->setCurrentIndex(1);
    EXPECT_TRUE(dialog.ui->btnImport->isEnabled());
    dialog.ui->btnImport->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    expectSameEvents(*decoded(Variant::Garage, dump_, 0, 496), dialog.takeResult()->events(), true);
}

TEST_F(Import, AddressFieldsAreReadAsPlainDecimal) {
    const struct {
        QString start, end;
        size_t from, to;
    } rows[] = {
        {"16abc", " 32 ", 16, 32}, {"16", "512", 16, 496}, // see below: refused first, then mended
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.start.toStdString() + ".." + row.end.toStdString());
        dialogs.shown.clear();
        auto form = makeForm();
        if (row.end == "512") {
            answer(
                [row](TImportBin& d) {
                    choose(0, row.start, row.end)(d);
                    d.ui->btnImport->click();
                    d.ui->ebEndAddr->setText("496");
                },
                1);
        } else {
            answer(choose(0, row.start, row.end));
        }
        import(*form, path("dump.bin"));
        ASSERT_NE(form->events(), nullptr);
        expectSameEvents(*decoded(Variant::Main, dump_, row.from, row.to), *form->events(), true);
    }
}

TEST_F(Import, RangeOutsideTheFileIsRefusedAndTheFieldsStayAsTyped) {
    const std::pair<QString, QString> rows[] = {{"0", "497"}, {"100", "50"}, {"2147483648", "496"}};
    for (const auto& [start, end] : rows) {
        SCOPED_TRACE(start.toStdString() + ".." + end.toStdString());
        dialogs.shown.clear();
        auto form = makeForm();
        form->installLog(EventLog(std::move(*decoded(Variant::Main, dump_, 0, 40)), nullptr,
                                  EventLog::Origin::Import));
        const EventCollection* before = form->events();
        answer(choose(1, start, end), 3);
        import(*form, path("dump.bin"));
        ASSERT_EQ(dialogs.shown.size(), 3u);
        for (const auto& s : dialogs.shown) {
            EXPECT_EQ(s.text, kRangeRefused);
            EXPECT_EQ(s.caption, "Ошибка!");
            EXPECT_EQ(s.buttons, UserDialogs::Buttons::Ok);
            EXPECT_NE(s.owner, nullptr);
        }
        EXPECT_EQ(seen_.startAfter, start);
        EXPECT_EQ(seen_.endAfter, end);
        EXPECT_EQ(form->events(), before);
        EXPECT_FALSE(form->ui->InfoGrid->isVisibleTo(form.get()));
    }
}

// No record lies in an empty range: refused as a range outside the file is,
// the dialog kept open and the list on display kept.
TEST_F(Import, EmptyRangeIsRefusedAndTheDialogStaysOpen) {
    const std::pair<QString, QString> rows[] = {{"", ""},       {"0", "0"},      {"16", "16"},
                                                {"496", "496"}, {"abc", "0x10"}, {" 8", "8abc"}};
    for (const auto& row : rows) {
        const QString start = row.first, end = row.second;
        SCOPED_TRACE(start.toStdString() + ".." + end.toStdString());
        dialogs.shown.clear();
        auto form = makeForm();
        form->installLog(EventLog(std::move(*decoded(Variant::Main, dump_, 0, 40)), nullptr,
                                  EventLog::Origin::Import));
        const EventCollection* before = form->events();
        bool openAfterRefusal = false;
        dialogs.onExec = [&](QDialog& d) {
            auto& dialog = static_cast<TImportBin&>(d);
            choose(0, start, end)(dialog);
            dialog.ui->btnImport->click();
            openAfterRefusal = dialog.result() != QDialog::Accepted;
            seen_.startAfter = dialog.ui->ebStartAddr->text();
            seen_.endAfter = dialog.ui->ebEndAddr->text();
            // mended in the same dialog, the import goes on
            dialog.ui->ebStartAddr->setText("0");
            dialog.ui->ebEndAddr->setText("8");
            dialog.ui->btnImport->click();
            return dialog.result();
        };
        import(*form, path("dump.bin"));
        EXPECT_TRUE(openAfterRefusal);
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].text, kRangeRefused);
        EXPECT_EQ(dialogs.shown[0].caption, "Ошибка!");
        EXPECT_EQ(dialogs.shown[0].buttons, UserDialogs::Buttons::Ok);
        EXPECT_NE(dialogs.shown[0].owner, nullptr);
        EXPECT_EQ(seen_.startAfter, start);
        EXPECT_EQ(seen_.endAfter, end);
        ASSERT_NE(form->events(), nullptr);
        EXPECT_NE(form->events(), before);
        expectSameEvents(*decoded(Variant::Main, dump_, 0, 8), *form->events(), true);
    }
}

TEST_F(Import, EmptyRangeRefusedThenCancelledKeepsTheList) {
    auto form = makeForm();
    form->installLog(EventLog(std::move(*decoded(Variant::Main, dump_, 0, 40)), nullptr,
                                  EventLog::Origin::Import));
    const EventCollection* before = form->events();
    answer(choose(1, "", ""), 2);
    import(*form, path("dump.bin"));
    EXPECT_EQ(dialogs.texts(), (QStringList{kRangeRefused, kRangeRefused}));
    EXPECT_EQ(form->events(), before);
    EXPECT_EQ(form->events()->count(), 10);
    EXPECT_FALSE(form->ui->InfoGrid->isVisibleTo(form.get()));
}

TEST_F(Import, CancelKeepsTheListOnDisplay) {
    auto form = makeForm();
    form->installLog(EventLog(std::move(*decoded(Variant::Main, dump_, 0, 40)), nullptr,
                              EventLog::Origin::Import));
    const EventCollection* before = form->events();
    answer(
        [](TImportBin& d) {
            d.ui->cbTabletType->setCurrentIndex(2);
            d.ui->Button2->click();
        },
        0);
    import(*form, path("dump.bin"));
    EXPECT_EQ(form->events(), before);
    EXPECT_EQ(form->events()->count(), 10);
    // a variant never chosen: "Импорт" cannot be pressed and the dialog is closed
    answer([](TImportBin&) {});
    import(*form, path("dump.bin"));
    EXPECT_EQ(form->events(), before);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(Import, SecondImportReplacesTheFirst) {
    const auto other = randomDump(64, 9);
    writeBytes(dir_ / "other.bin", other);
    auto form = makeForm();
    answer(choose(1));
    import(*form, path("dump.bin"));
    ASSERT_EQ(form->events()->count(), 124);
    answer(choose(0));
    import(*form, path("other.bin"));
    EXPECT_EQ(seen_.name, "other.bin");
    EXPECT_EQ(seen_.size, "64");
    expectSameEvents(*decoded(Variant::Main, other, 0, 64), *form->events(), true);
    EXPECT_EQ(form->model()->rowCount(), form->events()->count());
}

// An empty file loads, but its only range is empty: nothing to import.
TEST_F(Import, EmptyFileLoadsWithAddressesZeroAndImportsNothing) {
    writeBytes(dir_ / "empty.bin", {});
    auto form = makeForm();
    answer(choose(0));
    import(*form, path("empty.bin"));
    EXPECT_EQ(seen_.size, "0");
    EXPECT_EQ(seen_.start, "0");
    EXPECT_EQ(seen_.end, "0");
    EXPECT_EQ(form->events(), nullptr);
    EXPECT_EQ(dialogs.texts(),
              QStringList{"Адреса вне файла.\nАдрес начала и адрес конца должны лежать в "
                          "пределах от 0 до 0, и адрес конца не может быть меньше адреса "
                          "начала."});
}

TEST_F(Import, FilesThatAreNoDumpAreRefusedBeforeTheDialog) {
    std::filesystem::create_directory(dir_ / "folder");
    {
        std::ofstream(dir_ / "huge.bin").close();
        std::filesystem::resize_file(dir_ / "huge.bin", 2ull << 30);
    }
    const std::pair<QString, QString> rows[] = {
        {path("missing.bin"), kOpenFailed},
        {path("huge.bin"), "Файл слишком велик: 2147483648 байт, допустимо не более 8388608."},
    };
    for (const auto& [file, message] : rows) {
        SCOPED_TRACE(file.toStdString());
        dialogs.shown.clear();
        dialogs.executed.clear();
        auto form = makeForm();
        import(*form, file);
        ASSERT_EQ(dialogs.texts(), QStringList{message});
        EXPECT_EQ(dialogs.shown[0].caption, "Ошибка!");
        EXPECT_EQ(dialogs.shown[0].owner, nullptr);
        EXPECT_EQ(dialogs.shown[0].buttons, UserDialogs::Buttons::Ok);
        EXPECT_TRUE(dialogs.executed.isEmpty());
        EXPECT_EQ(form->events(), nullptr);
        EXPECT_FALSE(form->ui->InfoGrid->isVisibleTo(form.get()));
    }
}

TEST_F(Import, FileDialogOfItsOwnThatTakesAnyName) {
    auto form = makeForm();
    form->B1Click(); // cancelled
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_TRUE(dialogs.executed.isEmpty());
    const UserDialogs::FileDialog& d = dialogs.fileDialogs[0];
    EXPECT_EQ(d.owner, form.get());
    EXPECT_EQ(d.name, "ImportFileDialog");
    EXPECT_FALSE(d.save);
    EXPECT_FALSE(d.mustExist); // a missing file is reported by the import itself
    EXPECT_FALSE(d.kept);      // made for this import only
}

TEST_F(Import, FailingDecoderInstallsNothing) {
    AppEnvironment env;
    env.dialogs = &dialogs;
    env.libraryPath = IBFS32_PATH;
    env.clock = []() -> double { throw std::runtime_error("clock"); };
    TForm1 form(env);
    form.createDialogs();
    answer(choose(2)); // the military variant dates each record from the clock
    import(form, path("dump.bin"));
    EXPECT_EQ(dialogs.texts(), QStringList{"Ошибка декодирования данных."});
    EXPECT_EQ(form.events(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(Import, BusyCursorWhileTheListIsPutOnDisplay) {
    auto form = makeForm();
    std::vector<Qt::CursorShape> shapes;
    QObject::connect(form->model(), &QAbstractItemModel::modelReset, [&] {
        const QCursor* c = QGuiApplication::overrideCursor();
        shapes.push_back(c ? c->shape() : Qt::ArrowCursor);
    });
    writeBytes(dir_ / "log.log", {});
    dialogs.fileNames = {path("log.log")};
    form->MenuOpenClick();
    answer(choose(0));
    import(*form, path("dump.bin"));
    EXPECT_FALSE(shapes.empty());
    for (Qt::CursorShape shape : shapes)
        EXPECT_EQ(shape, Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
