#pragma once

#include "ByteSink.h"
#include "EventCollection.h"

#include <array>
#include <cstdint>

// Writes events as blocks of the saved log file (see LogFileLayout.h). The
// unused slots and the padding are zeros, so one list always gives the same bytes.
class LogFileWriter {
public:
    using FixedPart = std::array<uint8_t, 48>;

    static FixedPart fixedPart(const EventInfo& event);
    // One block as separate writes: the fixed part, then each text's length and
    // bytes. False at the first write the sink refuses, or for a text longer than
    // a length can say.
    static bool writeEvent(ByteSink& sink, const EventInfo& event);
    // Every event of the list, first to last.
    static bool write(ByteSink& sink, const EventCollection& events);
};
