#include "KorvelTabletParser.h"

#include "MainFamilyDecoding.h"

namespace {
using mainfamily::Group;

// Code -> group of the main variant: four zones and two reserve groups.
constexpr mainfamily::Profile kMainProfile = {{
    {Group::Normal, 0},
    {Group::Reserve1, 0},
    {Group::I2C, 0},
    {Group::Console, 0},
    {Group::ZoneFault, 1},
    {Group::ZoneFault, 2},
    {Group::ZoneFault, 3},
    {Group::ZoneFault, 4},
    {Group::ZoneInfo, 1},
    {Group::ZoneInfo, 2},
    {Group::ZoneInfo, 3},
    {Group::ZoneInfo, 4},
    {Group::Reserve2, 0},
    {Group::Automation, 0},
    {Group::Power, 0},
    {Group::Notification, 0},
}};
} // namespace

void KorvelTabletParser::decodeMore(std::span<const uint8_t> records, Run& run,
                                    EventCollection& out) const {
    static const mainfamily::CodeTable texts(kMainProfile);
    mainfamily::decode(texts, mainfamily::TimeRule::CounterWrap, records, run, out,
                       [this] { return now(); });
}

bool KorvelTabletParser::isSegmentMarker(const EventInfo& event) const {
    return mainfamily::isMarker(event.codeByte);
}
