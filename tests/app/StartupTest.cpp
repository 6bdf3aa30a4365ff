// Start-up, the main window's initial state, resizing and closing.
#include "AppTestSupport.h"
#include "Localization.h"
#include "TStatusForm.h"
#include "ui_TForm1.h"
#include "ui_TStatusForm.h"

#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace {

class Startup : public AppTest {};

TEST_F(Startup, EachFailureShowsExactlyItsMessageAndEndsTheProgram) {
    struct Row {
        const char* name;
        QString library;
        const char* fault;
        QString text;
        QString caption;
        bool ownedByWindow;
        bool headerSetUp;
    } rows[] = {
        {"missing library", QString(IBFS32_PATH) + ".missing", "none",
         "ERROR, could not load IBFS32.DLL, or not all needed functions found\n", "Error!", false,
         false},
        {"entry point missing", IBFS32_WITHOUT_NEXT_PATH, "none",
         "ERROR, could not load IBFS32.DLL, or not all needed functions found\n", "Error!", false,
         false},
        {"no port driver", IBFS32_PATH, "no-port-driver",
         "\nNo Hardware Driver for this type found!\n", "ERROR", true, false},
        {"setup 0", IBFS32_PATH, "setup=0", "TMEX Setup Flag is not 1 or 2", "Error", true, true},
        {"setup 3", IBFS32_PATH, "setup=3", "TMEX Setup Flag is not 1 or 2", "Error", true, true},
    };
    for (const Row& row : rows) {
        ASSERT_EQ(sim(std::string("fault ") + row.fault), 0);
        dialogs.shown.clear();
        auto form = makeForm(row.library);
        ASSERT_EQ(dialogs.shown.size(), 1u) << row.name;
        EXPECT_EQ(dialogs.shown[0].text, row.text) << row.name;
        EXPECT_EQ(dialogs.shown[0].caption, row.caption) << row.name;
        EXPECT_EQ(dialogs.shown[0].owner, row.ownedByWindow ? form.get() : nullptr) << row.name;
        EXPECT_EQ(dialogs.shown[0].buttons, UserDialogs::Buttons::Ok);
        EXPECT_TRUE(form->closeAtStart()) << row.name;
        EXPECT_FALSE(form->isVisible()) << row.name;
        const QTableView* grid = form->ui->InfoGrid;
        EXPECT_EQ(grid->columnWidth(0) != grid->horizontalHeader()->defaultSectionSize(),
                  row.headerSetUp)
            << row.name;
    }
}

TEST(Localization, StandardButtonsSpeakRussian) {
    ASSERT_TRUE(installRussian());
    QMessageBox box(QMessageBox::NoIcon, "", "",
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel | QMessageBox::Retry);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove('&'), "Да");
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove('&'), "Нет");
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().remove('&'), "Отмена");
    EXPECT_EQ(QLocale().toString(QDate(2020, 2, 29), QLocale::ShortFormat), "29.02.2020");
}

TEST_F(Startup, LibraryWithoutCrcAndResetStartsNormally) {
    auto form = makeForm(IBFS32_WITHOUT_CRC_PATH);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_FALSE(form->closeAtStart());
    EXPECT_TRUE(form->versionText().contains("USB"));
}

TEST_F(Startup, InitialStateOfMenuToolbarAndWindow) {
    auto form = makeForm();
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_FALSE(form->closeAtStart());
    Ui::TForm1& ui = *form->ui;
    EXPECT_EQ(form->windowTitle(), "TMEX[*]"); // shown as "TMEX" while nothing is unsaved
    EXPECT_FALSE(form->isWindowModified());
    EXPECT_FALSE(ui.MenuSave->isEnabled());
    for (QAction* a : {ui.MenuOpen, ui.MenuStart, ui.MenuStop, ui.N5, ui.B1, ui.MenuExportExcel,
                       ui.MenuInfo, ui.MenuExit, ui.MenuAbout, ui.btnShowEventBinary})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    for (QToolButton* b : {ui.SpeedButOpen, ui.SpeedButSave, ui.SpeedButStart, ui.SpeedButStop,
                           ui.SpeedButInfo, ui.SpeedButExport}) {
        EXPECT_TRUE(b->isEnabled());
        EXPECT_EQ(b->size(), QSize(23, 22));
        EXPECT_TRUE(b->autoRaise());
        EXPECT_FALSE(b->icon().isNull());
    }
    EXPECT_EQ(ui.SpeedButStart->x(), 48);
    EXPECT_EQ(ui.SpeedButExport->x(), 120);
    EXPECT_EQ(ui.SpeedButStop->toolTip(), "Прекратить считывание данных");
    EXPECT_EQ(ui.MenuSave->shortcut(), QKeySequence("Ctrl+S"));
    EXPECT_EQ(ui.MenuOpen->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_TRUE(ui.btnShowEventBinary->isCheckable());
    EXPECT_FALSE(ui.btnShowEventBinary->isChecked());
    EXPECT_FALSE(ui.InfoGrid->isVisibleTo(form.get()));
    EXPECT_EQ(ui.Label1->text(), "Для считывания данных  выберите Файл->Считать данные");
    EXPECT_EQ(form->statusPanel(0)->width(), 250);
    EXPECT_TRUE(form->statusPanel(0)->text().isEmpty());
    EXPECT_TRUE(form->statusPanel(1)->text().isEmpty());
    EXPECT_EQ(ui.InfoGrid->columnWidth(6), 0);
    EXPECT_EQ(ui.InfoGrid->columnWidth(4), 70);
    EXPECT_EQ(ui.InfoGrid->columnWidth(1), ui.InfoGrid->columnWidth(3));
    EXPECT_TRUE(form->reader()->suspended());
}

TEST_F(Startup, PromptStaysCentredOnResize) {
    auto form = makeForm();
    form->show();
    for (QSize size : {QSize(695, 565), QSize(1001, 707), QSize(400, 300), QSize(1280, 1024)}) {
        form->resize(size);
        QApplication::processEvents();
        const QWidget* client = form->ui->ClientArea;
        const QLabel* label = form->ui->Label1;
        EXPECT_EQ(label->x(), client->width() / 2 - label->width() / 2) << size.width();
        EXPECT_EQ(label->y(), client->height() / 2 - label->height() / 2) << size.height();
    }
}

TEST_F(Startup, InformationBeforeAnyReadOut) {
    auto form = makeForm();
    form->MenuInfoClick();
    ASSERT_EQ(dialogs.executed, QStringList{"TStatusForm"});
    const auto& ui = *form->statusForm()->ui;
    EXPECT_TRUE(ui.Edit1->text().isEmpty());
    EXPECT_TRUE(ui.Edit2->text().isEmpty());
    EXPECT_EQ(ui.Edit3->text(), form->versionText());
    EXPECT_FALSE(ui.Edit3->text().isEmpty());
    for (auto* edit : {ui.VerEdit, ui.SerialEdit, ui.DeviceNameEdit, ui.CurTimeEdit})
        EXPECT_TRUE(edit->text().isEmpty());
    form->MenuAboutClick();
    form->N5Click();
    EXPECT_EQ(dialogs.executed, (QStringList{"TStatusForm", "TAbout", "TForm4"}));
}

TEST_F(Startup, ClosingDuringASearchEndsPromptly) {
    ASSERT_EQ(sim("remove"), 0);
    setenv("ONEWIRE_SIM_TIMING", "on", 1);
    auto form = makeForm();
    form->show();
    form->MenuStartClick();
    QTest::qWait(100);
    ASSERT_TRUE(form->reader()->isRunning());
    QElapsedTimer timer;
    timer.start();
    form->close();
    EXPECT_LT(timer.elapsed(), 1000) << "closing never waits for a tablet";
    EXPECT_EQ(form->reader(), nullptr);
}

TEST_F(Startup, StartKeepsASearchingReaderAndStopEndsIt) {
    ASSERT_EQ(sim("remove"), 0);
    setenv("ONEWIRE_SIM_TIMING", "on", 1);
    auto form = makeForm();
    form->MenuStartClick();
    const quint64 first = form->reader()->id();
    EXPECT_EQ(form->ui->Label1->text(), "Поднесите электронный ключ DS1994 к адаптеру");
    form->MenuStartClick();
    EXPECT_EQ(form->reader()->id(), first) << "two readers never search one port";
    form->MenuStopClick();
    EXPECT_EQ(form->ui->Label1->text(), "Для считывания данных выберите Файл->Считать данные");
    EXPECT_TRUE(form->reader()->wait(2000));
    form->MenuStartClick();
    EXPECT_NE(form->reader()->id(), first);
    EXPECT_TRUE(form->reader()->isRunning());
    form->close();
}

TEST_F(Startup, StopBeforeTheFirstStartThenStartReads) {
    auto form = makeForm();
    form->MenuStopClick();
    const quint64 startup = form->reader()->id();
    ASSERT_TRUE(readOut(*form));
    EXPECT_NE(form->reader()->id(), startup);
    EXPECT_EQ(dialogs.texts().last(), "Данные считаны. Отобразить информацию о событиях?");
}

} // namespace
