#pragma once

#include "TabletDataParserBase.h"

// The main controller variant ("Основной вариант"), device number 7.
class KorvelTabletParser : public TabletDataParserBase {
public:
    using TabletDataParserBase::TabletDataParserBase;
    std::unique_ptr<EventCollection> decodeEvents(std::span<const uint8_t> events,
                                                  double& base) const override;

protected:
    bool isSegmentMarker(const EventInfo& event) const override;
    bool markerOpensSegment() const override { return true; }
};
