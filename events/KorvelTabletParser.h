#pragma once

#include "TabletDataParserBase.h"

// The main controller variant ("Основной вариант"), device number 7.
class KorvelTabletParser : public TabletDataParserBase {
public:
    using TabletDataParserBase::TabletDataParserBase;
    void decodeMore(std::span<const uint8_t> records, Run& run,
                    EventCollection& out) const override;

protected:
    bool isSegmentMarker(const EventInfo& event) const override;
    bool markerOpensSegment() const override { return true; }
};
