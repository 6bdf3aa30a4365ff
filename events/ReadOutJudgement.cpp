#include "ReadOutJudgement.h"

#include "ImageCheckMessages.h"
#include "LittleEndian.h"
#include "TabletClock.h"

namespace {

constexpr uint8_t kDs1994 = ReadOutJudgement::kDs1994;

struct FamilyRow {
    uint8_t family;
    const char* versionLine;
};
constexpr FamilyRow kFamilies[] = {
    {kDs1994, "Версия DS1994"},
    {6, "Версия DS1993"},
    {7, "Версия DS1992"},
};
constexpr const char* kUnknownVersion = "Неизвестный номер версии";

} // namespace

bool ReadOutJudgement::clockConfirms(const TabletReading& reading) {
    if (!reading.clockStable)
        return false;
    const uint32_t copied = reading.image.clockSeconds();
    const uint32_t read = le::read32(reading.clock.data() + 1);
    return read >= copied && read - copied <= reading.secondsTaken;
}

TabletReading ReadOutJudgement::imageReading(const TabletImage& image,
                                             const std::array<uint8_t, 8>& rom) {
    TabletReading reading;
    reading.rom = rom;
    reading.image = image;
    reading.clockStable = true;
    reading.clock = image.clockBytes();
    return reading;
}

ReadOutOutcome ReadOutJudgement::judge(const TabletReading& reading) {
    ReadOutOutcome out;
    const uint8_t family = reading.familyCode();
    out.result = kUnknownFamily;
    out.versionLine = kUnknownVersion;
    for (const FamilyRow& row : kFamilies) {
        if (row.family == family) {
            out.result = family;
            out.versionLine = row.versionLine;
        }
    }
    const TabletImage& image = reading.image;
    if (family == kDs1994) {
        // A tablet lifted during the read leaves erased bytes behind, which can
        // pass every check: only the clock read afterwards tells.
        if (!clockConfirms(reading)) {
            out.result = kCheckFailed;
            out.errorMessage = kTabletRemovedMessage;
            return out;
        }
        // Before the checks: an erased tablet would fail the first, one
        // holding only the read command would pass all three.
        if (image.unfilled()) {
            out.result = kNotFilled;
            out.errorMessage = kTabletNotFilledMessage;
            return out;
        }
        const TabletImage::Check check = image.validate();
        if (check != TabletImage::Check::Passed) {
            out.result = kCheckFailed;
            out.errorMessage = imageCheckMessage(check);
            out.unknownTablet = true;
            return out;
        }
        out.tabletLines = true;
        out.serialLine = image.serialNumberText();
        out.deviceLine = image.deviceNumberText();
        const TabletClock clock = TabletClock::fromBytes(reading.clock);
        out.year = widenYear(clock.year);
        out.month = clock.month;
        out.day = clock.day;
        out.variant = variantForDeviceNumber(image.deviceNumber());
        return out;
    }
    // Other families are not checked: only a device number a variant claims decodes.
    out.variant = variantClaiming(image.deviceNumber());
    out.unknownTablet = !out.variant;
    return out;
}
