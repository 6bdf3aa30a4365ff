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

namespace eventtext {
std::string codeByteText(uint8_t code) {
    std::string text(8, '0');
    for (int bit = 0; bit < 8; ++bit)
        if (code & (1u << bit))
            text[static_cast<size_t>(7 - bit)] = '1';
    return text;
}
} // namespace eventtext
