#include "Controller.h"
#include "OneWireCrc.h"
#include "ParserFactory.h"
#include "ReadCommandRecord.h"
#include "SimAdapter.h"
#include "TabletImage.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <set>

using namespace onewiresim;

namespace {

constexpr double kNow = 1800000000.0; // 2027-01-15 08:00:00 UTC

MemoryButton tabletWithCommand(uint8_t version = 2) {
    MemoryButton t(Model::DS1994, makeRom(0x04, {0x10, 0x32, 0x54, 0x76, 0x00, 0x00}));
    t.registers()[1] = MemoryButton::kOscillator;
    t.setClock(static_cast<uint32_t>(kNow), 0, kNow);
    const auto command = ReadCommandRecord::build(t.rom(), version);
    std::copy(command.begin(), command.end(), t.memory().begin());
    return t;
}

TabletImage imageOf(const MemoryButton& t, double now) {
    TabletImage image;
    for (uint16_t a = 0; a < TabletImage::kSize; ++a)
        image.bytes()[a] = t.readByte(a, now);
    return image;
}

TEST(Controller, SerialKeyIsTheLowSerialRotatedRightByTwo) {
    const auto rom = makeRom(0x04, {0x01, 0x00, 0x00, 0x80, 0xAA, 0xBB});
    // v = 0x80000001; rotated right by 2: bits 0 and 1 become 30 and 31
    EXPECT_EQ(ReadCommandRecord::serialKey(rom), 0x60000000u);
    const auto v1 = ReadCommandRecord::build(rom, 1), v2 = ReadCommandRecord::build(rom, 2);
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(v1[i] != v2[i], i == 5 || i == 7) << i;
}

TEST(Controller, FilledTabletPassesTheChecksForEveryVariant) {
    const std::pair<Variant, uint8_t> rows[] = {
        {Variant::Main, 7}, {Variant::Garage, 3}, {Variant::Military, 8}};
    for (const auto& [variant, device] : rows) {
        for (std::optional<uint32_t> seed :
             {std::optional<uint32_t>(), std::optional<uint32_t>(9)}) {
            MemoryButton t = tabletWithCommand();
            const auto header = std::vector<uint8_t>(t.memory().begin(), t.memory().begin() + 8);
            ControllerOptions o;
            o.variant = variant;
            o.seed = seed;
            std::string error;
            ASSERT_TRUE(touchController(t, o, kNow, error)) << error;
            const TabletImage image = imageOf(t, kNow);
            EXPECT_EQ(image.validate(), TabletImage::Check::Passed);
            EXPECT_EQ(image.deviceNumber(), device);
            EXPECT_TRUE(std::equal(header.begin(), header.end(), image.bytes().begin()))
                << "the read command stays as written";
        }
    }
}

TEST(Controller, RefusesTabletsWithoutAValidReadCommand) {
    const std::pair<const char*, std::function<void(MemoryButton&)>> rows[] = {
        {"blank", [](MemoryButton& t) { std::fill_n(t.memory().begin(), 8, 0); }},
        {"erased", [](MemoryButton& t) { std::fill_n(t.memory().begin(), 8, 0xFF); }},
        {"command byte", [](MemoryButton& t) { t.memory()[0] = 0x05; }},
        {"crc", [](MemoryButton& t) { t.memory()[7] ^= 1; }},
        {"another tablet",
         [](MemoryButton& t) {
             const auto other = ReadCommandRecord::build(makeRom(4, {9, 9, 9, 9, 0, 0}), 2);
             std::copy(other.begin(), other.end(), t.memory().begin());
         }},
        {"version 3",
         [](MemoryButton& t) {
             t.memory()[5] = 3;
             t.memory()[7] = static_cast<uint8_t>(onewire::crc8(t.memory().data(), 7));
         }},
    };
    for (const auto& [name, breakIt] : rows) {
        MemoryButton t = tabletWithCommand();
        breakIt(t);
        const auto before = t.memory();
        ControllerOptions o;
        std::string error;
        EXPECT_FALSE(touchController(t, o, kNow, error)) << name;
        EXPECT_FALSE(error.empty()) << name;
        EXPECT_EQ(t.memory(), before) << name << ": nothing is written";
    }
    MemoryButton small(Model::DS1992, makeRom(0x08, {1, 2, 3, 4, 0, 0}));
    std::string error;
    EXPECT_FALSE(touchController(small, {}, kNow, error));
}

TEST(Controller, AcceptsBothCommandVersions) {
    for (uint8_t version : {1, 2}) {
        MemoryButton t = tabletWithCommand(version);
        std::string error;
        EXPECT_TRUE(touchController(t, {}, kNow, error)) << error;
    }
}

// The scripted histories word for word, against the event areas the tests'
// script builds from the record layouts (tests/data/make_controller_areas.py).
TEST(Controller, ScriptedHistoriesFillTheAreasTheScriptBuilds) {
    const std::pair<Variant, const char*> rows[] = {
        {Variant::Main, "main"}, {Variant::Garage, "garage"}, {Variant::Military, "military"}};
    for (const auto& [variant, name] : rows) {
        const std::string file =
            std::string(TEST_DATA_DIR) + "/controller/" + name + "-scripted.bin";
        std::ifstream in(file, std::ios::binary);
        const std::vector<uint8_t> golden{std::istreambuf_iterator<char>(in), {}};
        ASSERT_EQ(golden.size(), 500u) << file;
        ControllerOptions o;
        o.variant = variant;
        const EventMemory m = buildEventMemory(o);
        EXPECT_TRUE(std::equal(m.area.begin(), m.area.end(), golden.begin())) << name;
        const int64_t counter = golden[496] | golden[497] << 8 | golden[498] << 16 |
                                static_cast<int64_t>(golden[499]) << 24;
        EXPECT_EQ(m.counterNow, counter) << name;
    }
}

TEST(Controller, SeededHistoryIsReproducibleAndCoversEveryCode) {
    for (Variant v : {Variant::Main, Variant::Garage, Variant::Military}) {
        ControllerOptions o;
        o.variant = v;
        o.seed = 42;
        const EventMemory a = buildEventMemory(o), b = buildEventMemory(o);
        EXPECT_EQ(a.area, b.area);
        o.seed = 43;
        EXPECT_NE(buildEventMemory(o).area, a.area);
        std::set<int> groups;
        for (size_t i = 0; i < 496; i += 4) {
            if (v == Variant::Garage)
                groups.insert(a.area[i + 2] >> 6);
            else
                groups.insert(a.area[i + 3] >> 4);
        }
        EXPECT_EQ(groups.size(), v == Variant::Garage ? 4u : 16u);
    }
}

TEST(Controller, EventsOptionLeavesTheRestErased) {
    ControllerOptions o;
    o.variant = Variant::Main;
    o.seed = 1;
    o.events = 10;
    const EventMemory m = buildEventMemory(o);
    for (size_t i = 40; i < 496; ++i)
        ASSERT_EQ(m.area[i], 0xFF) << i;
    EXPECT_NE(m.area[0] & m.area[1] & m.area[2] & m.area[3], 0xFF);
}

// The history decodes to dates around the touch: the newest event two hours
// before it, for every variant's time rule.
TEST(Controller, DecodedNewestEventLiesTwoHoursBeforeTheTouch) {
    const double nowDays = 25569.0 + kNow / 86400.0;
    for (const VariantRow& row : variantTable()) {
        const Variant dv = row.variant;
        MemoryButton t = tabletWithCommand();
        ControllerOptions o;
        o.variant = dv;
        std::string error;
        ASSERT_TRUE(touchController(t, o, kNow, error));
        const TabletImage image = imageOf(t, kNow);
        const auto events =
            makeParser(dv, datetime::fixedClock(nowDays))->decodeImage(image.bytes(), 512);
        ASSERT_GT(events->count(), 10);
        EXPECT_NEAR(events->at(0).time, nowDays - 2.0 / 24, 10.0 / 86400) << variantName(dv);
        // without a wrap rule, military times jump at a power loss
        for (int i = 1; dv != Variant::Military && i < events->count(); ++i)
            EXPECT_LE(events->at(i).time, events->at(i - 1).time + 1e-9) << i;
    }
}

TEST(Controller, ScriptedGarageHistoryMarksTheRunBeforeTheLastPowerUp) {
    MemoryButton t = tabletWithCommand();
    std::string error;
    ASSERT_TRUE(touchController(t, {}, kNow, error));
    const auto events = makeParser(Variant::Garage, datetime::fixedClock(25569.0 + kNow / 86400))
                            ->decodeImage(imageOf(t, kNow).bytes(), 512);
    int marked = 0, unmarked = 0;
    for (const EventInfo& e : *events)
        (e.timeState == EventInfo::NeedsCorrection ? marked : unmarked)++;
    EXPECT_GT(marked, 0);
    EXPECT_GT(unmarked, 5);
}

} // namespace
