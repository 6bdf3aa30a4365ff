#pragma once

#include "DateTime.h"
#include "TabletDataParserBase.h"

#include <memory>
#include <optional>
#include <string_view>

// The three controller variants, in the order of the import dialog's items.
enum class Variant { Main = 0, Garage = 1, Military = 2 };

// 7 main, 8 military, any other garage.
Variant variantForDeviceNumber(uint8_t deviceNumber);
// "main", "garage", "military".
std::optional<Variant> variantFromName(std::string_view name);
std::string_view variantName(Variant variant);

std::unique_ptr<TabletDataParserBase>
makeParser(Variant variant, datetime::Clock clock = datetime::systemLocalClock());
