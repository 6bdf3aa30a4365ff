#pragma once

#include "EventCollection.h"
#include "ParserFactory.h"
#include "TabletDataParserBase.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The list the program works on: its events, the decoder whose segment rule
// the time correction follows, where the list came from, and whether it holds
// changes not yet saved.
class EventLog {
public:
    enum class Origin { ReadOut, File, Import };

    // A run of events as they were, taken before a change: restoring it puts
    // their times, time states and notes back exactly.
    struct Segment {
        int first = 0;
        std::vector<EventInfo> events;
        int last() const { return first + static_cast<int>(events.size()) - 1; }
    };

    // What the list was made from, for whoever describes it (the service report);
    // what the origin does not tell stays empty.
    struct Source {
        std::string fileName{};                         // File, Import: the path as given
        std::optional<Variant> variant{};               // ReadOut, Import: the decoder's variant
        std::optional<uint8_t> deviceNumber{};          // ReadOut: byte 8 of the image
        std::optional<std::array<uint8_t, 6>> serial{}; // ReadOut, checked tablets: bytes 1 to 6
        std::optional<std::array<int, 3>> tabletDate{}; // year, month, day of the tablet clock
        std::optional<double> readOutTime{};            // ReadOut: when it was decoded
    };

    EventLog(EventCollection events, std::shared_ptr<const TabletDataParserBase> segmentRule,
             Origin origin);

    const EventCollection& events() const { return events_; }
    Origin origin() const { return origin_; }
    const Source& source() const { return source_; }
    void setSource(Source source) { source_ = std::move(source); }
    const std::shared_ptr<const TabletDataParserBase>& segmentRule() const { return segmentRule_; }

    // The rows that share one time base with `row`: its segment under the
    // list's rule, the row alone without one. Nothing for a row outside the list.
    std::optional<std::pair<int, int>> segmentOf(int row) const;

    // Shifts the segment of `row` so that the event in `row` shows `time`, and
    // marks each of its events as edited by hand. The segment as it was before
    // when something changed; nothing for a row outside the list or the same time.
    std::optional<Segment> correctTime(int row, double time);

    Segment snapshot(int first, int last) const;
    // Puts a snapshot's events back in their rows; a change like any other.
    void restore(const Segment& segment);

    // Counts every change; a saved list remembers the count it was saved at.
    uint64_t revision() const { return revision_; }
    bool modified() const { return revision_ != savedRevision_; }
    void markSaved() { savedRevision_ = revision_; }

private:
    EventCollection events_;
    std::shared_ptr<const TabletDataParserBase> segmentRule_;
    Origin origin_;
    Source source_;
    uint64_t revision_ = 0;
    uint64_t savedRevision_ = 0;
};
