#include "EventFilter.h"

#include <cstring>

namespace {

// Folding keeps every letter's UTF-8 length, so texts are folded and compared
// in place, byte by byte within each letter. Returns the length of the
// sequence at `s` (1 for a byte that starts none) and writes its folded bytes.
size_t foldAt(const unsigned char* s, size_t left, unsigned char out[2]) {
    const unsigned char c = s[0];
    if (c >= 'A' && c <= 'Z') {
        out[0] = static_cast<unsigned char>(c + ('a' - 'A'));
        return 1;
    }
    if (c < 0x80 || left < 2 || (s[1] & 0xC0) != 0x80) {
        out[0] = c;
        return 1;
    }
    const unsigned char d = s[1];
    out[0] = c;
    out[1] = d;
    if (c == 0xD0) {
        if (d >= 0x80 && d <= 0x8F) { // U+0400..040F (Ё, Є, І, Ї, Ў ...) -> U+0450..045F
            out[0] = 0xD1;
            out[1] = static_cast<unsigned char>(d + 0x10);
        } else if (d >= 0x90 && d <= 0x9F) { // А..П -> а..п
            out[1] = static_cast<unsigned char>(d + 0x20);
        } else if (d >= 0xA0 && d <= 0xAF) { // Р..Я -> р..я
            out[0] = 0xD1;
            out[1] = static_cast<unsigned char>(d - 0x20);
        }
    } else if (c == 0xD2 && d == 0x90) { // Ґ -> ґ
        out[1] = 0x91;
    }
    return 2;
}

} // namespace

std::string EventFilter::foldCase(const std::string& text) {
    std::string folded;
    folded.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    size_t i = 0;
    while (i < text.size()) {
        unsigned char out[2];
        const size_t n = foldAt(s + i, text.size() - i, out);
        folded.append(reinterpret_cast<const char*>(out), n);
        i += n;
    }
    return folded;
}

void EventFilter::setSearchText(const std::string& text) {
    searchText_ = text;
    foldedSearch_ = foldCase(text);
}

bool EventFilter::active() const {
    return !foldedSearch_.empty() || !categories_.all() || from_ || to_ || onlyCorrected_ ||
           onlyNeedingCorrection_ || hideErased_;
}

bool EventFilter::containsSearchText(const std::string& text) const {
    // Asked of every event at each keystroke: nothing is allocated.
    const auto* hay = reinterpret_cast<const unsigned char*>(text.data());
    const auto* needle = reinterpret_cast<const unsigned char*>(foldedSearch_.data());
    const size_t n = text.size();
    const size_t m = foldedSearch_.size();
    size_t start = 0;
    while (start + m <= n) {
        size_t i = start;
        size_t j = 0;
        size_t first = 0;
        while (j < m && i < n) {
            unsigned char out[2];
            const size_t len = foldAt(hay + i, n - i, out);
            if (first == 0)
                first = len;
            if (j + len > m || std::memcmp(out, needle + j, len) != 0)
                break;
            i += len;
            j += len;
        }
        if (j == m)
            return true;
        start += first == 0 ? 1 : first;
    }
    return false;
}

bool EventFilter::findsSearchText(const std::string& text) const {
    return foldedSearch_.empty() || containsSearchText(text);
}

bool EventFilter::matches(const EventInfo& event) const {
    return matchesBesidesSearch(event) &&
           (foldedSearch_.empty() || containsSearchText(event.infoText) ||
            containsSearchText(event.noteText));
}

bool EventFilter::matchesBesidesSearch(const EventInfo& event) const {
    if (hideErased_ && event.erased)
        return false;
    if (!categories_.all() && (event.category < 0 || event.category >= kCategoryCount ||
                               !categories_.test(static_cast<size_t>(event.category))))
        return false;
    if (from_ && !(event.time >= *from_))
        return false;
    if (to_ && !(event.time <= *to_))
        return false;
    if (onlyCorrected_ || onlyNeedingCorrection_) {
        const bool wanted =
            (onlyCorrected_ && event.timeState == EventInfo::EditedByHand) ||
            (onlyNeedingCorrection_ && event.timeState == EventInfo::NeedsCorrection);
        if (!wanted)
            return false;
    }
    return true;
}
