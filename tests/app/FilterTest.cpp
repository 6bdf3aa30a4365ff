// The filter bar, the sort by header clicks, the icons' tooltips and "Экспорт в
// CSV…" as the window shows them; what each criterion selects is the event
// layer's (EventFilter, EventView).
#include "AppTestSupport.h"
#include "FilterBar.h"
#include "files/FilesTestSupport.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

namespace {

class Filter : public AppTest {
protected:
    std::unique_ptr<TForm1> shownForm(int seed = 11) {
        auto form = makeForm();
        form->installLog(EventLog(std::move(*decodedList(Variant::Garage, 124, seed)),
                                  makeParser(Variant::Garage, datetime::fixedClock(kFixedNow)),
                                  EventLog::Origin::ReadOut));
        form->showData(true);
        form->resize(900, 600);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        return form;
    }
    template <typename W> static W* find(TForm1& form, const char* name) {
        W* w = form.findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static std::vector<int> shownNumbers(TForm1& form) {
        std::vector<int> numbers;
        for (int r = 0; r < form.model()->rowCount(); ++r)
            numbers.push_back(form.model()->index(r, EventTableModel::Number).data().toInt());
        return numbers;
    }
    // The numbers of the list's events that `keep`, in list order.
    static std::vector<int> numbersWhere(TForm1& form,
                                         const std::function<bool(const EventInfo&)>& keep) {
        std::vector<int> numbers;
        for (const EventInfo& e : *form.events())
            if (keep(e))
                numbers.push_back(e.number);
        return numbers;
    }
    static void typeText(QWidget* widget, const QString& text) {
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    static void clickHeader(TForm1& form, int column) {
        QHeaderView* header = form.ui->InfoGrid->horizontalHeader();
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                   header->height() / 2));
    }
};

TEST_F(Filter, CtrlFOpensTheBarTypingFiltersEscapeShowsEverythingAgain) {
    auto form = shownForm();
    QAction* item = form->filterBar().openAction();
    EXPECT_TRUE(form->ui->N2->actions().contains(item));
    EXPECT_EQ(item->text(), "Фильтр");
    EXPECT_FALSE(form->filterBar().isVisible());

    QTest::keyClick(form.get(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(form->filterBar().isVisible());
    auto* search = find<QLineEdit>(*form, "FilterSearch");
    EXPECT_EQ(QApplication::focusWidget(), search);
    EXPECT_GE(form->ui->InfoGrid->y(), form->filterBar().geometry().bottom());

    typeText(search, "ШЛЕЙФ");
    const auto withText = numbersWhere(*form, [](const EventInfo& e) {
        return QString::fromStdString(e.infoText).contains("шлейф", Qt::CaseInsensitive) ||
               QString::fromStdString(e.noteText).contains("шлейф", Qt::CaseInsensitive);
    });
    ASSERT_FALSE(withText.empty());
    ASSERT_LT(withText.size(), 124u);
    EXPECT_EQ(shownNumbers(*form), withText);
    EXPECT_EQ(find<QLabel>(*form, "FilterCount")->text(),
              QString("Показано %1 из 124 событий").arg(withText.size()));

    QTest::keyClick(search, Qt::Key_Escape);
    EXPECT_FALSE(form->filterBar().isVisible());
    EXPECT_EQ(shownNumbers(*form), numbersWhere(*form, [](const EventInfo&) { return true; }));
    EXPECT_EQ(form->ui->InfoGrid->y(), form->filterBar().y());

    item->trigger(); // "Вид → Фильтр": the search is still there
    EXPECT_TRUE(form->filterBar().isVisible());
    EXPECT_EQ(shownNumbers(*form), withText);
    form->ui->InfoGrid->hide(); // a read-out waits: the bar goes with the table
    EXPECT_FALSE(form->filterBar().isVisible());
}

TEST_F(Filter, EachFieldOfTheBarSelectsItsEventsAndClearShowsAllInListOrder) {
    auto form = shownForm();
    FilterBar& bar = form->filterBar();
    bar.openBar();
    const auto shownTime = [](const EventInfo& e) {
        const QDateTime t = QDateTime::fromString(QString::fromStdString(datetime::format(e.time)),
                                                  "dd.MM.yyyy HH:mm:ss");
        return QDateTime(t.date(), t.time(), Qt::UTC);
    };
    const QDateTime at = shownTime(form->events()->at(40));
    const struct {
        const char* name;
        std::function<void()> act;
        std::function<bool(const EventInfo&)> shown;
    } rows[] = {
        {"category 1 off", [&] { find<QToolButton>(*form, "FilterCategory1")->click(); },
         [](const EventInfo& e) { return e.category != 1; }},
        {"from",
         [&] {
             find<QDateTimeEdit>(*form, "FilterFrom")->setDateTime(at);
             find<QCheckBox>(*form, "FilterFromOn")->click();
         },
         [&](const EventInfo& e) { return shownTime(e) >= at; }},
        {"to",
         [&] {
             find<QDateTimeEdit>(*form, "FilterTo")->setDateTime(at);
             find<QCheckBox>(*form, "FilterToOn")->click();
         },
         [&](const EventInfo& e) { return shownTime(e) <= at; }},
        {"only needing correction",
         [&] { find<QCheckBox>(*form, "FilterOnlyNeedingCorrection")->click(); },
         [](const EventInfo& e) { return e.timeState == 1; }},
        {"only corrected", [&] { find<QCheckBox>(*form, "FilterOnlyCorrected")->click(); },
         [](const EventInfo& e) { return e.timeState == 2; }},
        {"erased hidden", [&] { find<QCheckBox>(*form, "FilterHideErased")->click(); },
         [](const EventInfo& e) { return !e.erased; }},
    };
    for (const auto& row : rows) {
        find<QToolButton>(*form, "FilterClear")->click();
        row.act();
        EXPECT_EQ(shownNumbers(*form), numbersWhere(*form, row.shown)) << row.name;
    }
    clickHeader(*form, EventTableModel::Time);
    find<QToolButton>(*form, "FilterClear")->click();
    EXPECT_EQ(shownNumbers(*form), numbersWhere(*form, [](const EventInfo&) { return true; }));
    EXPECT_EQ(form->ui->InfoGrid->horizontalHeader()->sortIndicatorSection(), -1);
}

TEST_F(Filter, HeaderClicksSortAscendingDescendingThenListOrder) {
    auto form = shownForm();
    const auto listOrder = shownNumbers(*form);
    auto byTime = numbersWhere(*form, [](const EventInfo&) { return true; });
    std::stable_sort(byTime.begin(), byTime.end(), [&](int a, int b) {
        return form->events()->at(a - 1).time < form->events()->at(b - 1).time;
    });
    clickHeader(*form, EventTableModel::Time);
    EXPECT_EQ(shownNumbers(*form), byTime);
    clickHeader(*form, EventTableModel::Number);
    clickHeader(*form, EventTableModel::Number);
    EXPECT_EQ(shownNumbers(*form), std::vector<int>(listOrder.rbegin(), listOrder.rend()));
    EXPECT_EQ(form->ui->InfoGrid->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    clickHeader(*form, EventTableModel::Type); // not sortable
    EXPECT_EQ(form->ui->InfoGrid->horizontalHeader()->sortIndicatorSection(),
              int(EventTableModel::Number));
    clickHeader(*form, EventTableModel::Number);
    EXPECT_EQ(shownNumbers(*form), listOrder);
    EXPECT_EQ(form->ui->InfoGrid->horizontalHeader()->sortIndicatorSection(), -1);
}

// The same correction through a filtered and a sorted table moves exactly the
// events it moves in the list as it is.
TEST_F(Filter, ACorrectionThroughAFilteredOrSortedTableChangesTheListsSegment) {
    auto plain = shownForm();
    const int row = 57;
    const int number = plain->events()->at(row).number;
    const auto segment = correctedByOneHour(*plain, dialogs, row);
    ASSERT_GT(segment.size(), 1u);
    const EventCollection expected = *plain->events();
    const QString text = QString::fromStdString(expected.at(row).infoText);
    const int category = expected.at(row).category;

    const std::function<void(TForm1&)> views[] = {
        [&](TForm1& f) {
            f.filterBar().openBar();
            typeText(find<QLineEdit>(f, "FilterSearch"), text);
        },
        [&](TForm1& f) { clickHeader(f, EventTableModel::Time); },
        [&](TForm1& f) {
            clickHeader(f, EventTableModel::Info);
            f.filterBar().openBar();
            find<QToolButton>(f, qPrintable(QString("FilterCategory%1").arg((category + 1) % 4)))
                ->click();
        },
    };
    for (const auto& view : views) {
        auto form = shownForm();
        view(*form);
        const auto shown = shownNumbers(*form);
        const auto at = std::find(shown.begin(), shown.end(), number);
        ASSERT_NE(at, shown.end());
        ASSERT_NE(at - shown.begin(), row);
        EXPECT_EQ(correctedByOneHour(*form, dialogs, int(at - shown.begin())), segment);
        expectSameEvents(expected, *form->events(), true);
    }
}

TEST_F(Filter, IconColumnsNameTheirIcons) {
    auto form = shownForm();
    const EventTableModel& model = *form->model();
    const QString names[] = {"Неисправность",
                             "Работа прибора, норма, нотификация",
                             "Тревога, неисправность зоны",
                             "Питание",
                             "Неизвестное событие",
                             "Информация по зоне: запуск, тушение, пожар"};
    for (int r = 0; r < model.rowCount(); ++r) {
        const EventInfo& e = form->events()->at(r);
        EXPECT_EQ(model.index(r, EventTableModel::Type).data(Qt::ToolTipRole).toString(),
                  names[e.category]);
        EXPECT_EQ(model.index(r, EventTableModel::Mark).data(Qt::ToolTipRole).toString(),
                  e.timeState == 1 ? "Время требует корректировки" : "");
    }
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(
            find<QToolButton>(*form, qPrintable(QString("FilterCategory%1").arg(c)))->toolTip(),
            names[c]);
}

TEST_F(Filter, CsvExportWritesTheWholeListInListOrderOrSaysWhyNot) {
    auto form = shownForm();
    QAction* csv = form->findChild<QAction*>("MenuExportCsv");
    ASSERT_NE(csv, nullptr);
    const QList<QAction*> file = form->ui->N1->actions();
    EXPECT_EQ(file.indexOf(csv), file.indexOf(form->ui->MenuExportExcel) + 1);
    EXPECT_EQ(csv->text(), "Экспорт в CSV…");
    form->showData(false);
    EXPECT_FALSE(csv->isEnabled());
    form->showData(true);
    form->statusPanel(0)->setText("Номер прибора: 7");
    clickHeader(*form, EventTableModel::Info);

    const std::string path = (dir_ / "out.csv").string();
    dialogs.fileNames = {QString::fromStdString(path), QString::fromStdString(path + "/no")};
    csv->trigger();
    std::ifstream in(path, std::ios::binary);
    std::string title, header, first;
    std::getline(in, title);
    std::getline(in, header);
    std::getline(in, first);
    EXPECT_EQ(title, "\xEF\xBB\xBFНомер прибора: 7;;;\r");
    EXPECT_EQ(header, "№;Время;Информация;Примечание\r");
    EXPECT_EQ(first.substr(0, first.find(';')), std::to_string(form->events()->at(0).number));
    EXPECT_TRUE(dialogs.shown.empty());

    csv->trigger();
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Ошибка открытия файла для сохранения.");
    EXPECT_EQ(dialogs.shown[0].caption, "Error");
    EXPECT_EQ(dialogs.shown[0].icon, UserDialogs::Icon::Error);
}

} // namespace
