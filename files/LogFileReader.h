#pragma once

#include "ByteSource.h"
#include "EventCollection.h"

#include <cstdint>
#include <functional>

// Reads the blocks of a saved log file (see LogFileLayout.h), every whole block
// the source holds. A record read from a file has no raw copy; the unused slots
// and the padding are ignored.
class LogFileReader {
public:
    // The largest log file opened: room for the log of the largest dump an import
    // takes, and still a bounded list in memory.
    static constexpr uint64_t kMaxFileSize = 512u << 20;

    enum class End {
        Clean,  // right after a whole block
        Empty,  // nothing at all
        Cut,    // inside a block, or a text length runs past the end
        Failed, // the device failed
    };

    // Appends each whole block to `events`; the block being read when the source
    // ends is dropped. A stored length is checked against what is left before
    // anything is allocated for it.
    static End read(ByteSource& source, EventCollection& events);
    // The same blocks, each handed to `each` as it is read instead of kept (the
    // callee may move from the event).
    static End readEach(ByteSource& source, const std::function<void(EventInfo&)>& each);
    // Clean is the only end that is not a read error.
    static bool isReadError(End end) { return end != End::Clean; }
};
