#pragma once

#include "DateTime.h"
#include "EventCollection.h"
#include "TabletDataParserBase.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>

// The main and the military controller share one record layout (time field in
// bits 0-23, sub-code 24-27, code 28-31) and one vocabulary; they differ in how
// the sixteen codes map onto the groups and in their time rule. Each variant is
// a profile: a table of its sixteen codes.
namespace mainfamily {

enum class Group {
    Normal,
    Reserve1,
    I2C,
    Console,
    ZoneFault,
    ZoneInfo,
    Reserve2,
    Automation,
    Power,
    Notification
};

struct CodeRow {
    Group group;
    int zone; // zone number for the zone groups, 0 otherwise
};

using Profile = std::array<CodeRow, 16>;

enum class TimeRule {
    CounterWrap,   // 1970-01-01 + field + base, lowered at each counter wrap
    ComputerClock, // now + field - base, no wrap
};

// What a code byte shows: its type, information and category, or that the
// variant drops the record.
struct CodeTexts {
    bool listed = true;
    EventText type;
    EventText info;
    int8_t category = 0;
};

// The texts of all 256 code bytes of a profile, made once per variant and
// shared by every event decoded with it.
class CodeTable {
public:
    explicit CodeTable(const Profile& profile);
    const CodeTexts& operator[](uint8_t codeByte) const { return codes_[codeByte]; }

private:
    std::array<CodeTexts, 256> codes_;
};

// Appends the events of `records` and moves `run` on (see TabletDataParserBase).
void decode(const CodeTable& table, TimeRule rule, std::span<const uint8_t> records,
            TabletDataParserBase::Run& run, EventCollection& out, const datetime::Clock& clock);

// Code 15 with bit 1 of the sub-code: a notification of a power loss.
inline bool isMarker(uint8_t codeByte) {
    return (codeByte >> 4) == 15 && (codeByte & 0x02);
}

} // namespace mainfamily
