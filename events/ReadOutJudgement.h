#pragma once

#include "ParserFactory.h"
#include "TabletImage.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// What a reader learnt in one conversation with the device on the adapter.
struct TabletReading {
    std::array<uint8_t, 8> rom{}; // the ROM code found, family code first
    TabletImage image;            // 544 bytes from address 0
    // The clock read again from the same device right after the memory: true
    // when it was found and two reads agreed.
    bool clockStable = false;
    std::array<uint8_t, 5> clock{};
    uint32_t secondsTaken = 0; // from the memory read to the clock read, rounded up

    uint8_t familyCode() const { return rom[0]; }
};

// What the window shows for a reading, in the order it shows it.
struct ReadOutOutcome {
    // 4, 6, 7; 253 a tablet no controller has filled; 254 a check failed; 255
    // unknown family
    uint8_t result = 255;
    std::string versionLine;
    // An error dialog, after which the read-out stops.
    std::optional<std::string> errorMessage;
    // The serial, device and tablet date lines (family 4 and every check passed).
    bool tabletLines = false;
    std::string serialLine;
    std::string deviceLine;
    int year = 0, month = 0, day = 0; // the tablet's date, the year widened
    // The tablet lines are cleared and the unknown-tablet message follows.
    bool unknownTablet = false;
    // The decoder of the events; the question is asked only when there is one.
    std::optional<Variant> variant;
};

// The read-out's judgement of a reading: family code, the image checks, the
// clock, the device rule.
class ReadOutJudgement {
public:
    static constexpr uint8_t kDs1994 = 4;
    static constexpr uint8_t kNotFilled = 253;
    static constexpr uint8_t kCheckFailed = 254;
    static constexpr uint8_t kUnknownFamily = 255;

    static ReadOutOutcome judge(const TabletReading& reading);

    // An image kept in a file, as a reading: the device of `rom` (a DS1994 when
    // none is known), its clock the image's own register page, which cannot
    // have been lifted mid-read.
    static TabletReading imageReading(const TabletImage& image,
                                      const std::array<uint8_t, 8>& rom = {kDs1994});

    // The clock read after the memory proves the tablet stayed to the end: it
    // was stable, and shows the seconds the copied clock bytes show, or later
    // by no more than the read can have taken.
    static bool clockConfirms(const TabletReading& reading);
};
