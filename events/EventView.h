#pragma once

#include "EventCollection.h"
#include "EventFilter.h"

#include <optional>
#include <string>
#include <vector>

// Which events of a list are shown, and in which order: the rows of the list
// that pass a filter, in list order or sorted by one key. Shown rows map back
// to list rows, so whatever acts on a shown event acts on the list itself; the
// list's own order is never changed here.
class EventView {
public:
    enum class SortKey { ListOrder, Number, Time, Info };

    // The list shown (null: none), taken afresh: after a new list and after
    // its events changed (a correction moves times, and with them the order).
    // Until the next call the list's texts must stay as they are.
    void setList(const EventCollection* events);
    void setFilter(const EventFilter& filter);
    // Ties keep their list order, in either direction.
    void setSort(SortKey key, bool descending);

    const EventFilter& filter() const { return filter_; }
    SortKey sortKey() const { return sortKey_; }
    bool descending() const { return descending_; }

    int shownCount() const;
    int totalCount() const { return events_ ? events_->count() : 0; }
    // The list row of a shown row; -1 outside the shown rows.
    int listRow(int shownRow) const;

private:
    // A list holds a few hundred distinct texts however long it is: the search
    // and the sort by text look at each once.
    struct Texts {
        std::vector<const std::string*> distinct;
        std::vector<int> info; // per list row, an index into distinct
        std::vector<int> note;
    };

    bool identity() const { return order_.empty() && !filter_.active(); }
    const Texts& texts();
    std::vector<int> byInfoText();
    void sortList();
    void applyFilter();

    const EventCollection* events_ = nullptr;
    EventFilter filter_;
    SortKey sortKey_ = SortKey::ListOrder;
    bool descending_ = false;
    std::vector<int> order_;     // every list row in sorted order; empty: list order
    std::vector<int> shown_;     // the rows of order_ that pass the filter
    std::optional<Texts> texts_; // made with each list
};
