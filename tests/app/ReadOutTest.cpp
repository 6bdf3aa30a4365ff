// The read-out from tablet to table, the event table and the time correction.
#include "AppTestSupport.h"
#include "ImageCheckMessages.h"
#include "TDateTimeSelect.h"
#include "TStatusForm.h"
#include "events/DecoderTestSupport.h"
#include "ui_TDateTimeSelect.h"
#include "ui_TForm1.h"
#include "ui_TStatusForm.h"

#include <QLabel>
#include <QMap>

namespace {

const QString kQuestion = "Данные считаны. Отобразить информацию о событиях?";
const QString kUnknown = "Неизвестный номер таблетки. Данные не могут быть отображены";
const QString kIdle = "Для считывания данных выберите Файл->Считать данные";
const QString kRemoved = "Электронный ключ убран до окончания чтения. Попробуйте еще раз.";
const QString kSum = "Ошибка проверки контрольной суммы памяти событий.\r\n Данные считаны "
                     "некорректно.\r\n Попробуйте еще раз.";

class ReadOut : public AppTest {
protected:
    const Ui::TStatusForm& info(TForm1& form) { return *form.statusForm()->ui; }
};

TEST_F(ReadOut, EachVariantReadsThroughToTheTable) {
    struct Row {
        const char* controller;
        Variant variant;
        const char* device;
    } rows[] = {{"--variant main", Variant::Main, "Номер устройства: 7"},
                {"--variant garage", Variant::Garage, "Номер устройства: 3"},
                {"--variant military", Variant::Military, "Номер устройства: 8"},
                {"--variant garage --device 255", Variant::Garage, "Номер устройства: _"}};
    int n = 0;
    for (const Row& row : rows) {
        const std::string name = "t" + std::to_string(n++);
        filledTablet(name, row.controller, "--serial 0A1B2C3D4E00");
        dialogs.shown.clear();
        auto form = makeForm();
        ASSERT_TRUE(readOut(*form)) << row.controller;
        ASSERT_EQ(dialogs.texts(), QStringList{kQuestion}) << row.controller;
        EXPECT_EQ(dialogs.shown[0].buttons, UserDialogs::Buttons::YesNo);
        EXPECT_EQ(dialogs.shown[0].caption, "");
        EXPECT_EQ(dialogs.shown[0].owner, nullptr);
        EXPECT_EQ(form->readOutResult(), 4);
        EXPECT_EQ(info(*form).VerEdit->text(), "Версия DS1994");
        // the key is rotated, so the serial line shows the read command's bytes
        EXPECT_TRUE(info(*form).SerialEdit->text().startsWith("Серийный номер: "));
        EXPECT_EQ(info(*form).SerialEdit->text().size(), 16 + 12);
        EXPECT_EQ(info(*form).DeviceNameEdit->text(), row.device);
        EXPECT_EQ(form->statusPanel(0)->text(), row.device);
        const QString today =
            QLocale().toString(QDateTime::currentDateTimeUtc().date(), QLocale::ShortFormat);
        EXPECT_EQ(info(*form).CurTimeEdit->text(), "Текущие дата/время на таблетке: " + today);
        EXPECT_EQ(form->statusPanel(1)->text(), info(*form).CurTimeEdit->text());
        EXPECT_TRUE(form->ui->InfoGrid->isVisibleTo(form.get()));
        EXPECT_TRUE(form->ui->MenuSave->isEnabled());
        // decoded by the variant's decoder: compare with the core's own decoding
        const auto bytes = dump(name);
        const auto expected = makeParser(row.variant, datetime::fixedClock(kFixedNow))
                                  ->decodeImage(std::span<const uint8_t>(bytes), 512);
        ASSERT_EQ(form->events()->count(), expected->count());
        for (int i = 0; i < expected->count(); ++i) {
            EXPECT_EQ(form->events()->at(i).infoText, expected->at(i).infoText);
            EXPECT_NEAR(form->events()->at(i).time, expected->at(i).time, 5.0 / 86400);
        }
        EXPECT_EQ(form->model()->rowCount(), expected->count());
        form->close();
    }
}

TEST_F(ReadOut, FailedChecksShowTheirMessageThenTheUnknownTablet) {
    const TabletImage good = craftedImage(7, {mainWord(0, 8, 1000)});
    struct Row {
        const char* name;
        size_t offset;
        QString message;
    } rows[] = {
        {"first", 3,
         "Ошибка проверки CRC первого заголовка.\n\n Возможно таблетка не содержит команду "
         "чтения или имеет неправильный формат.\r\n Если вы уверены в том что таблетка правильно "
         "записана попытайтесь еще раз."},
        {"second", 8,
         "Ошибка проверки CRC второго заголовка.\r\n Данные на таблетку не записаны или прочитаны "
         "некорректно.\r\nПопытайтесь прочитать данные еще раз"},
        {"sum", 200,
         "Ошибка проверки контрольной суммы памяти событий.\r\n Данные считаны некорректно.\r\n "
         "Попробуйте еще раз."},
    };
    for (const Row& row : rows) {
        TabletImage broken = good;
        broken.bytes()[row.offset] ^= 0x01; // device 7 stays 7 or becomes 6: neither may decode
        craftedTablet(row.name, broken);
        dialogs.shown.clear();
        auto form = makeForm();
        form->statusForm()->ui->SerialEdit->setText("from before");
        ASSERT_TRUE(readOut(*form)) << row.name;
        ASSERT_EQ(dialogs.texts(), (QStringList{row.message, kUnknown})) << row.name;
        EXPECT_EQ(dialogs.shown[0].icon, UserDialogs::Icon::Error);
        EXPECT_EQ(form->readOutResult(), 254);
        EXPECT_EQ(form->ui->Label1->text(), kIdle);
        EXPECT_EQ(info(*form).VerEdit->text(), "Версия DS1994");
        EXPECT_TRUE(info(*form).SerialEdit->text().isEmpty());
        EXPECT_TRUE(form->statusPanel(0)->text().isEmpty());
        EXPECT_EQ(form->events(), nullptr);
        EXPECT_FALSE(form->ui->InfoGrid->isVisibleTo(form.get()));
    }
}

TEST_F(ReadOut, OtherFamilyCodesAreNotCheckedAndDecodeOnlyForDevices7And8) {
    struct Row {
        const char* family;
        uint8_t device;
        QString version;
        uint8_t result;
        bool decodes;
    } rows[] = {
        {"6", 8, "Версия DS1993", 6, true},
        {"7", 8, "Версия DS1992", 7, true},
        {"6", 7, "Версия DS1993", 6, true},
        {"6", 0, "Версия DS1993", 6, false},
        {"7", 0, "Версия DS1992", 7, false},
        {"21", 8, "Неизвестный номер версии", 255, true},
        {"21", 3, "Неизвестный номер версии", 255, false},
    };
    int n = 0;
    for (const Row& row : rows) {
        TabletImage image = craftedImage(row.device, {mainWord(0, 8, 1000), mainWord(13, 11, 900)});
        image.bytes()[15] ^= 0xFF; // no check is run: a broken header passes unseen
        const std::string name = "f" + std::to_string(n++);
        craftedTablet(name, image, std::string("--model ds1994 --family ") + row.family);
        dialogs.shown.clear();
        auto form = makeForm();
        form->statusForm()->ui->SerialEdit->setText("from before");
        ASSERT_TRUE(readOut(*form));
        EXPECT_EQ(info(*form).VerEdit->text(), row.version);
        EXPECT_EQ(form->readOutResult(), row.result);
        if (row.decodes) {
            EXPECT_EQ(dialogs.texts(), QStringList{kQuestion});
            EXPECT_EQ(info(*form).SerialEdit->text(), "from before") << "lines keep their texts";
            ASSERT_NE(form->events(), nullptr);
            EXPECT_EQ(form->events()->at(1).infoText, "Автоматика включена");
        } else {
            EXPECT_EQ(dialogs.texts(), QStringList{kUnknown});
            EXPECT_TRUE(info(*form).SerialEdit->text().isEmpty());
            EXPECT_EQ(form->events(), nullptr);
        }
    }
}

TEST_F(ReadOut, RomOnlyButtonIsAnUnknownTablet) {
    ASSERT_EQ(sim("new r --family 1"), 0);
    ASSERT_EQ(sim("put r"), 0);
    auto form = makeForm();
    ASSERT_TRUE(readOut(*form));
    EXPECT_EQ(info(*form).VerEdit->text(), "Неизвестный номер версии");
    EXPECT_EQ(dialogs.texts(), QStringList{kUnknown});
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
    EXPECT_EQ(form->ui->Label1->text(), "Поднесите электронный ключ DS1994 к адаптеру");
}

TEST_F(ReadOut, StopWhileWaitingThenATabletTouchedAsksNothing) {
    ASSERT_EQ(sim("remove"), 0);
    auto form = makeForm();
    form->MenuStartClick();
    QTest::qWait(50);
    form->MenuStopClick();
    ASSERT_EQ(sim("put demo"), 0);
    QTest::qWait(300);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(form->ui->Label1->text(), kIdle);
}

TEST_F(ReadOut, SecondStartAfterAFinishedReadOutAndADriverFailureOnIt) {
    auto form = makeForm();
    ASSERT_TRUE(readOut(*form));
    const quint64 first = form->reader()->id();
    ASSERT_TRUE(readOut(*form));
    EXPECT_GT(form->reader()->id(), first);
    EXPECT_EQ(dialogs.texts(), (QStringList{kQuestion, kQuestion}));

    ASSERT_EQ(sim("fault no-port-driver"), 0);
    dialogs.shown.clear();
    form->MenuStartClick();
    EXPECT_EQ(dialogs.texts(), QStringList{"\nNo Hardware Driver for this type found!\n"});
    EXPECT_EQ(dialogs.shown[0].owner, form.get());
    EXPECT_FALSE(form->closeAtStart());
    EXPECT_EQ(form->ui->Label1->text(), "Поднесите электронный ключ DS1994 к адаптеру");
    ASSERT_EQ(sim("fault setup=0"), 0);
    dialogs.shown.clear();
    form->MenuStartClick();
    EXPECT_EQ(dialogs.texts(), QStringList{"TMEX Setup Flag is not 1 or 2"});
    // the failed reader never runs: the next Start opens the driver again
    ASSERT_EQ(sim("fault none"), 0);
    dialogs.shown.clear();
    ASSERT_TRUE(readOut(*form));
    EXPECT_EQ(dialogs.texts(), QStringList{kQuestion});
}

TEST_F(ReadOut, TabletLiftedDuringTheReadIsNeverDecoded) {
    // A main-variant tablet with only a few events: most of its event area is
    // erased, so a tablet lifted there still passes every check. Lifted after
    // N bytes, a read-out either fails with a message or, when the whole image
    // and the clock were read, shows the tablet's own events.
    filledTablet("lift", "--variant main", "--clock 1582934400");
    auto form = makeForm();
    ASSERT_TRUE(readOut(*form));
    const auto* shown = form->events();
    ASSERT_NE(shown, nullptr);
    const int records = shown->count();
    // header, every field of the second header, the events, the erased tail,
    // the register page and its clock bytes, and after the last byte
    const int cuts[] = {0,   1,   7,   8,   9,   12,  13,  14,  15,  16,  17,
                        40,  92,  93,  100, 200, 300, 400, 500, 511, 512, 513,
                        514, 515, 516, 517, 518, 519, 530, 543, 544};
    for (const int n : cuts) {
        ASSERT_EQ(sim("put lift"), 0);
        ASSERT_EQ(sim("fault remove-after=" + std::to_string(n)), 0);
        dialogs.shown.clear();
        ASSERT_TRUE(readOut(*form)) << n;
        ASSERT_EQ(dialogs.shown.size(), 1u) << n;
        EXPECT_EQ(dialogs.shown[0].text, kRemoved) << n;
        EXPECT_EQ(dialogs.shown[0].icon, UserDialogs::Icon::Error) << n;
        EXPECT_EQ(form->readOutResult(), 254) << n;
        EXPECT_EQ(form->ui->Label1->text(), kIdle) << n;
        EXPECT_EQ(form->events(), shown) << n << ": the list stays as it was";
        EXPECT_FALSE(form->ui->InfoGrid->isVisibleTo(form.get())) << n;
    }
    // the tablet stays: the events are the tablet's
    ASSERT_EQ(sim("put lift"), 0);
    ASSERT_EQ(sim("fault none"), 0);
    dialogs.shown.clear();
    ASSERT_TRUE(readOut(*form));
    EXPECT_EQ(dialogs.texts(), QStringList{kQuestion});
    ASSERT_EQ(form->events()->count(), records);
}

TEST_F(ReadOut, BitsFlippedOnTheWayFromTheTablet) {
    // One bit flipped in bytes the memory read gives from an address on: the
    // headers and the event area fail their checks; the register page is
    // checked by nothing, but a copied clock that the clock read afterwards
    // does not confirm is never taken to date the events.
    filledTablet("worn", "--variant main");
    const QString first = imageCheckMessage(TabletImage::Check::FirstHeader);
    const QString second = imageCheckMessage(TabletImage::Check::SecondHeader);
    const struct {
        const char* fault;
        QStringList messages;
    } rows[] = {
        {"flip-bits=1@3", {first, kUnknown}},
        {"flip-bits=1@8", {second, kUnknown}},
        {"flip-bits=1@12", {second, kUnknown}},
        {"flip-bits=1@16", {kSum, kUnknown}},
        {"flip-bits=1@300", {kSum, kUnknown}},
        {"flip-bits=1@511", {kSum, kUnknown}},
        {"flip-bits=2@0x200", {kQuestion}}, // status and control
        {"flip-bits=1@0x202", {kQuestion}}, // the clock's fraction
        {"flip-bits=1@0x204", {kRemoved}},  // the clock's seconds, bits 8 to 15
        {"flip-bits=1@0x206", {kRemoved}},
        {"flip-bits=4@0x20B", {kQuestion}}, // interval timer and cycle counter
        {"flip-bits=1@0x21F", {kQuestion}},
    };
    for (const auto& row : rows) {
        ASSERT_EQ(sim(std::string("fault ") + row.fault), 0);
        dialogs.shown.clear();
        auto form = makeForm();
        ASSERT_TRUE(readOut(*form)) << row.fault;
        EXPECT_EQ(dialogs.texts(), row.messages) << row.fault;
        EXPECT_EQ(form->events() != nullptr, row.messages == QStringList{kQuestion}) << row.fault;
    }
}

TEST_F(ReadOut, TheDateLineIsTheReadTablets) {
    // Two tablets ten years apart on the adapter, told apart by their device
    // numbers: the date line is the one of the tablet the read copied. The
    // search finds them in the order of their ROM codes; swapping the serial
    // numbers swaps which one is read.
    const QMap<QString, QString> dates = {{"Номер устройства: 2", "29.02.2020"},
                                          {"Номер устройства: 5", "01.01.2010"}};
    QStringList read;
    int n = 0;
    for (const auto& [lateSerial, earlySerial] :
         {std::pair{"000000000001", "000000000002"}, std::pair{"000000000002", "000000000001"}}) {
        const std::string late = "late" + std::to_string(n), early = "early" + std::to_string(n++);
        filledTablet(late, "--variant garage --device 2",
                     std::string("--clock 1582934400 --serial ") + lateSerial);
        filledTablet(early, "--variant garage --device 5",
                     std::string("--clock 1262304000 --serial ") + earlySerial);
        ASSERT_EQ(sim("put " + late + " " + early), 0);
        auto form = makeForm();
        ASSERT_TRUE(readOut(*form));
        ASSERT_EQ(dialogs.texts().last(), kQuestion);
        const QString device = info(*form).DeviceNameEdit->text();
        ASSERT_TRUE(dates.contains(device)) << device.toStdString();
        EXPECT_EQ(info(*form).CurTimeEdit->text(),
                  "Текущие дата/время на таблетке: " + dates[device]);
        read << device;
    }
    EXPECT_NE(read[0].toStdString(), read[1].toStdString()) << "each tablet was read once";
}

TEST_F(ReadOut, TwoDigitYearsWidenTo1970To2069) {
    const std::pair<const char*, QString> rows[] = {
        {"0", "01.01.1970"},          // year 70
        {"946684800", "01.01.2000"},  // year 0
        {"1262304000", "01.01.2010"}, // year 10
        {"1293840000", "01.01.2011"}, // year 11: not 1911
        {"3124224000", "01.01.2069"}, // year 69
    };
    int n = 0;
    for (const auto& [clock, date] : rows) {
        const std::string name = "y" + std::to_string(n++);
        filledTablet(name, "--variant garage", std::string("--clock ") + clock);
        auto form = makeForm();
        ASSERT_TRUE(readOut(*form));
        EXPECT_EQ(info(*form).CurTimeEdit->text(), "Текущие дата/время на таблетке: " + date)
            << clock;
    }
}

// A main-variant list with power-loss markers at 3 and 8: one segment is 3..7.
TabletImage segmentImage() {
    std::vector<uint32_t> words;
    for (int i = 0; i < 12; ++i) {
        const bool marker = i == 3 || i == 8;
        words.push_back(marker ? mainWord(15, 2, 600000 - 60 * i)
                               : mainWord(0, 8, 600000 - 60 * i));
    }
    return craftedImage(7, words);
}

class TimeCorrection : public ReadOut {
protected:
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

TEST_F(TimeCorrection, OneHourLaterMovesTheWholeSegment) {
    auto form = shownList(segmentImage());
    pick([](TDateTimeSelect& d) {
        d.ui->TimePicker->setTime(d.ui->TimePicker->time().addSecs(3600));
    });
    form->InfoGridDblClick(form->model()->index(5, 2));
    const EventCollection& events = *form->events();
    for (int i = 0; i < events.count(); ++i) {
        const bool moved = i >= 3 && i <= 7;
        EXPECT_NEAR(events.at(i).time - before_[static_cast<size_t>(i)], moved ? 1.0 / 24 : 0.0,
                    1e-6)
            << i;
        EXPECT_EQ(events.at(i).timeState, moved ? 2 : 0) << i;
        EXPECT_EQ(events.at(i).noteText, moved ? "Время отредактировано вручную" : "") << i;
    }
    // the others keep their distance to the picked one
    EXPECT_NEAR(events.at(3).time - events.at(5).time, before_[3] - before_[5], 1e-9);
    EXPECT_EQ(form->model()->data(form->model()->index(4, 5), Qt::DisplayRole).toString(),
              "Время отредактировано вручную");
}

TEST_F(TimeCorrection, NewDateKeepsTheTimeOfDay) {
    auto form = shownList(segmentImage());
    pick(
        [](TDateTimeSelect& d) { d.ui->DatePicker->setDate(d.ui->DatePicker->date().addDays(1)); });
    form->InfoGridDblClick(form->model()->index(0, 2));
    // index 0 lies in the segment 0..2 (before the first marker)
    for (int i = 0; i < 3; ++i)
        EXPECT_DOUBLE_EQ(form->events()->at(i).time - before_[static_cast<size_t>(i)], 1.0) << i;
    EXPECT_DOUBLE_EQ(form->events()->at(3).time, before_[3]);
}

TEST_F(TimeCorrection, UnchangedOrCancelledChangesNothing) {
    auto form = shownList(segmentImage());
    pick([](TDateTimeSelect&) {});
    form->InfoGridDblClick(form->model()->index(5, 2));
    pick([](TDateTimeSelect& d) { d.ui->TimePicker->setTime(QTime(1, 2, 3)); }, QDialog::Rejected);
    form->InfoGridDblClick(form->model()->index(5, 2));
    for (int i = 0; i < form->events()->count(); ++i) {
        EXPECT_EQ(form->events()->at(i).time, before_[static_cast<size_t>(i)]);
        EXPECT_EQ(form->events()->at(i).timeState, 0);
    }
    form->InfoGridDblClick(QModelIndex()); // below the last event: nothing at all
    EXPECT_EQ(dialogs.executed.size(), 2);
}

TEST_F(TimeCorrection, CorrectionMarkGoesForTheGarageSegment) {
    // newest first: two events, a power-up, then an older run that needs correction
    const TabletImage image =
        craftedImage(3, {garageWord(0, 0, 900), garageWord(1, 5, 800), garageWord(3, 0x80, 0),
                         garageWord(2, 0x48, 700), garageWord(0, 1, 600), garageWord(3, 0x80, 0),
                         garageWord(1, 3, 500)});
    auto form = shownList(image);
    EventTableModel& model = *form->model();
    ASSERT_FALSE(model.data(model.index(3, EventTableModel::Mark), Qt::DecorationRole).isNull());
    ASSERT_TRUE(model.data(model.index(1, EventTableModel::Mark), Qt::DecorationRole).isNull());
    pick([](TDateTimeSelect& d) {
        d.ui->TimePicker->setTime(d.ui->TimePicker->time().addSecs(-600));
    });
    form->InfoGridDblClick(model.index(4, EventTableModel::Time));
    // the power-up at 5 closes the run 3..5
    for (int i = 0; i < form->events()->count(); ++i) {
        const bool moved = i >= 3 && i <= 5;
        EXPECT_EQ(form->events()->at(i).timeState, moved ? 2 : (i > 5 ? 1 : 0)) << i;
        EXPECT_EQ(model.data(model.index(i, EventTableModel::Mark), Qt::DecorationRole).isNull(),
                  i <= 5)
            << i;
    }
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
