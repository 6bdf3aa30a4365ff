#include "SegmentRule.h"

#include "UsualTabletParser.h"

#include <algorithm>

Variant segmentRuleVariant(const EventCollection& events) {
    const bool garage = !events.empty() &&
                        std::all_of(events.begin(), events.end(), UsualTabletParser::hasGroupText);
    return garage ? Variant::Garage : Variant::Main;
}
