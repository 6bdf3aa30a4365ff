#pragma once

#include "EventInfo.h"

#include <cstddef>
#include <vector>

// The events of one decoding run, in memory order (newest first). Owns its records.
class EventCollection {
public:
    int count() const { return static_cast<int>(events_.size()); }
    bool empty() const { return events_.empty(); }
    // Throws std::length_error("vector") for an index outside 0..count-1.
    EventInfo& at(int index);
    const EventInfo& at(int index) const;
    void append(EventInfo event) { events_.push_back(std::move(event)); }
    void clear() { events_.clear(); }
    void reserve(size_t n) { events_.reserve(n); }

    auto begin() { return events_.begin(); }
    auto end() { return events_.end(); }
    auto begin() const { return events_.begin(); }
    auto end() const { return events_.end(); }
    const EventInfo& back() const { return events_.back(); }

private:
    std::vector<EventInfo> events_;
};
