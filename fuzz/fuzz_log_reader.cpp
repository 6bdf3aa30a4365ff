// Feeds arbitrary bytes to the log-file reader as a file's contents. What it
// reads must write back and read again to the same list, and no length may
// make it take more than the input holds.
#include "Cp1251.h"
#include "LogFileLayout.h"
#include "LogFileReader.h"
#include "LogFileWriter.h"
#include "MemorySink.h"
#include "MemorySource.h"
#include "ParserFactory.h"
#include "SegmentRule.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

bool sameEvent(const EventInfo& a, const EventInfo& b) {
    return a.number == b.number && a.position == b.position &&
           std::memcmp(&a.time, &b.time, sizeof a.time) == 0 && a.zeroTime == b.zeroTime &&
           a.timeState == b.timeState && a.category == b.category && a.codeByte == b.codeByte &&
           a.typeText == b.typeText && a.infoText == b.infoText && a.noteText == b.noteText;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemorySource source(std::span<const uint8_t>(data, size));
    EventCollection events;
    const LogFileReader::End end = LogFileReader::read(source, events);
    if (static_cast<size_t>(events.count()) * logfile::kSmallestBlock > size)
        __builtin_trap();
    if ((end == LogFileReader::End::Empty) != (size == 0) || end == LogFileReader::End::Failed)
        __builtin_trap();
    if (end == LogFileReader::End::Clean && source.remaining() != 0)
        __builtin_trap();

    MemorySink sink;
    if (!LogFileWriter::write(sink, events))
        __builtin_trap();
    MemorySource again(sink.bytes);
    EventCollection back;
    if (LogFileReader::read(again, back) !=
        (events.empty() ? LogFileReader::End::Empty : LogFileReader::End::Clean))
        __builtin_trap();
    if (back.count() != events.count())
        __builtin_trap();
    for (int i = 0; i < events.count(); ++i) {
        if (!sameEvent(events.at(i), back.at(i)))
            __builtin_trap();
        (void)datetime::format(events.at(i).time);
        (void)eventtext::codeByteText(events.at(i).codeByte);
    }

    // what the window does with an opened list: its segment rule, the correction's search
    const auto rule = makeParser(segmentRuleVariant(events), datetime::fixedClock(45292.5));
    for (int index : {0, events.count() / 2, events.count() - 1}) {
        int first = 0, last = -1; // an index outside the list leaves them
        rule->findTimeSegment(events, index, first, last);
        // the correction shifts entries first..last: all of them must exist
        if (first <= last && (first < 0 || last >= events.count()))
            __builtin_trap();
    }
    return 0;
}
