#include "DecoderTestSupport.h"
#include "UsualTabletParser.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct CodeRow {
    Variant variant;
    uint8_t bytes[4]; // memory order
    const char* type;
    const char* info;
    int category;
    bool dropped = false;
};

const CodeRow kRows[] = {
    // main variant
    {Variant::Main, {0, 0, 0, 0x00}, "(0) Норма", "", 0},
    {Variant::Main, {0x10, 0, 0, 0x08}, "(0) Норма", "Норма", 1},
    {Variant::Main, {0, 0, 0, 0x1F}, "(1) Резерв", "Резерв1", 1},
    {Variant::Main, {0, 0, 0, 0x22}, "(2) I2C", "I2C", 1},
    {Variant::Main, {0, 0, 0, 0x2B}, "(2) I2C", "I2C", 1},
    {Variant::Main, {0, 0, 0, 0x21}, "", "", 0},
    {Variant::Main, {0, 0, 0, 0x38}, "(3) Пульт", "Отсутствие связи с пультом", 0},
    {Variant::Main, {0, 0, 0, 0x31}, "(3) Пульт", "Неисправность кнопок пульта", 0},
    {Variant::Main, {0, 0, 0, 0x30}, "(3) Пульт", "Пульт. Норма", 0},
    {Variant::Main, {0, 0, 0, 0x3F}, "(3) Пульт", "Пульт. Неизвестное событие", 4},
    {Variant::Main, {0, 0, 0, 0x40}, "(4) Неисправность зоны 1", "Зона 1. Норма", 1},
    {Variant::Main,
     {0, 0, 0, 0x51},
     "(5) Неисправность зоны 2",
     "Зона 2. Неисправность системы пожаротушения",
     2},
    {Variant::Main,
     {0, 0, 0, 0x64},
     "(6) Неисправность зоны 3",
     "Зона 3. Неисправность шлейфа термокабеля",
     2},
    {Variant::Main,
     {0, 0, 0, 0x75},
     "(7) Неисправность зоны 4",
     "Зона 4. Неисправность системы пожаротушения и шлейфа термокабеля",
     2},
    {Variant::Main,
     {0, 0, 0, 0x57},
     "(5) Нотификация",
     "Зона 2. Неисправность зоны. Незвестное событие ",
     4},
    {Variant::Main, {0, 0, 0, 0x80}, "", "", 0, true},
    {Variant::Main, {0, 0, 0, 0x88}, "", "", 0, true},
    {Variant::Main, {0, 0, 0, 0xBC}, "", "", 0, true},
    {Variant::Main,
     {0, 0, 0, 0x81},
     "(8) Информация по зоне 1",
     "Информация по зоне 1. Запуск в ручном режиме",
     5},
    {Variant::Main,
     {0, 0, 0, 0x92},
     "(9) Информация по зоне 2",
     "Информация по зоне 2. Тушение в ручном режиме",
     5},
    {Variant::Main,
     {0, 0, 0, 0xA3},
     "(10) Информация по зоне 3",
     "Информация по зоне 3. Тушение завершено",
     5},
    {Variant::Main,
     {0, 0, 0, 0xB4},
     "(11) Информация по зоне 4",
     "Информация по зоне 4. Пожар. Автоматика отключена",
     5},
    {Variant::Main,
     {0, 0, 0, 0x85},
     "(8) Информация по зоне 1",
     "Информация по зоне 1. Пожар. Запуск в ручном режиме",
     5},
    {Variant::Main,
     {0, 0, 0, 0x86},
     "(8) Информация по зоне 1",
     "Информация по зоне 1. Пожар. Тушение в ручном режиме",
     5},
    {Variant::Main,
     {0, 0, 0, 0x87},
     "(8) Информация по зоне 1",
     "Информация по зоне 1. Пожар. Тушение завершено",
     5},
    {Variant::Main,
     {0, 0, 0, 0x89},
     "(8) Информация по зоне 1",
     "Информация по зоне 1. Запуск в автоматическом режиме",
     5},
    {Variant::Main,
     {0, 0, 0, 0x8A},
     "(8) Информация по зоне 1",
     "Информация по зоне 1. Тушение в автоматическом режиме",
     5},
    {Variant::Main,
     {0, 0, 0, 0x8B},
     "(8) Информация по зоне 1",
     "Информация по зоне 1. Тушение завершено",
     5},
    {Variant::Main,
     {0, 0, 0, 0x9D},
     "(9) Информация по зоне 2",
     "Информация по зоне 2. Пожар. Запуск в автоматическом режиме",
     5},
    {Variant::Main,
     {0, 0, 0, 0x8E},
     "(8) Информация по зоне 1",
     "Информация по зоне 1. Пожар. Тушение в автоматическом режиме",
     5},
    {Variant::Main,
     {0, 0, 0, 0x8F},
     "(8) Информация по зоне 1",
     "Информация по зоне 1. Пожар. Тушение завершено",
     5},
    {Variant::Main, {0, 0, 0, 0xC7}, "(12) Резерв", "Резерв2", 1},
    {Variant::Main, {0, 0, 0, 0xD0}, "(13) Автоматика", "Прибор в ручном режиме по тамперу", 0},
    {Variant::Main, {0, 0, 0, 0xDD}, "(13) Автоматика", "Прибор в ручном режиме по тамперу", 0},
    {Variant::Main, {0, 0, 0, 0xD2}, "(13) Автоматика", "Автоматика отключена по ключу", 0},
    {Variant::Main, {0, 0, 0, 0xD3}, "(13) Автоматика", "Автоматика отключена", 0},
    {Variant::Main, {0, 0, 0, 0xDB}, "(13) Автоматика", "Автоматика включена", 0},
    {Variant::Main,
     {0, 0, 0, 0xD6},
     "(13) Автоматика",
     "Сообщение автоматики. Неизвестное событие",
     0},
    {Variant::Main,
     {0, 0, 0, 0xDF},
     "(13) Автоматика",
     "Сообщение автоматики. Неизвестное событие",
     0},
    {Variant::Main, {0, 0, 0, 0xE8}, "(14) Питание", "Питание завышено", 3},
    {Variant::Main, {0, 0, 0, 0xE4}, "(14) Питание", "Питание занижено", 3},
    {Variant::Main, {0, 0, 0, 0xE0}, "(14) Нотификация", "Питание. Незвестное событие ", 3},
    {Variant::Main, {0, 0, 0, 0xF0}, "(15) Нотификация", "", 1},
    {Variant::Main, {0, 0, 0, 0xF2}, "(15) Нотификация", " Отсутствие питания.", 1},
    {Variant::Main,
     {0, 0, 0, 0xF5},
     "(15) Нотификация",
     "Сброс прибора. Переполнение счетчика времени.",
     1},
    {Variant::Main,
     {0, 0, 0, 0xFF},
     "(15) Нотификация",
     "Сброс прибора. Отсутствие питания. Переполнение счетчика времени. Рестарт процессора.",
     1},
    {Variant::Main,
     {0xFF, 0xFF, 0xFF, 0xFF},
     "(15) Нотификация",
     "Сброс прибора. Отсутствие питания. Переполнение счетчика времени. Рестарт процессора.",
     1},

    // military variant
    {Variant::Military, {0, 0, 0, 0x08}, "(0) Норма", "Норма", 1},
    {Variant::Military, {0, 0, 0, 0x12}, "(1) I2C", "I2C", 1},
    {Variant::Military, {0, 0, 0, 0x10}, "", "", 0},
    {Variant::Military, {0, 0, 0, 0x20}, "(2) Пульт", "Пульт. Норма", 0},
    {Variant::Military, {0, 0, 0, 0x28}, "(2) Пульт", "Отсутствие связи с пультом", 0},
    {Variant::Military, {0, 0, 0, 0x2C}, "(2) Пульт", "Пульт. Неизвестное событие", 4},
    {Variant::Military,
     {0, 0, 0, 0x31},
     "(3) Неисправность зоны 1",
     "Зона 1. Неисправность системы пожаротушения",
     2},
    {Variant::Military,
     {0, 0, 0, 0x75},
     "(7) Неисправность зоны 5",
     "Зона 5. Неисправность системы пожаротушения и шлейфа термокабеля",
     2},
    {Variant::Military,
     {0, 0, 0, 0x73},
     "(7) Нотификация",
     "Зона 5. Неисправность зоны. Незвестное событие ",
     4},
    {Variant::Military,
     {0, 0, 0, 0x81},
     "(8) Информация по зоне 1",
     "Информация по зоне 1. Запуск в ручном режиме",
     5},
    {Variant::Military,
     {0, 0, 0, 0xC9},
     "(12) Информация по зоне 5",
     "Информация по зоне 5. Запуск в автоматическом режиме",
     5},
    {Variant::Military, {0, 0, 0, 0xC0}, "", "", 0, true},
    {Variant::Military, {0, 0, 0, 0xC8}, "", "", 0, true},
    {Variant::Military, {0, 0, 0, 0x8C}, "", "", 0, true},
    {Variant::Military, {0, 0, 0, 0xD3}, "(13) Автоматика", "Автоматика отключена", 0},
    {Variant::Military, {0, 0, 0, 0xE4}, "(14) Питание", "Питание занижено", 3},
    {Variant::Military, {0, 0, 0, 0xE1}, "(14) Нотификация", "Питание. Незвестное событие ", 3},
    {Variant::Military, {0, 0, 0, 0xF8}, "(15) Нотификация", " Рестарт процессора.", 1},

    // garage variant
    {Variant::Garage, {0, 0, 0, 0x00}, "(0) Неисправность", "Все цепи в норме", 0},
    {Variant::Garage, {0x02, 0, 0, 0x03}, "(0) Неисправность", "Неисправность шлейфа №2", 0},
    {Variant::Garage, {0, 0, 0, 0x01}, "(0) Неисправность", "Неисправность шлейфа №1", 0},
    {Variant::Garage,
     {0, 0, 0, 0x04},
     "(0) Неисправность",
     "Неисправность устройства пожаротушения",
     0},
    {Variant::Garage, {0, 0, 0, 0x0F}, "(0) Неисправность", "Неисправность шлейфа двери", 0},
    {Variant::Garage, {0, 0, 0, 0x10}, "(0) Неисправность", "Неисправность выхода таб. 1", 0},
    {Variant::Garage, {0, 0, 0, 0x30}, "(0) Неисправность", "Неисправность выхода таб. 2", 0},
    {Variant::Garage, {0, 0, 0, 0x41}, "(0) Неисправность", "Неисправность линии связи", 0},
    {Variant::Garage, {0, 0, 0, 0xFF}, "(0) Неисправность", "Неисправность прибора", 0},
    {Variant::Garage,
     {0, 0, 0x40, 0x00},
     "(1) Работа прибора",
     "Автоматика отключена кнопкой 'сброс'",
     1},
    {Variant::Garage,
     {0, 0, 0x40, 0x09},
     "(1) Работа прибора",
     "Автоматика отключена открытием двери",
     1},
    {Variant::Garage,
     {0, 0, 0x40, 0x02},
     "(1) Работа прибора",
     "Автоматика отключена открытием крышки",
     1},
    {Variant::Garage, {0, 0, 0x40, 0x03}, "(1) Работа прибора", "Автоматика отключена с пульта", 1},
    {Variant::Garage, {0, 0, 0x40, 0x04}, "(1) Работа прибора", "Неизвестный вид события", 1},
    {Variant::Garage,
     {0, 0, 0x40, 0x85},
     "(1) Работа прибора",
     "Автоматика включена электронным ключем",
     1},
    {Variant::Garage, {0, 0, 0x40, 0x06}, "(1) Работа прибора", "Неизвестный вид события", 1},
    {Variant::Garage, {0, 0, 0x40, 0xF7}, "(1) Работа прибора", "Автоматика включена с пульта", 1},
    {Variant::Garage, {0, 0, 0x80, 0x00}, "(2) Тревожное сообщение", "", 2},
    {Variant::Garage,
     {0, 0, 0x80, 0x04},
     "(2) Тревожное сообщение",
     "Внимание! Сработал один извещатель",
     2},
    {Variant::Garage,
     {0, 0, 0x80, 0x0C},
     "(2) Тревожное сообщение",
     "Пожар! (сработало более одного извещателя)",
     2},
    {Variant::Garage, {0, 0, 0x80, 0x09}, "(2) Тревожное сообщение", "Сработка шлейфа №1", 2},
    {Variant::Garage, {0, 0, 0x80, 0x0B}, "(2) Тревожное сообщение", "Сработка шлейфа №2", 2},
    {Variant::Garage,
     {0, 0, 0x80, 0x48},
     "(2) Тревожное сообщение",
     "Запуск в автоматическом режиме",
     2},
    {Variant::Garage,
     {0, 0, 0x80, 0x10},
     "(2) Тревожное сообщение",
     "Запуск отменен - открыта дверь",
     2},
    {Variant::Garage,
     {0, 0, 0x80, 0x20},
     "(2) Тревожное сообщение",
     "Запуск отменен - открыта крышка прибора",
     2},
    {Variant::Garage, {0, 0, 0x80, 0x31}, "(2) Тревожное сообщение", "Запуск отменен с пульта", 2},
    {Variant::Garage, {0, 0, 0x80, 0x50}, "(2) Тревожное сообщение", "Неизвестный вид события", 2},
    {Variant::Garage,
     {0, 0, 0x80, 0x60},
     "(2) Тревожное сообщение",
     "Запуск в ручном режиме по нажатию кнопки пуск",
     2},
    {Variant::Garage,
     {0, 0, 0x80, 0x70},
     "(2) Тревожное сообщение",
     "Запуск в ручном режиме с пульта",
     2},
    {Variant::Garage, {0, 0, 0x80, 0x8C}, "(2) Тревожное сообщение", "Начало тушения", 2},
    {Variant::Garage, {0, 0, 0x80, 0xB0}, "(2) Тревожное сообщение", "Неизвестный вид события", 2},
    {Variant::Garage, {0, 0, 0x80, 0xC0}, "(2) Тревожное сообщение", "Тушение завершено", 2},
    {Variant::Garage, {0, 0, 0x80, 0xF0}, "(2) Тревожное сообщение", "Неизвестный вид события", 2},
    {Variant::Garage, {0, 0, 0xC0, 0x00}, "(3) Информация о питании", "Питание в норме", 3},
    {Variant::Garage, {0, 0, 0xC0, 0x01}, "(3) Информация о питании", "Неисправность питания", 3},
    {Variant::Garage, {0, 0, 0xC0, 0x80}, "(3) Информация о питании", "Питание включено", 3},
    {Variant::Garage, {0, 0, 0xC0, 0x02}, "(3) Информация о питании", "Память событий пуста", 3},
    {Variant::Garage,
     {0xFF, 0xFF, 0xFF, 0xFF},
     "(3) Информация о питании",
     "Память событий пуста",
     3},
};

TEST(DecoderTables, EveryRowDecodesToItsTexts) {
    for (const CodeRow& row : kRows) {
        const auto parser = makeParser(row.variant, datetime::fixedClock(kTestNow));
        double base = 0.0;
        const auto events = parser->decodeEvents(row.bytes, base);
        const std::string where = std::string(variantName(row.variant)) + " " +
                                  std::to_string(row.bytes[3]) + " " + row.info;
        if (row.dropped) {
            EXPECT_EQ(events->count(), 0) << where;
            continue;
        }
        ASSERT_EQ(events->count(), 1) << where;
        const EventInfo& e = events->at(0);
        EXPECT_EQ(e.typeText, row.type) << where;
        EXPECT_EQ(e.infoText, row.info) << where;
        EXPECT_EQ(e.category, row.category) << where;
        EXPECT_EQ(e.codeByte, row.bytes[3]) << where;
        EXPECT_EQ(e.number, 1) << where;
        EXPECT_EQ(e.position, 0) << where;
        EXPECT_EQ(e.noteText, "") << where;
        EXPECT_EQ(e.timeState, EventInfo::Normal) << where;
        EXPECT_EQ(e.raw.has_value(), row.variant == Variant::Garage) << where;
    }
}

// Every code byte decodes in every variant: nothing is left without a row.
TEST(DecoderTables, AllCodeBytesDecodeAndOnlyZoneInformationIsDropped) {
    for (Variant v : {Variant::Main, Variant::Garage, Variant::Military}) {
        const auto parser = makeParser(v, datetime::fixedClock(kTestNow));
        for (int code = 0; code < 256; ++code) {
            const uint8_t bytes[4] = {0, 0, static_cast<uint8_t>(v == Variant::Garage ? 0xC0 : 0),
                                      static_cast<uint8_t>(code)};
            double base = 0.0;
            const auto events = parser->decodeEvents(bytes, base);
            const int group = code >> 4, sub = code & 15;
            const bool zoneInfo =
                v == Variant::Main ? (group >= 8 && group <= 11) : (group >= 8 && group <= 12);
            const bool dropped =
                v != Variant::Garage && zoneInfo && (sub == 0 || sub == 8 || sub == 12);
            EXPECT_EQ(events->count(), dropped ? 0 : 1) << variantName(v) << " " << code;
            for (const EventInfo& e : *events) {
                EXPECT_GE(e.category, 0);
                EXPECT_LE(e.category, 5);
            }
        }
    }
}

TEST(DecoderTables, MilitaryHasNoReserveTexts) {
    const auto parser = makeParser(Variant::Military, datetime::fixedClock(kTestNow));
    for (int code = 0; code < 256; ++code) {
        const uint8_t bytes[4] = {0, 0, 0, static_cast<uint8_t>(code)};
        double base = 0.0;
        const auto events = parser->decodeEvents(bytes, base);
        for (const EventInfo& e : *events) {
            EXPECT_EQ(e.infoText.str().find("Резерв"), std::string::npos) << code;
            EXPECT_EQ(e.typeText.str().find("Резерв"), std::string::npos) << code;
        }
    }
}

TEST(DecoderTables, GarageZeroTimeFlagOnlyForPowerUpAtTimeZero) {
    const auto parser = makeParser(Variant::Garage, datetime::fixedClock(kTestNow));
    struct Row {
        uint32_t word;
        uint8_t flag;
    } rows[] = {
        {garageWord(3, 0x80, 0), 1},
        {garageWord(3, 0x80, 1), 0},
        {garageWord(3, 0x00, 0), 0},
        {garageWord(0, 0x00, 0), 0},
    };
    for (const Row& row : rows) {
        double base = 0.0;
        const auto bytes = records({row.word});
        EXPECT_EQ(parser->decodeEvents(bytes, base)->at(0).zeroTime, row.flag) << row.word;
    }
    // main and military always end with the flag cleared
    for (Variant v : {Variant::Main, Variant::Military}) {
        double base = 0.0;
        const auto bytes = records({0u});
        EXPECT_EQ(makeParser(v)->decodeEvents(bytes, base)->at(0).zeroTime, 0);
    }
}

TEST(DecoderTables, CodeByteText) {
    const std::pair<uint8_t, const char*> rows[] = {
        {0, "00000000"}, {5, "00000101"}, {128, "10000000"}, {255, "11111111"}, {0x5A, "01011010"}};
    for (const auto& [code, text] : rows)
        EXPECT_EQ(eventtext::codeByteText(code), text);
}

TEST(DecoderTables, CollectionRejectsIndexesOutsideTheList) {
    EventCollection events;
    events.append(EventInfo{});
    EXPECT_NO_THROW(events.at(0));
    for (int bad : {-1, 1, 100}) {
        try {
            events.at(bad);
            ADD_FAILURE() << bad;
        } catch (const std::length_error& e) {
            EXPECT_STREQ(e.what(), "vector");
        }
    }
}

} // namespace
