#include "ParserFactory.h"

#include "KorvelTabletParser.h"
#include "MilitaryTabletParser.h"
#include "UsualTabletParser.h"

namespace {

template <typename Parser> std::unique_ptr<TabletDataParserBase> make(datetime::Clock clock) {
    return std::make_unique<Parser>(std::move(clock));
}

// In the order of the enum.
const std::array<VariantRow, 3> kVariants = {{
    {Variant::Main, "main", 7, true, 0, "Основной вариант", &recordcodec::kMainLayout, 4,
     &make<KorvelTabletParser>},
    {Variant::Garage, "garage", 3, false, 1, "Гаражный вариант", &recordcodec::kGarageLayout, 0,
     &make<UsualTabletParser>},
    {Variant::Military, "military", 8, true, 2, "Военный вариант", &recordcodec::kMainLayout, 5,
     &make<MilitaryTabletParser>},
}};

} // namespace

const std::array<VariantRow, 3>& variantTable() {
    return kVariants;
}

const VariantRow& variantRow(Variant variant) {
    return kVariants[static_cast<size_t>(variant)];
}

std::optional<Variant> variantClaiming(uint8_t deviceNumber) {
    for (const VariantRow& row : kVariants)
        if (row.claimsDeviceNumber && row.deviceNumber == deviceNumber)
            return row.variant;
    return std::nullopt;
}

Variant variantForDeviceNumber(uint8_t deviceNumber) {
    if (const auto claimed = variantClaiming(deviceNumber))
        return *claimed;
    for (const VariantRow& row : kVariants)
        if (!row.claimsDeviceNumber)
            return row.variant;
    return Variant::Garage;
}

std::optional<Variant> variantFromName(std::string_view name) {
    for (const VariantRow& row : kVariants)
        if (row.name == name)
            return row.variant;
    return std::nullopt;
}

std::optional<Variant> variantFromImportItem(int item) {
    for (const VariantRow& row : kVariants)
        if (row.importItem == item)
            return row.variant;
    return std::nullopt;
}

std::string_view variantName(Variant variant) {
    return variantRow(variant).name;
}

std::unique_ptr<TabletDataParserBase> makeParser(Variant variant, datetime::Clock clock) {
    return variantRow(variant).makeDecoder(std::move(clock));
}
