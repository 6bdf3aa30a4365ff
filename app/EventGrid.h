#pragma once

#include "EventCollection.h"

#include <string>
#include <unordered_map>

class EventTableModel;
class QTableView;

// The event table's view: its model, delegates and column widths. The info
// column grows to the widest text shown and never narrows.
class EventGrid {
public:
    // Sets `model` on `grid` with the icon delegates, the header as designed.
    EventGrid(QTableView& grid, EventTableModel& model);

    // The widths of the start-up list, from the grid's font.
    void setupHeader();
    // Shows `events` (null: none), every width kept but the info column's.
    void fill(const EventCollection* events);
    // The raw-record column shown or hidden.
    void showBinary(bool show);

private:
    int textWidth(const std::string& text);
    int cellPadding() const;

    QTableView& grid_;
    EventTableModel& model_;
    int infoColumnWidth_ = 70;
    std::unordered_map<std::string, int> infoWidths_;
};
