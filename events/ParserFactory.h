#pragma once

#include "DateTime.h"
#include "RecordCodec.h"
#include "TabletDataParserBase.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

// The three controller variants, in the order of the import dialog's items.
enum class Variant { Main = 0, Garage = 1, Military = 2 };

// Everything the program knows about one controller variant. The program, the
// headless decoder, the simulated controllers and the tests all read this table.
struct VariantRow {
    Variant variant;
    std::string_view name;       // on command lines: "main", "garage", "military"
    uint8_t deviceNumber;        // what its controllers write into the second header
    bool claimsDeviceNumber;     // false: the variant of every number no other claims
    int importItem;              // index in the import dialog's list
    std::string_view importText; // that item's text
    const RecordCodec* codec;
    int zones;
    std::unique_ptr<TabletDataParserBase> (*makeDecoder)(datetime::Clock clock);
};

const std::array<VariantRow, 3>& variantTable();
const VariantRow& variantRow(Variant variant);

// The device rule: the variant whose number it is (7 main, 8 military), or
// none; variantForDeviceNumber falls back to the garage variant.
std::optional<Variant> variantClaiming(uint8_t deviceNumber);
Variant variantForDeviceNumber(uint8_t deviceNumber);

std::optional<Variant> variantFromName(std::string_view name);
std::optional<Variant> variantFromImportItem(int item);
std::string_view variantName(Variant variant);

std::unique_ptr<TabletDataParserBase>
makeParser(Variant variant, datetime::Clock clock = datetime::systemLocalClock());
