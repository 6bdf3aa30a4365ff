#include "EventFilter.h"
#include "DecoderTestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// 2024-01-01 12:00 is 45292.5; the list runs newest first across midnight.
const std::vector<EventInfo>& knownList() {
    static const std::vector<EventInfo> list = {
        listEvent(1, 45293.5, 5, 0, "Информация по зоне 2. Пожар", ""),
        listEvent(2, 45293.0625, 2, 0, "Зона 2. Неисправность шлейфа термокабеля", ""),
        listEvent(3, 45293.0, 1, 2, "Автоматика включена с пульта",
                  "Время отредактировано вручную"),
        listEvent(4, 45292.9375, 3, 1, "Питание включено", "Время требует корректировки"),
        listEvent(5, 45292.875, 0, 1, "Неисправность линии связи", "Время требует корректировки"),
        listEvent(6, 45292.75, 1, 0,
                  "Сброс прибора. Отсутствие питания. Переполнение счетчика времени. Рестарт "
                  "процессора.",
                  "", true),
        listEvent(7, 45292.5, 4, 0, "Pult. Unknown EVENT: ЁМКОСТЬ", ""),
    };
    return list;
}

struct FilterRow {
    const char* name;
    std::function<void(EventFilter&)> set;
    std::vector<int> shown; // event numbers, in list order
};

const FilterRow kRows[] = {
    {"nothing set", [](EventFilter&) {}, {1, 2, 3, 4, 5, 6, 7}},
    {"word in lower case", [](EventFilter& f) { f.setSearchText("пожар"); }, {1}},
    {"word in capitals", [](EventFilter& f) { f.setSearchText("ПОЖАР"); }, {1}},
    {"mixed case inside a word", [](EventFilter& f) { f.setSearchText("кЛЮч"); }, {3, 4}},
    {"two words", [](EventFilter& f) { f.setSearchText("ЗОНА 2"); }, {2}},
    {"the note", [](EventFilter& f) { f.setSearchText("ВРУЧНУЮ"); }, {3}},
    {"info and note", [](EventFilter& f) { f.setSearchText("время"); }, {3, 4, 5}},
    {"latin", [](EventFilter& f) { f.setSearchText("unknown event"); }, {7}},
    {"yo folded", [](EventFilter& f) { f.setSearchText("ёмкость"); }, {7}},
    {"yo is not ye", [](EventFilter& f) { f.setSearchText("емкость"); }, {}},
    {"not found", [](EventFilter& f) { f.setSearchText("тушение"); }, {}},
    {"two categories",
     [](EventFilter& f) {
         f.setCategories(categories({2, 5}));
     },
     {1, 2}},
    {"unknown only", [](EventFilter& f) { f.setCategories(categories({4})); }, {7}},
    {"no category", [](EventFilter& f) { f.setCategories(categories({})); }, {}},
    {"range across midnight",
     [](EventFilter& f) {
         f.setFrom(45292.9375); // 22:30
         f.setTo(45293.0625);   // 01:30 the next day
     },
     {2, 3, 4}},
    {"from midnight", [](EventFilter& f) { f.setFrom(45293.0); }, {1, 2, 3}},
    {"up to 21:00", [](EventFilter& f) { f.setTo(45292.875); }, {5, 6, 7}},
    {"empty range",
     [](EventFilter& f) {
         f.setFrom(45293.1);
         f.setTo(45293.2);
     },
     {}},
    {"only corrected", [](EventFilter& f) { f.setOnlyCorrected(true); }, {3}},
    {"only needing correction", [](EventFilter& f) { f.setOnlyNeedingCorrection(true); }, {4, 5}},
    {"both time states",
     [](EventFilter& f) {
         f.setOnlyCorrected(true);
         f.setOnlyNeedingCorrection(true);
     },
     {3, 4, 5}},
    {"hide erased", [](EventFilter& f) { f.setHideErased(true); }, {1, 2, 3, 4, 5, 7}},
    {"categories, time state and text",
     [](EventFilter& f) {
         f.setCategories(categories({0, 1, 3}));
         f.setOnlyNeedingCorrection(true);
         f.setSearchText("ПИТАНИЕ");
     },
     {4}},
    {"erased hidden, from 18:00, category 1",
     [](EventFilter& f) {
         f.setHideErased(true);
         f.setFrom(45292.75);
         f.setCategories(categories({1}));
     },
     {3}},
    {"text and an upper bound",
     [](EventFilter& f) {
         f.setSearchText("ВРЕМЯ");
         f.setTo(45292.9375);
     },
     {4, 5}},
};

TEST(EventFilter, ShowsTheEventsOfEachCriterionAndTheirCombination) {
    for (const FilterRow& row : kRows) {
        EventFilter filter;
        row.set(filter);
        std::vector<int> shown;
        for (const EventInfo& e : knownList())
            if (filter.matches(e))
                shown.push_back(e.number);
        EXPECT_EQ(shown, row.shown) << row.name;
    }
}

TEST(EventFilter, IsActiveWhenSomeCriterionIsSet) {
    const std::pair<std::function<void(EventFilter&)>, bool> rows[] = {
        {[](EventFilter&) {}, false},
        {[](EventFilter& f) { f.setSearchText(""); }, false},
        {[](EventFilter& f) {
             f.setCategories(categories({0, 1, 2, 3, 4, 5}));
         },
         false},
        {[](EventFilter& f) { f.setSearchText("a"); }, true},
        {[](EventFilter& f) {
             f.setCategories(categories({0, 1, 2, 3, 4}));
         },
         true},
        {[](EventFilter& f) { f.setFrom(0.0); }, true},
        {[](EventFilter& f) { f.setTo(0.0); }, true},
        {[](EventFilter& f) { f.setOnlyCorrected(true); }, true},
        {[](EventFilter& f) { f.setOnlyNeedingCorrection(true); }, true},
        {[](EventFilter& f) { f.setHideErased(true); }, true},
    };
    int i = 0;
    for (const auto& [set, active] : rows) {
        EventFilter filter;
        set(filter);
        EXPECT_EQ(filter.active(), active) << "row " << i++;
    }
}

TEST(EventFilter, CategoryOutsideTheSixOnlyWithoutRestriction) {
    const EventInfo odd = listEvent(1, 45292.5, -3, 0, "x", "");
    EventFilter filter;
    EXPECT_TRUE(filter.matches(odd));
    filter.setCategories(categories({0, 1, 2, 3, 4}));
    EXPECT_FALSE(filter.matches(odd));
}

TEST(EventFilter, FoldsLatinAndCyrillicCapitals) {
    const std::pair<const char*, const char*> rows[] = {
        {"АБВГДЕЖЗИЙКЛМНОП", "абвгдежзийклмноп"},
        {"РСТУФХЦЧШЩЪЫЬЭЮЯ", "рстуфхцчшщъыьэюя"},
        {"Ёё", "ёё"},
        {"ЂЃЄЅІЇЈЉЊЋЌЎЏ", "ђѓєѕіїјљњћќўџ"},
        {"Ґ", "ґ"},
        {"ABC xyz XYZ 09 №;\"", "abc xyz xyz 09 №;\""},
        {"уже строчные", "уже строчные"},
        {"\xD0", "\xD0"},         // a sequence cut short
        {"\xFF\xFE", "\xFF\xFE"}, // bytes that start none
        {"\xD0"
         "A",
         "\xD0"
         "a"}, // a lead byte without its follower
        {"", ""},
    };
    for (const auto& [text, folded] : rows)
        EXPECT_EQ(EventFilter::foldCase(text), folded) << text;
}

TEST(EventFilter, SearchWithBrokenUtf8NeitherMatchesWronglyNorReadsPastTheText) {
    EventFilter filter;
    filter.setSearchText("\xD0");
    EXPECT_TRUE(filter.matches(listEvent(1, 0, 0, 0, "\xD0", "")));
    EXPECT_FALSE(filter.matches(listEvent(1, 0, 0, 0, "abc", "")));
    filter.setSearchText("ab");
    EXPECT_TRUE(filter.matches(listEvent(1, 0, 0, 0,
                                         "\xFF"
                                         "AB",
                                         "")));
    EXPECT_FALSE(filter.matches(listEvent(1, 0, 0, 0, "a", "")));
}

// Every decoder tells its erased records (four bytes 0xFF) from the others.
TEST(EventFilter, DecodersMarkErasedRecords) {
    const auto bytes = records({0xFFFFFFFFu, 0x00FFFFFFu, 0xFFFFFFFEu, 0x7FFFFFFFu, 0xFFFFFFFFu});
    for (Variant v : {Variant::Main, Variant::Garage, Variant::Military}) {
        double base = 0.0;
        const auto list = makeParser(v, datetime::fixedClock(kTestNow))->decodeEvents(bytes, base);
        std::vector<int> erased;
        for (const EventInfo& e : *list)
            if (e.erased)
                erased.push_back(e.number);
        EXPECT_EQ(erased, (std::vector<int>{1, 5})) << variantName(v);
        EventFilter hide;
        hide.setHideErased(true);
        int shown = 0;
        for (const EventInfo& e : *list)
            shown += hide.matches(e) ? 1 : 0;
        EXPECT_EQ(shown, 3) << variantName(v);
    }
}

} // namespace
