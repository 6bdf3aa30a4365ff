#include "EventView.h"
#include "DecoderTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

using Key = EventView::SortKey;

// 2024-01-01 12:00 is 45292.5. Newest first across midnight; two events share
// 22:30, two erased records share 18:00, and number 8 was dropped.
EventCollection knownList() {
    EventCollection list;
    const EventInfo rows[] = {
        listEvent(1, 45293.5, 5, 0, "Информация по зоне 2. Пожар", ""),
        listEvent(2, 45293.0625, 2, 0, "Зона 2. Неисправность шлейфа", ""),
        listEvent(3, 45293.0, 1, 2, "автоматика включена", "Время отредактировано вручную"),
        listEvent(4, 45292.9375, 3, 1, "Питание включено", "Время требует корректировки"),
        listEvent(5, 45292.9375, 0, 1, "Ёмкость", "Время требует корректировки"),
        listEvent(6, 45292.75, 1, 0, "Сброс прибора", "", true),
        listEvent(7, 45292.75, 1, 0, "Сброс прибора", "", true),
        listEvent(9, 45292.5, 4, 0, "Pult. Unknown EVENT", ""),
    };
    for (const EventInfo& e : rows)
        list.append(e);
    return list;
}

// The numbers of the shown events, in shown order, read through the mapping.
std::vector<int> shownNumbers(const EventView& view, const EventCollection& list) {
    std::vector<int> numbers;
    for (int i = 0; i < view.shownCount(); ++i)
        numbers.push_back(list.at(view.listRow(i)).number);
    return numbers;
}

struct ViewRow {
    const char* name;
    std::function<void(EventFilter&)> set;
    Key key;
    bool descending;
    std::vector<int> shown;
};

const ViewRow kRows[] = {
    {"everything in list order",
     [](EventFilter&) {},
     Key::ListOrder,
     false,
     {1, 2, 3, 4, 5, 6, 7, 9}},
    {"list order has no direction",
     [](EventFilter&) {},
     Key::ListOrder,
     true,
     {1, 2, 3, 4, 5, 6, 7, 9}},
    {"by number, descending", [](EventFilter&) {}, Key::Number, true, {9, 7, 6, 5, 4, 3, 2, 1}},
    {"by number", [](EventFilter&) {}, Key::Number, false, {1, 2, 3, 4, 5, 6, 7, 9}},
    {"by time: ties in list order",
     [](EventFilter&) {},
     Key::Time,
     false,
     {9, 6, 7, 4, 5, 3, 2, 1}},
    {"by time, descending: ties in list order",
     [](EventFilter&) {},
     Key::Time,
     true,
     {1, 2, 3, 4, 5, 6, 7, 9}},
    {"by information: Latin first, case folded, Ё as Е",
     [](EventFilter&) {},
     Key::Info,
     false,
     {9, 3, 5, 2, 1, 4, 6, 7}},
    {"by information, descending: ties in list order",
     [](EventFilter&) {},
     Key::Info,
     true,
     {6, 7, 4, 1, 2, 5, 3, 9}},
    {"range across midnight, by time",
     [](EventFilter& f) {
         f.setFrom(45292.9375); // 22:30
         f.setTo(45293.0625);   // 01:30 the next day
     },
     Key::Time,
     false,
     {4, 5, 3, 2}},
    {"erased hidden, by information",
     [](EventFilter& f) { f.setHideErased(true); },
     Key::Info,
     false,
     {9, 3, 5, 2, 1, 4}},
    {"capitals find Ё", [](EventFilter& f) { f.setSearchText("ЁМК"); }, Key::Number, true, {5}},
    {"text in info and note, by number descending",
     [](EventFilter& f) { f.setSearchText("время"); },
     Key::Number,
     true,
     {5, 4, 3}},
    {"one category, by time descending",
     [](EventFilter& f) { f.setCategories(categories({1})); },
     Key::Time,
     true,
     {3, 6, 7}},
    {"both time states",
     [](EventFilter& f) {
         f.setOnlyCorrected(true);
         f.setOnlyNeedingCorrection(true);
     },
     Key::ListOrder,
     false,
     {3, 4, 5}},
    {"erased hidden, from 18:00, three categories, by information",
     [](EventFilter& f) {
         f.setHideErased(true);
         f.setFrom(45292.75);
         f.setCategories(categories({0, 1, 3}));
     },
     Key::Info,
     false,
     {3, 5, 4}},
    {"nothing matches", [](EventFilter& f) { f.setSearchText("тушение"); }, Key::Time, false, {}},
};

TEST(EventView, ShowsTheMatchingEventsInTheChosenOrder) {
    const EventCollection list = knownList();
    for (const ViewRow& row : kRows) {
        EventView view;
        view.setList(&list);
        EventFilter filter;
        row.set(filter);
        view.setFilter(filter);
        view.setSort(row.key, row.descending);
        EXPECT_EQ(shownNumbers(view, list), row.shown) << row.name;
        EXPECT_EQ(view.shownCount(), static_cast<int>(row.shown.size())) << row.name;
        EXPECT_EQ(view.totalCount(), 8) << row.name;
        EXPECT_EQ(view.listRow(-1), -1) << row.name;
        EXPECT_EQ(view.listRow(view.shownCount()), -1) << row.name;
    }
}

TEST(EventView, FilterAndSortCanBeSetInEitherOrderAndBeforeTheList) {
    const EventCollection list = knownList();
    EventFilter filter;
    filter.setHideErased(true);
    EventView first;
    first.setFilter(filter);
    first.setSort(Key::Time, true);
    first.setList(&list);
    EventView second;
    second.setList(&list);
    second.setSort(Key::Time, true);
    second.setFilter(filter);
    EXPECT_EQ(shownNumbers(first, list), (std::vector<int>{1, 2, 3, 4, 5, 9}));
    EXPECT_EQ(shownNumbers(second, list), shownNumbers(first, list));
}

TEST(EventView, ClearingShowsEveryEventInListOrderAgain) {
    const EventCollection list = knownList();
    EventView view;
    view.setList(&list);
    EventFilter filter;
    filter.setSearchText("ЗОН");
    view.setFilter(filter);
    view.setSort(Key::Info, true);
    ASSERT_EQ(shownNumbers(view, list), (std::vector<int>{1, 2}));
    view.setFilter(EventFilter());
    view.setSort(Key::ListOrder, false);
    EXPECT_EQ(shownNumbers(view, list), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 9}));
    EXPECT_FALSE(view.descending());
}

TEST(EventView, ANewListOrChangedTimesAreSortedAndFilteredAfresh) {
    EventCollection list = knownList();
    EventView view;
    view.setList(&list);
    EventFilter filter;
    filter.setFrom(45293.0);
    view.setFilter(filter);
    view.setSort(Key::Time, false);
    EXPECT_EQ(shownNumbers(view, list), (std::vector<int>{3, 2, 1}));
    list.at(7).time = 45293.25; // number 9 moved to 06:00 the next day
    view.setList(&list);
    EXPECT_EQ(shownNumbers(view, list), (std::vector<int>{3, 2, 9, 1}));

    EventCollection shorter;
    shorter.append(listEvent(1, 45294.0, 0, 0, "", ""));
    view.setList(&shorter);
    EXPECT_EQ(shownNumbers(view, shorter), (std::vector<int>{1}));
    EXPECT_EQ(view.totalCount(), 1);
    view.setList(nullptr);
    EXPECT_EQ(view.shownCount(), 0);
    EXPECT_EQ(view.totalCount(), 0);
    EXPECT_EQ(view.listRow(0), -1);
}

TEST(EventView, ATimeThatIsNoNumberSortsAfterEveryTime) {
    EventCollection list;
    list.append(listEvent(1, std::numeric_limits<double>::quiet_NaN(), 0, 0, "", ""));
    list.append(listEvent(2, 45293.0, 0, 0, "", ""));
    list.append(listEvent(3, std::numeric_limits<double>::quiet_NaN(), 0, 0, "", ""));
    list.append(listEvent(4, -1.0e308, 0, 0, "", ""));
    EventView view;
    view.setList(&list);
    view.setSort(Key::Time, false);
    EXPECT_EQ(shownNumbers(view, list), (std::vector<int>{4, 2, 1, 3}));
    view.setSort(Key::Time, true);
    EXPECT_EQ(shownNumbers(view, list), (std::vector<int>{1, 3, 2, 4}));
}

// A controller with a short history leaves the rest of its memory erased: the
// main and military decoders show each such record as a notification with the
// largest time, the garage decoder as a run of identical rows.
TEST(EventView, HidesTheErasedRecordsOfEveryVariant) {
    struct Case {
        Variant variant;
        std::vector<uint32_t> history;
    };
    const Case cases[] = {
        {Variant::Main, {mainWord(0, 8, 16), mainWord(9, 13, 600), mainWord(5, 1, 1200)}},
        {Variant::Military, {mainWord(2, 0, 16), mainWord(12, 9, 600), mainWord(3, 1, 1200)}},
        {Variant::Garage, {garageWord(0, 0, 2), garageWord(1, 0x85, 75), garageWord(2, 0x48, 150)}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes(4 * 124, 0xFF);
        for (size_t i = 0; i < c.history.size(); ++i)
            le::write32(bytes.data() + 4 * i, c.history[i]);
        double base = 0.0;
        const auto list =
            makeParser(c.variant, datetime::fixedClock(kTestNow))->decodeEvents(bytes, base);
        EventView view;
        view.setList(list.get());
        EXPECT_EQ(view.shownCount(), 124) << variantName(c.variant);
        EventFilter filter;
        filter.setHideErased(true);
        view.setFilter(filter);
        EXPECT_EQ(shownNumbers(view, *list), (std::vector<int>{1, 2, 3})) << variantName(c.variant);
        EXPECT_EQ(view.totalCount(), 124) << variantName(c.variant);
    }
}

} // namespace
