#include "EventInfo.h"

namespace eventtext {
const EventText& needsCorrectionNote() {
    static const EventText note(kNeedsCorrection);
    return note;
}

const EventText& editedByHandNote() {
    static const EventText note(kEditedByHand);
    return note;
}

std::string codeByteText(uint8_t code) {
    std::string text(8, '0');
    for (int bit = 0; bit < 8; ++bit)
        if (code & (1u << bit))
            text[static_cast<size_t>(7 - bit)] = '1';
    return text;
}
} // namespace eventtext
