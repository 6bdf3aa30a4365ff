// Writing the read command onto a tablet from the write-command dialog.
#include "AppTestSupport.h"
#include "ReadCommandRecord.h"
#include "TForm4.h"
#include "TabletDataWriterHelper.h"
#include "ui_TForm1.h"
#include "ui_TForm4.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

const QString kWriteFailure = "Не удалось записать данные.";
const QString kSucceeded = "Данные успешно записаны. Для продолжения работы нажмите ОК";
const QString kFailed = "Данные не записаны.";
const QString kLibraryFailure = "Не найдена IBFS32.DLL или не все функции были загружены";
const QString kDriverFailure = "Не найдено драйвера для данного типа устройства";
const QString kSetupFailure = "TMEX Setup Flag не равен 1 или 2";
const QString kIdle = "Для считывания данных выберите Файл->Считать данные";

constexpr const char* kSerial = "0A1B2C3D4E00";
constexpr std::array<uint8_t, 8> kRom = {0x04, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x00, 0x00};

using Answer = UserDialogs::Answer;

class WriteCommand : public AppTest {
protected:
    // N5Click with the dialog shown and left to the test (no loop of its own).
    TForm4& open(TForm1& form) {
        dialogs.onExec = [](QDialog& d) {
            d.show();
            return int(QDialog::Rejected);
        };
        form.N5Click();
        return *form.form4();
    }

    // Presses "Записать" and waits until `handlers` finish handlers have run.
    bool write(TForm4& dialog, int handlers = 1) {
        int handled = 0;
        auto c = QObject::connect(&dialog, &TForm4::writeHandled, [&] { ++handled; });
        dialog.ui->Button1->click();
        const bool ok = QTest::qWaitFor([&] { return handled >= handlers; }, 10000);
        QObject::disconnect(c);
        return ok;
    }

    // A blank DS1994 alone on the adapter; its memory image.
    std::vector<uint8_t> blankTablet(const std::string& name) {
        EXPECT_EQ(sim("new " + name + " --serial " + kSerial), 0);
        EXPECT_EQ(sim("put " + name), 0);
        return withoutClock(dump(name));
    }

    // What the program's one builder makes for this tablet.
    static std::vector<uint8_t> record(uint8_t version) {
        const auto r = ReadCommandRecord::build(kRom, version);
        return {r.begin(), r.end()};
    }

    static std::vector<uint8_t> withRecord(std::vector<uint8_t> image, uint8_t version) {
        const auto r = record(version);
        std::copy(r.begin(), r.end(), image.begin());
        return image;
    }

    static QStringList failureTexts(const QString& first) { return {first, kFailed}; }
};

// The real seam's box of the failed write: the platform's Russian labels, and
// each button its answer.
TEST(WriteFailureBox, CancelTryAgainContinueInRussian) {
    struct Row {
        QMessageBox::StandardButton pressed;
        UserDialogs::Answer answer;
    } rows[] = {{QMessageBox::Cancel, Answer::Cancel},
                {QMessageBox::Retry, Answer::Retry},
                {QMessageBox::Ignore, Answer::Continue}};
    for (const Row& row : rows) {
        QStringList labels;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            for (auto* b : box->buttons())
                labels << b->text().remove('&');
            EXPECT_EQ(box->windowTitle(), "Ошибка");
            EXPECT_EQ(box->text(), kFailed);
            box->button(row.pressed)->click();
        });
        WidgetDialogs seam;
        UserDialogs::Message m;
        m.text = kFailed;
        m.caption = "Ошибка";
        m.buttons = UserDialogs::Buttons::CancelRetryContinue;
        EXPECT_EQ(seam.show(m), row.answer);
        labels.sort();
        EXPECT_EQ(labels, (QStringList{"Отмена", "Повторить", "Продолжить"}));
    }
}

TEST_F(WriteCommand, DialogAsDesignedAndVersion02SelectedFirst) {
    auto form = makeForm();
    TForm4& d = open(*form);
    const Ui::TForm4& ui = *d.ui;
    EXPECT_EQ(d.windowTitle(), "Запись команды чтения");
    EXPECT_GE(d.width(), 402);
    EXPECT_GE(d.height(), 128);
    d.show(); // laid out as the user sees it: every text whole
    for (QWidget* w : std::initializer_list<QWidget*>{ui.Label1, ui.Label2, ui.ComboBox1})
        EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
    EXPECT_EQ(ui.Label1->text(), "Для записи команды выберите версию и нажмите кнопку записать.");
    EXPECT_EQ(ui.Label2->text(), "Версия записываемой команды");
    ASSERT_EQ(ui.ComboBox1->count(), 2);
    EXPECT_EQ(ui.ComboBox1->itemText(0), "Версия 01 (основной вариант)");
    EXPECT_EQ(ui.ComboBox1->itemText(1), "Версия 02 (гаражный вариант) ");
    EXPECT_EQ(ui.ComboBox1->currentIndex(), 1);
    EXPECT_EQ(ui.Button1->text(), "Записать");
    EXPECT_EQ(ui.Button2->text(), "Отмена");
    EXPECT_EQ(d.writer(), nullptr);
}

TEST_F(WriteCommand, SelectionKeptBetweenOpenings) {
    auto form = makeForm();
    TForm4& d = open(*form);
    d.ui->ComboBox1->setCurrentIndex(0);
    d.ui->Button2->click(); // Отмена
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(&open(*form), &d);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.ui->ComboBox1->currentIndex(), 0);
    EXPECT_EQ(dialogs.executed, (QStringList{"TForm4", "TForm4"}));
}

TEST_F(WriteCommand, NoTabletFailsAtOnce) {
    ASSERT_EQ(sim("remove"), 0);
    auto form = makeForm();
    TForm4& d = open(*form);
    ASSERT_TRUE(write(d));
    EXPECT_EQ(dialogs.texts(), failureTexts(kWriteFailure));
    // the writer's own box: no owner, the system's default caption, OK only
    EXPECT_EQ(dialogs.shown[0].owner, nullptr);
    EXPECT_EQ(dialogs.shown[0].caption, "Error");
    EXPECT_EQ(dialogs.shown[0].buttons, UserDialogs::Buttons::Ok);
    EXPECT_EQ(dialogs.shown[1].owner, nullptr);
    EXPECT_EQ(dialogs.shown[1].caption, "Ошибка");
    EXPECT_EQ(dialogs.shown[1].buttons, UserDialogs::Buttons::CancelRetryContinue);
    EXPECT_FALSE(d.writer()->Succeeded());
}

// The writer's statuses in the user's words; what each leaves on the tablet is
// the writer thread's own test.
TEST_F(WriteCommand, SessionAndLibraryFailuresWithTheWritersTexts) {
    struct Row {
        QString library;
        const char* fault;
        QString text;
    } rows[] = {
        {IBFS32_PATH, "no-port-driver", kDriverFailure},
        {IBFS32_PATH, "setup=0", kSetupFailure},
        {"/nonexistent/libIBFS32.so", "none", kLibraryFailure},
    };
    for (const Row& row : rows) {
        auto form = makeForm(row.library);
        ASSERT_EQ(sim(std::string("fault ") + row.fault), 0);
        dialogs.shown.clear();
        TForm4& d = open(*form);
        ASSERT_TRUE(write(d)) << row.fault;
        EXPECT_EQ(dialogs.texts(), failureTexts(row.text)) << row.fault;
        EXPECT_EQ(dialogs.shown[0].caption, "Error") << row.fault;
        form->close();
    }
}
TEST_F(WriteCommand, TryAgainWritesWithTheVersionSelectedNow) {
    const auto before = blankTablet("t");
    auto form = makeForm();
    ASSERT_EQ(sim("fault flip-bits=1"), 0); // the first read-back only
    dialogs.answers = {Answer::Ok, Answer::Retry, Answer::Ok};
    TForm4& d = open(*form);
    ASSERT_EQ(d.ui->ComboBox1->currentIndex(), 1);
    int handled = 0;
    QObject::connect(&d, &TForm4::writeHandled, [&] { ++handled; });
    d.ui->Button1->click();
    const uint16_t firstVersion = d.writer()->version();
    d.ui->ComboBox1->setCurrentIndex(0); // chosen while the first writer runs
    ASSERT_TRUE(QTest::qWaitFor([&] { return handled == 2; }, 10000));
    EXPECT_EQ(dialogs.texts(), (QStringList{kWriteFailure, kFailed, kSucceeded}));
    EXPECT_EQ(firstVersion, 2);
    EXPECT_EQ(d.writer()->version(), 1);
    EXPECT_EQ(withoutClock(dump("t")), withRecord(before, 1));
    EXPECT_FALSE(d.isVisible());
}

TEST_F(WriteCommand, CancelClosesContinueKeepsTheDialogAndItsSelection) {
    ASSERT_EQ(sim("remove"), 0);
    auto form = makeForm();
    TForm4& d = open(*form);
    d.ui->ComboBox1->setCurrentIndex(0);
    dialogs.answers = {Answer::Ok, Answer::Continue};
    ASSERT_TRUE(write(d));
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.ui->ComboBox1->currentIndex(), 0);
    EXPECT_TRUE(d.ui->Button1->isEnabled());
    EXPECT_TRUE(d.ui->Button2->isEnabled());
    dialogs.answers = {Answer::Ok, Answer::Cancel};
    ASSERT_TRUE(write(d));
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(dialogs.texts(), (QStringList{kWriteFailure, kFailed, kWriteFailure, kFailed}));
}

TEST_F(WriteCommand, OneWriterAtATimeAndClosingWaitsForIt) {
    // what the slots below count outlives the form, whose end ends the writer
    int handled = 0;
    bool replaced = false;
    blankTablet("t");
    auto form = makeForm();
    TForm4& d = open(*form);
    dialogs.answers = {Answer::Ok};
    QObject::connect(&d, &TForm4::writeHandled, [&] { ++handled; });
    d.ui->Button1->click();
    // the outcome comes through this thread's event loop, which has not run yet
    const TabletDataWriterHelper* writer = d.writer();
    EXPECT_FALSE(d.ui->Button1->isEnabled());
    EXPECT_FALSE(d.ui->Button2->isEnabled());
    QObject::connect(writer, &QObject::destroyed, [&] { replaced = true; });
    d.Button1Click();
    EXPECT_FALSE(replaced);
    EXPECT_EQ(d.writer(), writer);
    d.close();
    EXPECT_TRUE(d.isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return handled == 1; }, 10000));
    EXPECT_EQ(dialogs.texts(), QStringList{kSucceeded});
    EXPECT_FALSE(d.isVisible());
}

TEST_F(WriteCommand, AFailureAfterACloseRequestClosesOnContinue) {
    ASSERT_EQ(sim("remove"), 0);
    auto form = makeForm();
    TForm4& d = open(*form);
    dialogs.answers = {Answer::Ok, Answer::Continue};
    int handled = 0;
    QObject::connect(&d, &TForm4::writeHandled, [&] { ++handled; });
    d.ui->Button1->click();
    d.close();
    EXPECT_TRUE(d.isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return handled == 1; }, 10000));
    EXPECT_EQ(dialogs.texts(), failureTexts(kWriteFailure));
    EXPECT_FALSE(d.isVisible());
}

TEST_F(WriteCommand, ClosingTheProgramWaitsForTheRunningWriter) {
    const auto before = blankTablet("t");
    auto form = makeForm();
    TForm4& d = open(*form);
    d.ui->Button1->click();
    form->close();
    form.reset(); // the writer ends its work before the dialog goes
    EXPECT_EQ(withoutClock(dump("t")), withRecord(before, 2));
    EXPECT_TRUE(dialogs.texts().isEmpty()); // its outcome had no dialog left to reach
}

TEST_F(WriteCommand, AReadOutWaitingForATabletIsStoppedFirst) {
    ASSERT_EQ(sim("remove"), 0);
    auto form = makeForm();
    form->MenuStartClick();
    ASSERT_TRUE(form->reader()->isRunning());
    TForm4& d = open(*form);
    d.ui->Button1->click();
    // stopped as "Прекратить считывание" does, and ended before the writer began
    EXPECT_TRUE(form->reader()->terminationRequested());
    EXPECT_TRUE(form->reader()->isFinished());
    EXPECT_EQ(form->ui->Label1->text(), kIdle);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !d.writerRunning() && !dialogs.shown.empty(); }));
    EXPECT_EQ(dialogs.texts(), failureTexts(kWriteFailure));
}

TEST_F(WriteCommand, ServiceVisitFromBlankTabletToEvents) {
    blankTablet("visit");
    auto form = makeForm();
    TForm4& d = open(*form);
    ASSERT_TRUE(write(d));
    ASSERT_EQ(dialogs.texts(), QStringList{kSucceeded});
    EXPECT_EQ(dialogs.shown[0].caption, "Операция завершена");
    EXPECT_EQ(dialogs.shown[0].buttons, UserDialogs::Buttons::Ok);
    EXPECT_EQ(dialogs.shown[0].owner, nullptr);
    EXPECT_FALSE(d.isVisible()); // closed after success
    EXPECT_TRUE(d.writer()->Succeeded());
    // the controller accepts only a tablet carrying a read command for it
    ASSERT_EQ(sim("controller visit --variant main --events 20"), 0);
    dialogs.shown.clear();
    ASSERT_TRUE(readOut(*form));
    ASSERT_EQ(dialogs.texts(), QStringList{"Данные считаны. Отобразить информацию о событиях?"});
    const auto bytes = dump("visit");
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8), record(2));
    const auto expected = makeParser(Variant::Main, datetime::fixedClock(kFixedNow))
                              ->decodeImage(std::span<const uint8_t>(bytes), 512);
    ASSERT_GT(expected->count(), 0);
    ASSERT_EQ(form->events()->count(), expected->count());
    for (int i = 0; i < expected->count(); ++i)
        EXPECT_EQ(form->events()->at(i).infoText, expected->at(i).infoText);
    EXPECT_TRUE(form->ui->InfoGrid->isVisibleTo(form.get()));
    EXPECT_EQ(form->statusPanel(0)->text(), "Номер устройства: 7");
}

} // namespace
