#include "EventCollection.h"

#include <stdexcept>

EventInfo& EventCollection::at(int index) {
    if (index < 0 || index >= count())
        throw std::length_error("vector");
    return events_[static_cast<size_t>(index)];
}

const EventInfo& EventCollection::at(int index) const {
    if (index < 0 || index >= count())
        throw std::length_error("vector");
    return events_[static_cast<size_t>(index)];
}
