#pragma once

#include "TabletDataParserBase.h"

// The garage controller variant ("Гаражный вариант"), every device number but 7
// and 8. The only variant that marks times as needing correction.
class UsualTabletParser : public TabletDataParserBase {
public:
    using TabletDataParserBase::TabletDataParserBase;
    void decodeMore(std::span<const uint8_t> records, Run& run,
                    EventCollection& out) const override;

    // A power-up record ("Питание включено"): kind 3, detail 0x80. Taken from the
    // raw copy when the record has one, otherwise from the stored type text and
    // code byte (records opened from a log file).
    static bool isPowerUp(const EventInfo& event);
    // Whether the type text is one of this variant's four group texts, "(0)
    // Неисправность" to "(3) Информация о питании".
    static bool hasGroupText(const EventInfo& event);

protected:
    bool isSegmentMarker(const EventInfo& event) const override { return isPowerUp(event); }
    bool markerOpensSegment() const override { return false; }
};
