#pragma once

#include "TabletDataParserBase.h"

// The military controller variant ("Военный вариант"), device number 8: the
// main variant's vocabulary with five zones, dated from the computer's clock.
class MilitaryTabletParser : public TabletDataParserBase {
public:
    using TabletDataParserBase::TabletDataParserBase;
    void decodeMore(std::span<const uint8_t> records, Run& run,
                    EventCollection& out) const override;

protected:
    bool isSegmentMarker(const EventInfo& event) const override;
    bool markerOpensSegment() const override { return true; }
};
