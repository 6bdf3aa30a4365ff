#include "EventLog.h"

#include <algorithm>

EventLog::EventLog(EventCollection events, std::shared_ptr<const TabletDataParserBase> segmentRule,
                   Origin origin)
    : events_(std::move(events)), segmentRule_(std::move(segmentRule)), origin_(origin) {}

std::optional<std::pair<int, int>> EventLog::segmentOf(int row) const {
    if (row < 0 || row >= events_.count())
        return std::nullopt;
    int first = row, last = row;
    if (segmentRule_)
        segmentRule_->findTimeSegment(events_, row, first, last);
    return std::pair{first, last};
}

std::optional<EventLog::Segment> EventLog::correctTime(int row, double time) {
    const auto segment = segmentOf(row);
    if (!segment)
        return std::nullopt;
    const double shift = events_.at(row).time - time;
    if (shift == 0.0)
        return std::nullopt;
    Segment before = snapshot(segment->first, segment->second);
    for (int i = segment->first; i <= segment->second; ++i) {
        EventInfo& e = events_.at(i);
        e.time -= shift;
        e.timeState = EventInfo::EditedByHand;
        e.noteText = eventtext::editedByHandNote();
    }
    ++revision_;
    return before;
}

EventLog::Segment EventLog::snapshot(int first, int last) const {
    Segment s;
    s.first = std::max(first, 0);
    for (int i = s.first; i <= last && i < events_.count(); ++i)
        s.events.push_back(events_.at(i));
    return s;
}

void EventLog::restore(const Segment& segment) {
    for (size_t k = 0; k < segment.events.size(); ++k) {
        const int row = segment.first + static_cast<int>(k);
        if (row >= events_.count())
            break;
        events_.at(row) = segment.events[k];
    }
    ++revision_;
}
