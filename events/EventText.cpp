#include "EventText.h"

#include <ostream>

const std::string& EventText::empty_() noexcept {
    static const std::string none;
    return none;
}

std::ostream& operator<<(std::ostream& out, const EventText& text) {
    return out << text.str();
}
