#pragma once

#include "EventInfo.h"

#include <bitset>
#include <optional>
#include <string>

// What the user asks to see of an event list. An empty filter lets every event
// through; each criterion set narrows it, and all of them must hold.
class EventFilter {
public:
    static constexpr int kCategoryCount = 6;

    // Found, ignoring case, in the information text or the note (UTF-8; Latin
    // and Cyrillic letters fold). Empty: no search.
    void setSearchText(const std::string& text);
    const std::string& searchText() const { return searchText_; }

    // The categories shown; all six: no restriction. An event whose category is
    // none of the six is shown only without restriction.
    void setCategories(std::bitset<kCategoryCount> categories) { categories_ = categories; }
    std::bitset<kCategoryCount> categories() const { return categories_; }

    // Event times from `from` to `to`, both included (day counts).
    void setFrom(std::optional<double> from) { from_ = from; }
    void setTo(std::optional<double> to) { to_ = to; }
    std::optional<double> from() const { return from_; }
    std::optional<double> to() const { return to_; }

    // Times edited by hand and times that require correction. With both set an
    // event of either kind is shown.
    void setOnlyCorrected(bool on) { onlyCorrected_ = on; }
    void setOnlyNeedingCorrection(bool on) { onlyNeedingCorrection_ = on; }
    bool onlyCorrected() const { return onlyCorrected_; }
    bool onlyNeedingCorrection() const { return onlyNeedingCorrection_; }

    void setHideErased(bool on) { hideErased_ = on; }
    bool hideErased() const { return hideErased_; }

    // Some criterion is set.
    bool active() const;
    bool matches(const EventInfo& event) const;
    // The two halves of matches(), for callers that look at each distinct text
    // once: the search text found in `text` (always without a search), and
    // every criterion but the search.
    bool findsSearchText(const std::string& text) const;
    bool matchesBesidesSearch(const EventInfo& event) const;

    // Lower case of the Latin and Cyrillic capitals (Ё and the other letters
    // of code page 1251 included); every other byte as it is.
    static std::string foldCase(const std::string& text);

private:
    bool containsSearchText(const std::string& text) const;

    std::string searchText_;
    std::string foldedSearch_;
    std::bitset<kCategoryCount> categories_ = std::bitset<kCategoryCount>().set();
    std::optional<double> from_;
    std::optional<double> to_;
    bool onlyCorrected_ = false;
    bool onlyNeedingCorrection_ = false;
    bool hideErased_ = false;
};
