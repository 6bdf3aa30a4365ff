#include "MilitaryTabletParser.h"

#include "MainFamilyDecoding.h"

namespace {
using mainfamily::Group;

// Code -> group of the military variant: five zones, no reserve groups.
constexpr mainfamily::Profile kMilitaryProfile = {{
    {Group::Normal, 0},
    {Group::I2C, 0},
    {Group::Console, 0},
    {Group::ZoneFault, 1},
    {Group::ZoneFault, 2},
    {Group::ZoneFault, 3},
    {Group::ZoneFault, 4},
    {Group::ZoneFault, 5},
    {Group::ZoneInfo, 1},
    {Group::ZoneInfo, 2},
    {Group::ZoneInfo, 3},
    {Group::ZoneInfo, 4},
    {Group::ZoneInfo, 5},
    {Group::Automation, 0},
    {Group::Power, 0},
    {Group::Notification, 0},
}};
} // namespace

void MilitaryTabletParser::decodeMore(std::span<const uint8_t> records, Run& run,
                                      EventCollection& out) const {
    // The base is only read: each record is dated from the clock afresh.
    static const mainfamily::CodeTable texts(kMilitaryProfile);
    mainfamily::decode(texts, mainfamily::TimeRule::ComputerClock, records, run, out,
                       [this] { return now(); });
}

bool MilitaryTabletParser::isSegmentMarker(const EventInfo& event) const {
    return mainfamily::isMarker(event.codeByte);
}
