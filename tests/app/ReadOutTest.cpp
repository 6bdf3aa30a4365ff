// What the window shows of a read-out: its messages, its question, the
// information lines, the table and the time correction through its dialog.
#include "AppTestSupport.h"
#include "TStatusForm.h"
#include "events/DecoderTestSupport.h"
#include "ui_TStatusForm.h"

#include <QLabel>
#include <QTimeZone>
#include <dlfcn.h>

namespace {

const QString kQuestion = "Данные считаны. Отобразить информацию о событиях?";
const QString kUnknown = "Неизвестный номер таблетки. Данные не могут быть отображены";
const QString kIdle = "Для считывания данных выберите Файл->Считать данные";
const QString kWaiting = "Поднесите электронный ключ DS1994 к адаптеру";
const QString kRemoved = "Электронный ключ убран до окончания чтения. Попробуйте еще раз.";
const QString kSum = "Ошибка проверки контрольной суммы памяти событий.\r\n Данные считаны "
                     "некорректно.\r\n Попробуйте еще раз.";
const QString kAdapter = "Ошибка адаптера 1-Wire во время чтения. Проверьте подключение адаптера "
                         "и попробуйте еще раз.";

class ReadOut : public AppTest {
protected:
    const Ui::TStatusForm& info(TForm1& form) { return *form.statusForm()->ui; }
    // A list on display before the read-out.
    static const EventCollection* listBefore(TForm1& form) {
        auto events = makeParser(Variant::Main)->decodeImage(std::vector<uint8_t>(512, 0xFF), 512);
        form.installLog(EventLog(std::move(*events), nullptr, EventLog::Origin::File));
        return form.events();
    }
};

TEST_F(ReadOut, AReadTabletIsShownInTheLinesAndTheTable) {
    filledTablet("t", "--variant garage --device 3", "--serial 0A1B2C3D4E00");
    auto form = makeForm();
    ASSERT_TRUE(readOut(*form));
    ASSERT_EQ(dialogs.texts(), QStringList{kQuestion});
    EXPECT_EQ(dialogs.shown[0].buttons, UserDialogs::Buttons::YesNo);
    EXPECT_EQ(dialogs.shown[0].caption, "");
    EXPECT_EQ(dialogs.shown[0].owner, nullptr);
    EXPECT_EQ(form->readOutResult(), 4);
    EXPECT_EQ(info(*form).VerEdit->text(), "Версия DS1994");
    // the key is rotated, so the serial line shows the read command's bytes
    EXPECT_TRUE(info(*form).SerialEdit->text().startsWith("Серийный номер: "));
    EXPECT_EQ(info(*form).SerialEdit->text().size(), 16 + 12);
    EXPECT_EQ(info(*form).DeviceNameEdit->text(), "Номер устройства: 3");
    EXPECT_EQ(form->statusPanel(0)->text(), "Номер устройства: 3");
    const QString today =
        QLocale().toString(QDateTime::currentDateTimeUtc().date(), QLocale::ShortFormat);
    EXPECT_EQ(info(*form).CurTimeEdit->text(), "Текущие дата/время на таблетке: " + today);
    EXPECT_EQ(form->statusPanel(1)->text(), info(*form).CurTimeEdit->text());
    expectDataShown(*form);
    ASSERT_NE(form->events(), nullptr);
    EXPECT_EQ(form->events()->count(), 124);
    EXPECT_EQ(form->model()->rowCount(), 124);
}

TEST_F(ReadOut, AFailedCheckShowsItsMessageThenTheUnknownTablet) {
    TabletImage broken = craftedImage(7, {mainWord(0, 8, 1000)});
    broken.bytes()[200] ^= 0x01;
    craftedTablet("sum", broken);
    auto form = makeForm();
    form->statusForm()->ui->SerialEdit->setText("from before");
    ASSERT_TRUE(readOut(*form));
    ASSERT_EQ(dialogs.texts(), (QStringList{kSum, kUnknown}));
    EXPECT_EQ(dialogs.shown[0].icon, UserDialogs::Icon::Error);
    EXPECT_EQ(dialogs.shown[0].caption, "Ошибка");
    EXPECT_EQ(form->readOutResult(), 254);
    EXPECT_EQ(form->ui->Label1->text(), kIdle);
    EXPECT_EQ(info(*form).VerEdit->text(), "Версия DS1994");
    EXPECT_TRUE(info(*form).SerialEdit->text().isEmpty());
    EXPECT_TRUE(form->statusPanel(0)->text().isEmpty());
    EXPECT_EQ(form->events(), nullptr);
    EXPECT_FALSE(form->ui->InfoGrid->isVisibleTo(form.get()));
}

TEST_F(ReadOut, OtherFamiliesKeepTheLinesOrClearThemForAnUnknownTablet) {
    const struct {
        uint8_t device;
        bool decodes;
    } rows[] = {{8, true}, {0, false}};
    int n = 0;
    for (const auto& row : rows) {
        craftedTablet("f" + std::to_string(n++), craftedImage(row.device, {mainWord(0, 8, 1000)}),
                      "--model ds1994 --family 6");
        dialogs.shown.clear();
        auto form = makeForm();
        form->statusForm()->ui->SerialEdit->setText("from before");
        ASSERT_TRUE(readOut(*form));
        EXPECT_EQ(info(*form).VerEdit->text(), "Версия DS1993");
        EXPECT_EQ(form->readOutResult(), 6);
        EXPECT_EQ(dialogs.texts(), QStringList{row.decodes ? kQuestion : kUnknown});
        EXPECT_EQ(info(*form).SerialEdit->text(), row.decodes ? "from before" : "");
        EXPECT_EQ(form->events() != nullptr, row.decodes);
    }
}

TEST_F(ReadOut, ATabletLiftedDuringTheReadLeavesTheListAsItWas) {
    filledTablet("lift", "--variant main");
    ASSERT_EQ(sim("fault remove-after=200"), 0);
    auto form = makeForm();
    const EventCollection* before = listBefore(*form);
    ASSERT_TRUE(readOut(*form));
    ASSERT_EQ(dialogs.texts(), QStringList{kRemoved});
    EXPECT_EQ(dialogs.shown[0].icon, UserDialogs::Icon::Error);
    EXPECT_EQ(form->readOutResult(), 254);
    EXPECT_EQ(form->ui->Label1->text(), kIdle);
    EXPECT_EQ(form->events(), before);
    EXPECT_FALSE(form->ui->InfoGrid->isVisibleTo(form.get()));
}

TEST_F(ReadOut, AnAdapterFailingMidReadHasItsOwnMessageThenStops) {
    void* library = dlopen(IBFS32_SCRIPTED_PATH, RTLD_NOW);
    ASSERT_NE(library, nullptr);
    auto searchResult =
        reinterpret_cast<void (*)(int16_t)>(dlsym(library, "scriptedTmexSearchResult"));
    auto touchesLeft = reinterpret_cast<void (*)(long)>(dlsym(library, "scriptedTmexTouchesLeft"));
    ASSERT_TRUE(searchResult && touchesLeft);
    searchResult(1);
    touchesLeft(103); // the command and 100 bytes of memory
    auto form = makeForm(IBFS32_SCRIPTED_PATH);
    const EventCollection* before = listBefore(*form);
    ASSERT_TRUE(readOut(*form));
    searchResult(0);
    touchesLeft(-1);
    ASSERT_EQ(dialogs.texts(), QStringList{kAdapter});
    EXPECT_EQ(dialogs.shown[0].caption, "Ошибка");
    EXPECT_EQ(dialogs.shown[0].icon, UserDialogs::Icon::Error);
    EXPECT_EQ(dialogs.shown[0].owner, form.get());
    EXPECT_EQ(form->ui->Label1->text(), kIdle);
    EXPECT_TRUE(form->reader()->terminationRequested()) << "Stop has run";
    EXPECT_EQ(form->events(), before);
    EXPECT_TRUE(info(*form).VerEdit->text().isEmpty());
    form->close();
    dlclose(library);
}

TEST_F(ReadOut, AnsweringNoLeavesTheTableHiddenAndTheListAsItWas) {
    auto form = makeForm();
    ASSERT_TRUE(readOut(*form));
    const EventCollection* first = form->events();
    ASSERT_NE(first, nullptr);
    dialogs.answers = {UserDialogs::Answer::No};
    ASSERT_TRUE(readOut(*form));
    EXPECT_EQ(form->events(), first);
    EXPECT_FALSE(form->ui->InfoGrid->isVisibleTo(form.get()));
    EXPECT_EQ(form->ui->Label1->text(), kWaiting);
}

TEST_F(ReadOut, DriverFailuresOnStartHaveTheirMessages) {
    auto form = makeForm();
    ASSERT_TRUE(readOut(*form)); // the start-up reader has run: Start opens the driver
    dialogs.shown.clear();
    ASSERT_EQ(sim("fault no-port-driver"), 0);
    form->MenuStartClick();
    EXPECT_EQ(dialogs.texts(), QStringList{"\nNo Hardware Driver for this type found!\n"});
    EXPECT_EQ(dialogs.shown[0].owner, form.get());
    EXPECT_EQ(dialogs.shown[0].caption, "ERROR");
    EXPECT_FALSE(form->closeAtStart());
    EXPECT_EQ(form->ui->Label1->text(), kWaiting);
    ASSERT_EQ(sim("fault setup=0"), 0);
    dialogs.shown.clear();
    form->MenuStartClick();
    EXPECT_EQ(dialogs.texts(), QStringList{"TMEX Setup Flag is not 1 or 2"});
    EXPECT_EQ(dialogs.shown[0].caption, "Error");
    ASSERT_EQ(sim("fault none"), 0);
    dialogs.shown.clear();
    ASSERT_TRUE(readOut(*form));
    EXPECT_EQ(dialogs.texts(), QStringList{kQuestion});
}

// A main-variant list with power-loss markers at 3 and 8: one segment is 3..7.
TabletImage segmentImage() {
    std::vector<uint32_t> words;
    for (uint32_t i = 0; i < 12; ++i)
        words.push_back(i == 3 || i == 8 ? mainWord(15, 2, 600000 - 60 * i)
                                         : mainWord(0, 8, 600000 - 60 * i));
    return craftedImage(7, words);
}

class TimeCorrection : public ReadOut {
protected:
    // Both pickers moved, so that a shift over midnight is one shift.
    static void shiftPickers(TDateTimeSelect& d, int seconds) {
        const QDateTime t =
            QDateTime(d.ui->DatePicker->date(), d.ui->TimePicker->time(), QTimeZone::utc())
                .addSecs(seconds);
        d.ui->DatePicker->setDate(t.date());
        d.ui->TimePicker->setTime(t.time());
    }
    std::unique_ptr<TForm1> shownList(const TabletImage& image) {
        craftedTablet("seg", image);
        auto form = makeForm();
        EXPECT_TRUE(readOut(*form));
        before_.clear();
        for (const EventInfo& e : *form->events())
            before_.push_back(e.time);
        return form;
    }
    void pick(std::function<void(TDateTimeSelect&)> change, int result = QDialog::Accepted) {
        dialogs.onExec = [change, result](QDialog& d) {
            change(static_cast<TDateTimeSelect&>(d));
            return result;
        };
    }
    std::vector<double> before_;
};

TEST_F(TimeCorrection, TheDialogsTimeMovesTheSegmentOnDisplay) {
    auto form = shownList(segmentImage());
    pick([](TDateTimeSelect& d) { shiftPickers(d, 3600); });
    form->InfoGridDblClick(form->model()->index(5, 2));
    for (int i = 0; i < form->events()->count(); ++i)
        EXPECT_NEAR(form->events()->at(i).time - before_[static_cast<size_t>(i)],
                    i >= 3 && i <= 7 ? 1.0 / 24 : 0.0, 1e-6)
            << i;
    EXPECT_EQ(form->model()->data(form->model()->index(4, 5), Qt::DisplayRole).toString(),
              "Время отредактировано вручную");
    EXPECT_TRUE(form->log()->modified());
    // a new date keeps the time of day
    pick(
        [](TDateTimeSelect& d) { d.ui->DatePicker->setDate(d.ui->DatePicker->date().addDays(1)); });
    form->InfoGridDblClick(form->model()->index(0, 2));
    EXPECT_DOUBLE_EQ(form->events()->at(0).time - before_[0], 1.0);
}

TEST_F(TimeCorrection, UnchangedOrCancelledChangesNothing) {
    auto form = shownList(segmentImage());
    pick([](TDateTimeSelect&) {});
    form->InfoGridDblClick(form->model()->index(5, 2));
    pick([](TDateTimeSelect& d) { d.ui->TimePicker->setTime(QTime(1, 2, 3)); }, QDialog::Rejected);
    form->InfoGridDblClick(form->model()->index(5, 2));
    for (int i = 0; i < form->events()->count(); ++i)
        EXPECT_EQ(form->events()->at(i).time, before_[static_cast<size_t>(i)]);
    EXPECT_FALSE(form->log()->modified());
    form->InfoGridDblClick(QModelIndex()); // below the last event: nothing at all
    EXPECT_EQ(dialogs.executed.size(), 2);
}

TEST_F(TimeCorrection, CorrectionMarkGoesForTheGarageSegment) {
    // newest first: two events, a power-up, then an older run that needs correction
    auto form = shownList(
        craftedImage(3, {garageWord(0, 0, 900), garageWord(1, 5, 800), garageWord(3, 0x80, 0),
                         garageWord(2, 0x48, 700), garageWord(0, 1, 600), garageWord(3, 0x80, 0),
                         garageWord(1, 3, 500)}));
    EventTableModel& model = *form->model();
    auto marked = [&](int row) {
        return !model.data(model.index(row, EventTableModel::Mark), Qt::DecorationRole).isNull();
    };
    ASSERT_TRUE(marked(3));
    ASSERT_FALSE(marked(1));
    pick([](TDateTimeSelect& d) { shiftPickers(d, -600); });
    form->InfoGridDblClick(model.index(4, EventTableModel::Time));
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(marked(i), i > 5) << i; // the power-up at 5 closes the run 3..5
}

TEST_F(ReadOut, BinaryColumnAndInfoColumnWidths) {
    auto form = makeForm();
    ASSERT_TRUE(readOut(*form));
    QTableView* grid = form->ui->InfoGrid;
    EXPECT_EQ(grid->columnWidth(6), 0);
    form->ui->btnShowEventBinary->trigger();
    EXPECT_TRUE(form->ui->btnShowEventBinary->isChecked());
    EXPECT_EQ(grid->columnWidth(6), 80);
    EXPECT_EQ(form->model()->data(form->model()->index(0, 6), Qt::DisplayRole).toString().size(),
              8);
    form->ui->btnShowEventBinary->trigger();
    EXPECT_EQ(grid->columnWidth(6), 0);

    int widest = 0;
    for (const EventInfo& e : *form->events())
        widest = std::max(
            widest, grid->fontMetrics().horizontalAdvance(QString::fromStdString(e.infoText)));
    const int pad = grid->columnWidth(4) - widest - 10;
    EXPECT_GE(pad, 0);
    EXPECT_LE(pad, 12) << "text width + 10 and the cell's padding";
    // a list of short texts later keeps the width reached (erased garage records
    // read "Память событий пуста")
    craftedTablet("short", craftedImage(3, {garageWord(0, 0, 100)}));
    ASSERT_EQ(sim("put short"), 0);
    ASSERT_TRUE(readOut(*form));
    EXPECT_EQ(grid->columnWidth(4), widest + 10 + pad);
    EXPECT_EQ(form->model()->rowCount(), 124);
}

TEST_F(ReadOut, InformationShowsWhatTheReadOutLearnt) {
    auto form = makeForm();
    ASSERT_TRUE(readOut(*form));
    form->MenuInfoClick();
    EXPECT_EQ(info(*form).DeviceNameEdit->text(), form->statusPanel(0)->text());
    EXPECT_EQ(info(*form).CurTimeEdit->text(), form->statusPanel(1)->text());
    EXPECT_FALSE(info(*form).Edit3->text().isEmpty());
}

} // namespace
