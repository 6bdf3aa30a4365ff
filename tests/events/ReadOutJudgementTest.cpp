#include "ReadOutJudgement.h"
#include "ImageCheckMessages.h"
#include "LittleEndian.h"
#include "ReadCommandRecord.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

namespace {

constexpr uint32_t kClock = 1582934400; // 2020-02-29 00:00:00

// A reading of a tablet that stayed on the adapter: a sealed image whose clock
// bytes the clock read afterwards confirms.
TabletReading reading(uint8_t family, uint8_t device) {
    TabletReading r;
    r.rom = {family, 0x48, 0xD1, 0x58, 0xE1, 0x00, 0x00, 0x00};
    r.image.setReadCommand(ReadCommandRecord::build(r.rom, 2));
    r.image.setDeviceNumber(device);
    r.image.setTimeStamp(400000);
    r.image.setRecord(0, 0x80001000);
    r.image.seal();
    r.image.setClock(kClock, 0x40);
    r.clockStable = true;
    r.clock = r.image.clockBytes();
    r.secondsTaken = 1;
    return r;
}

void clockRead(TabletReading& r, uint32_t seconds) {
    le::write32(r.clock.data() + 1, seconds);
}

const std::string kFirst = imageCheckMessage(TabletImage::Check::FirstHeader);
const std::string kSecond = imageCheckMessage(TabletImage::Check::SecondHeader);
const std::string kSum = imageCheckMessage(TabletImage::Check::EventSum);
const std::string kRemoved = "Электронный ключ убран до окончания чтения. Попробуйте еще раз.";
const std::string kNotFilled =
    "Таблетка не заполнена контроллером. Приложите ее к контроллеру и считайте снова.";

// Bytes 8 to 511 each set to `value`; the read command and the clock stay.
void fillControllerPart(TabletReading& r, uint8_t value) {
    for (size_t k = 8; k < 512; ++k)
        r.image.bytes()[k] = value;
}

struct Row {
    const char* name;
    uint8_t family;
    uint8_t device;
    std::function<void(TabletReading&)> change;
    uint8_t result;
    const char* versionLine;
    std::optional<std::string> error;
    bool tabletLines;
    bool unknownTablet;
    std::optional<Variant> variant;
};

const auto kAsRead = [](TabletReading&) {};

TEST(ReadOutJudgement, FamilyChecksClockAndDeviceRule) {
    const Row rows[] = {
        {"DS1994 main", 4, 7, kAsRead, 4, "Версия DS1994", {}, true, false, Variant::Main},
        {"DS1994 military", 4, 8, kAsRead, 4, "Версия DS1994", {}, true, false, Variant::Military},
        {"DS1994 garage", 4, 3, kAsRead, 4, "Версия DS1994", {}, true, false, Variant::Garage},
        {"DS1994 unset", 4, 255, kAsRead, 4, "Версия DS1994", {}, true, false, Variant::Garage},
        {"DS1993 main", 6, 7, kAsRead, 6, "Версия DS1993", {}, false, false, Variant::Main},
        {"DS1993 military", 6, 8, kAsRead, 6, "Версия DS1993", {}, false, false, Variant::Military},
        {"DS1993 garage", 6, 3, kAsRead, 6, "Версия DS1993", {}, false, true, {}},
        {"DS1992 unset", 7, 255, kAsRead, 7, "Версия DS1992", {}, false, true, {}},
        {"DS1992 military", 7, 8, kAsRead, 7, "Версия DS1992", {}, false, false, Variant::Military},
        {"unknown family military",
         0x21,
         8,
         kAsRead,
         255,
         "Неизвестный номер версии",
         {},
         false,
         false,
         Variant::Military},
        {"unknown family garage",
         0x21,
         3,
         kAsRead,
         255,
         "Неизвестный номер версии",
         {},
         false,
         true,
         {}},
        {"other families are not checked",
         6,
         7,
         [](TabletReading& r) { r.image.bytes()[15] ^= 0xFF; },
         6,
         "Версия DS1993",
         {},
         false,
         false,
         Variant::Main},
        {"other families need no clock",
         6,
         8,
         [](TabletReading& r) { r.clockStable = false; },
         6,
         "Версия DS1993",
         {},
         false,
         false,
         Variant::Military},
        {"first header",
         4,
         7,
         [](TabletReading& r) { r.image.bytes()[3] ^= 1; },
         254,
         "Версия DS1994",
         kFirst,
         false,
         true,
         {}},
        {"second header",
         4,
         8,
         [](TabletReading& r) { r.image.bytes()[12] ^= 1; },
         254,
         "Версия DS1994",
         kSecond,
         false,
         true,
         {}},
        {"event sum",
         4,
         7,
         [](TabletReading& r) { r.image.bytes()[200] ^= 1; },
         254,
         "Версия DS1994",
         kSum,
         false,
         true,
         {}},
        {"clock not read",
         4,
         7,
         [](TabletReading& r) { r.clockStable = false; },
         254,
         "Версия DS1994",
         kRemoved,
         false,
         false,
         {}},
        {"clock behind the copy",
         4,
         7,
         [](TabletReading& r) { clockRead(r, kClock - 1); },
         254,
         "Версия DS1994",
         kRemoved,
         false,
         false,
         {}},
        {"clock later than the read can have taken",
         4,
         7,
         [](TabletReading& r) { clockRead(r, kClock + 2); },
         254,
         "Версия DS1994",
         kRemoved,
         false,
         false,
         {}},
        {"clock later within the read",
         4,
         7,
         [](TabletReading& r) { clockRead(r, kClock + 1); },
         4,
         "Версия DS1994",
         {},
         true,
         false,
         Variant::Main},
        {"a slow read",
         4,
         7,
         [](TabletReading& r) {
             r.secondsTaken = 30;
             clockRead(r, kClock + 30);
         },
         4,
         "Версия DS1994",
         {},
         true,
         false,
         Variant::Main},
        // lifted after the headers with the rest erased: every check passes, the
        // copied clock reads 0xFFFFFFFF, and nothing answers the clock read
        {"lifted over an erased area",
         4,
         7,
         [](TabletReading& r) {
             std::fill(r.image.eventArea().begin(), r.image.eventArea().end(), 0xFF);
             r.image.seal();
             r.image.setClock(0xFFFFFFFF, 0xFF);
             r.clockStable = false;
             r.clock.fill(0xFF);
         },
         254,
         "Версия DS1994",
         kRemoved,
         false,
         false,
         {}},
        {"only the read command",
         4,
         7,
         [](TabletReading& r) { fillControllerPart(r, 0x00); },
         253,
         "Версия DS1994",
         kNotFilled,
         false,
         false,
         {}},
        {"erased after the read command",
         4,
         7,
         [](TabletReading& r) { fillControllerPart(r, 0xFF); },
         253,
         "Версия DS1994",
         kNotFilled,
         false,
         false,
         {}},
        {"erased whole",
         4,
         7,
         [](TabletReading& r) {
             for (size_t k = 0; k < 512; ++k)
                 r.image.bytes()[k] = 0xFF;
         },
         253,
         "Версия DS1994",
         kNotFilled,
         false,
         false,
         {}},
        {"zeros whole, the clock still ticking",
         4,
         7,
         [](TabletReading& r) {
             for (size_t k = 0; k < 512; ++k)
                 r.image.bytes()[k] = 0x00;
         },
         253,
         "Версия DS1994",
         kNotFilled,
         false,
         false,
         {}},
        {"zeros but one event byte, sealed",
         4,
         7,
         [](TabletReading& r) {
             fillControllerPart(r, 0x00);
             r.image.bytes()[100] = 1;
             r.image.seal();
         },
         4,
         "Версия DS1994",
         {},
         true,
         false,
         Variant::Garage},
        {"removed outranks an unfilled tablet",
         4,
         7,
         [](TabletReading& r) {
             fillControllerPart(r, 0x00);
             r.clockStable = false;
         },
         254,
         "Версия DS1994",
         kRemoved,
         false,
         false,
         {}},
        {"other families are not judged unfilled",
         6,
         7,
         [](TabletReading& r) { fillControllerPart(r, 0x00); },
         6,
         "Версия DS1993",
         {},
         false,
         true,
         {}},
        {"removed outranks a broken check",
         4,
         7,
         [](TabletReading& r) {
             r.image.bytes()[3] ^= 1;
             r.clockStable = false;
         },
         254,
         "Версия DS1994",
         kRemoved,
         false,
         false,
         {}},
    };
    for (const Row& row : rows) {
        TabletReading r = reading(row.family, row.device);
        row.change(r);
        const ReadOutOutcome out = ReadOutJudgement::judge(r);
        EXPECT_EQ(out.result, row.result) << row.name;
        EXPECT_EQ(out.versionLine, row.versionLine) << row.name;
        EXPECT_EQ(out.errorMessage, row.error) << row.name;
        EXPECT_EQ(out.tabletLines, row.tabletLines) << row.name;
        EXPECT_EQ(out.unknownTablet, row.unknownTablet) << row.name;
        EXPECT_EQ(out.variant, row.variant) << row.name;
    }
}

TEST(ReadOutJudgement, TabletLinesAndTheYearWidened) {
    const struct {
        uint32_t clock;
        int year, month, day;
    } rows[] = {
        {0, 1970, 1, 1},          {946684800, 2000, 1, 1},   {1262304000, 2010, 1, 1},
        {1293840000, 2011, 1, 1}, {3124224000u, 2069, 1, 1}, {kClock + 86399, 2020, 2, 29},
    };
    for (const auto& row : rows) {
        TabletReading r = reading(4, 255);
        r.image.setClock(row.clock);
        r.clock = r.image.clockBytes();
        const ReadOutOutcome out = ReadOutJudgement::judge(r);
        ASSERT_TRUE(out.tabletLines) << row.clock;
        EXPECT_EQ(out.year, row.year) << row.clock;
        EXPECT_EQ(out.month, row.month) << row.clock;
        EXPECT_EQ(out.day, row.day) << row.clock;
        EXPECT_EQ(out.serialLine, r.image.serialNumberText());
        EXPECT_EQ(out.deviceLine, "Номер устройства: _");
    }
}

// An image kept in a file is judged as a reading of it: the same checks and
// messages, the device rule, and the image's own clock for the date.
TEST(ReadOutJudgement, AnImageIsJudgedAsAReadingOfIt) {
    const struct {
        const char* name;
        std::function<void(TabletReading&)> change;
        uint8_t result;
        std::optional<std::string> error;
        std::optional<Variant> variant;
    } rows[] = {
        {"main", kAsRead, 4, {}, Variant::Main},
        {"garage",
         [](TabletReading& r) { r.image.setDeviceNumber(3), r.image.seal(); },
         4,
         {},
         Variant::Garage},
        {"first header", [](TabletReading& r) { r.image.bytes()[3] ^= 1; }, 254, kFirst, {}},
        {"event sum", [](TabletReading& r) { r.image.bytes()[200] ^= 1; }, 254, kSum, {}},
        {"only the read command",
         [](TabletReading& r) { fillControllerPart(r, 0x00); },
         253,
         kNotFilled,
         {}},
        {"erased", [](TabletReading& r) { fillControllerPart(r, 0xFF); }, 253, kNotFilled, {}},
        // a 512-byte image: no register page, so no clock to contradict it
        {"no register page",
         [](TabletReading& r) {
             for (size_t k = 512; k < TabletImage::kSize; ++k)
                 r.image.bytes()[k] = 0;
         },
         4,
         {},
         Variant::Main},
    };
    for (const auto& row : rows) {
        TabletReading r = reading(4, 7);
        row.change(r);
        const TabletReading fromImage = ReadOutJudgement::imageReading(r.image);
        EXPECT_EQ(fromImage.familyCode(), 4) << row.name;
        EXPECT_EQ(fromImage.image.bytes(), r.image.bytes()) << row.name;
        const ReadOutOutcome out = ReadOutJudgement::judge(fromImage);
        EXPECT_EQ(out.result, row.result) << row.name;
        EXPECT_EQ(out.versionLine, "Версия DS1994") << row.name;
        EXPECT_EQ(out.errorMessage, row.error) << row.name;
        EXPECT_EQ(out.variant, row.variant) << row.name;
    }
    const ReadOutOutcome dated =
        ReadOutJudgement::judge(ReadOutJudgement::imageReading(reading(4, 7).image));
    EXPECT_EQ(dated.year, 2020);
    EXPECT_EQ(dated.month, 2);
    EXPECT_EQ(dated.day, 29);
    // a kept ROM code of another family is judged as that family
    const std::array<uint8_t, 8> ds1993{6, 1, 2, 3, 4, 5, 6, 0};
    const ReadOutOutcome other =
        ReadOutJudgement::judge(ReadOutJudgement::imageReading(reading(6, 8).image, ds1993));
    EXPECT_EQ(other.versionLine, "Версия DS1993");
    EXPECT_EQ(other.variant, Variant::Military);
}

TEST(VariantTable, DeviceRuleNamesAndImportItems) {
    const std::pair<uint8_t, Variant> devices[] = {{7, Variant::Main},
                                                   {8, Variant::Military},
                                                   {3, Variant::Garage},
                                                   {255, Variant::Garage},
                                                   {0, Variant::Garage}};
    for (const auto& [device, variant] : devices)
        EXPECT_EQ(variantForDeviceNumber(device), variant) << int(device);
    EXPECT_EQ(variantClaiming(3), std::nullopt);
    for (const VariantRow& row : variantTable()) {
        EXPECT_EQ(variantFromName(row.name), row.variant);
        EXPECT_EQ(variantFromImportItem(row.importItem), row.variant);
        EXPECT_EQ(variantForDeviceNumber(row.deviceNumber), row.variant) << row.name;
        double base = 0;
        EXPECT_EQ(makeParser(row.variant)->decodeEvents({}, base)->count(), 0);
    }
    EXPECT_EQ(variantFromName("Main"), std::nullopt);
    EXPECT_EQ(variantFromImportItem(3), std::nullopt);
}

TEST(RecordCodec, FieldsSurviveTheirLayout) {
    const RecordFields main{0xD2, 0, 0x00ABCDEF};
    const RecordCodec& m = *variantRow(Variant::Main).codec;
    EXPECT_EQ(m.encode(main), 0xD2ABCDEFu);
    EXPECT_EQ(m.decode(0xD2ABCDEF).seconds, 0x00ABCDEFu);
    EXPECT_EQ(m.decode(0xD2ABCDEF).codeByte, 0xD2);
    const RecordCodec& g = *variantRow(Variant::Garage).codec;
    const RecordFields garage{0x80, 3, 8 * 0x3FFFFF};
    EXPECT_EQ(g.encode(garage), 0x80FFFFFFu);
    const RecordFields back = g.decode(0x80FFFFFF);
    EXPECT_EQ(back.kind, 3);
    EXPECT_EQ(back.codeByte, 0x80);
    EXPECT_EQ(back.seconds, 8u * 0x3FFFFF);
    EXPECT_EQ(g.encode({0, 1, 15}), 1u << 22 | 1) << "seconds go in 8-second units";
}

} // namespace
