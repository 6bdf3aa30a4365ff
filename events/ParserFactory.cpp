#include "ParserFactory.h"

#include "KorvelTabletParser.h"
#include "MilitaryTabletParser.h"
#include "UsualTabletParser.h"

#include <array>

namespace {
struct VariantRow {
    Variant variant;
    std::string_view name;
};
constexpr std::array<VariantRow, 3> kVariants = {{
    {Variant::Main, "main"},
    {Variant::Garage, "garage"},
    {Variant::Military, "military"},
}};
} // namespace

Variant variantForDeviceNumber(uint8_t deviceNumber) {
    switch (deviceNumber) {
    case 7:
        return Variant::Main;
    case 8:
        return Variant::Military;
    default:
        return Variant::Garage;
    }
}

std::optional<Variant> variantFromName(std::string_view name) {
    for (const auto& row : kVariants)
        if (row.name == name)
            return row.variant;
    return std::nullopt;
}

std::string_view variantName(Variant variant) {
    return kVariants[static_cast<size_t>(variant)].name;
}

std::unique_ptr<TabletDataParserBase> makeParser(Variant variant, datetime::Clock clock) {
    switch (variant) {
    case Variant::Main:
        return std::make_unique<KorvelTabletParser>(std::move(clock));
    case Variant::Military:
        return std::make_unique<MilitaryTabletParser>(std::move(clock));
    case Variant::Garage:
        break;
    }
    return std::make_unique<UsualTabletParser>(std::move(clock));
}
