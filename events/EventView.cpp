#include "EventView.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <unordered_map>

namespace {

// Alphabetical order of texts: case folded, Ё read as Е, then the texts'
// own bytes; UTF-8 bytes compare in code point order, so А..Я sorts right.
std::string collationKey(const std::string& text) {
    std::string key = EventFilter::foldCase(text);
    for (size_t i = 0; i + 1 < key.size(); ++i)
        if (key[i] == '\xD1' && key[i + 1] == '\x91') {
            key[i] = '\xD0';
            key[i + 1] = '\xB5';
        }
    return key;
}

// A time that is no number (a foreign log file may hold one) sorts last.
bool earlier(double a, double b) {
    return !std::isnan(a) && (std::isnan(b) || a < b);
}

template <typename Key, typename Less>
std::vector<int> byKey(const EventCollection& events, bool descending, Key key, Less less) {
    std::vector<std::pair<decltype(key(events.at(0))), int>> keyed;
    keyed.reserve(static_cast<size_t>(events.count()));
    for (int row = 0; row < events.count(); ++row)
        keyed.emplace_back(key(events.at(row)), row);
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
        return descending ? less(b.first, a.first) : less(a.first, b.first);
    });
    std::vector<int> order;
    order.reserve(keyed.size());
    for (const auto& k : keyed)
        order.push_back(k.second);
    return order;
}

} // namespace

const EventView::Texts& EventView::texts() {
    if (texts_)
        return *texts_;
    texts_.emplace();
    Texts& t = *texts_;
    std::unordered_map<std::string_view, int> index;
    const auto idOf = [&](const std::string& text) {
        const auto [it, added] = index.emplace(text, static_cast<int>(t.distinct.size()));
        if (added)
            t.distinct.push_back(&text);
        return it->second;
    };
    const int count = events_ ? events_->count() : 0;
    t.info.reserve(static_cast<size_t>(count));
    t.note.reserve(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row) {
        t.info.push_back(idOf(events_->at(row).infoText));
        t.note.push_back(idOf(events_->at(row).noteText));
    }
    return t;
}

std::vector<int> EventView::byInfoText() {
    const Texts& t = texts();
    std::vector<std::string> keys;
    keys.reserve(t.distinct.size());
    for (const std::string* text : t.distinct)
        keys.push_back(collationKey(*text));
    std::vector<int> byText(t.distinct.size());
    for (size_t i = 0; i < byText.size(); ++i)
        byText[i] = static_cast<int>(i);
    std::sort(byText.begin(), byText.end(), [&](int a, int b) {
        const auto ka = static_cast<size_t>(a);
        const auto kb = static_cast<size_t>(b);
        return keys[ka] != keys[kb] ? keys[ka] < keys[kb] : *t.distinct[ka] < *t.distinct[kb];
    });
    std::vector<size_t> rank(byText.size());
    for (size_t r = 0; r < byText.size(); ++r)
        rank[static_cast<size_t>(byText[r])] = descending_ ? byText.size() - 1 - r : r;

    // Counting by rank keeps the list order within one text.
    std::vector<size_t> start(rank.size() + 1, 0);
    for (int text : t.info)
        ++start[rank[static_cast<size_t>(text)] + 1];
    for (size_t r = 1; r < start.size(); ++r)
        start[r] += start[r - 1];
    std::vector<int> order(t.info.size());
    for (size_t row = 0; row < t.info.size(); ++row)
        order[start[rank[static_cast<size_t>(t.info[row])]]++] = static_cast<int>(row);
    return order;
}

void EventView::setList(const EventCollection* events) {
    events_ = events;
    texts_.reset();
    texts(); // here rather than at the first keystroke, which should answer at once
    sortList();
    applyFilter();
}

void EventView::setFilter(const EventFilter& filter) {
    filter_ = filter;
    applyFilter();
}

void EventView::setSort(SortKey key, bool descending) {
    sortKey_ = key;
    descending_ = key != SortKey::ListOrder && descending;
    sortList();
    applyFilter();
}

int EventView::shownCount() const {
    return identity() ? totalCount() : static_cast<int>(shown_.size());
}

int EventView::listRow(int shownRow) const {
    if (shownRow < 0 || shownRow >= shownCount())
        return -1;
    return identity() ? shownRow : shown_[static_cast<size_t>(shownRow)];
}

void EventView::sortList() {
    order_.clear();
    if (!events_ || events_->empty())
        return;
    switch (sortKey_) {
    case SortKey::ListOrder:
        break;
    case SortKey::Number:
        order_ = byKey(
            *events_, descending_, [](const EventInfo& e) { return e.number; },
            [](int32_t a, int32_t b) { return a < b; });
        break;
    case SortKey::Time:
        order_ = byKey(
            *events_, descending_, [](const EventInfo& e) { return e.time; }, earlier);
        break;
    case SortKey::Info:
        order_ = byInfoText();
        break;
    }
}

void EventView::applyFilter() {
    shown_.clear();
    if (identity() || !events_)
        return;
    const bool filtering = filter_.active();
    // Each distinct text is searched once, not once for every event holding it.
    std::vector<char> found;
    if (!filter_.searchText().empty()) {
        const Texts& t = texts();
        found.reserve(t.distinct.size());
        for (const std::string* text : t.distinct)
            found.push_back(filter_.findsSearchText(*text) ? 1 : 0);
    }
    const int count = events_->count();
    for (int i = 0; i < count; ++i) {
        const auto row = static_cast<size_t>(order_.empty() ? i : order_[static_cast<size_t>(i)]);
        if (filtering && (!filter_.matchesBesidesSearch(events_->at(static_cast<int>(row))) ||
                          (!found.empty() && !found[static_cast<size_t>(texts_->info[row])] &&
                           !found[static_cast<size_t>(texts_->note[row])])))
            continue;
        shown_.push_back(static_cast<int>(row));
    }
}
