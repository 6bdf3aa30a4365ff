#pragma once

#include "EventCollection.h"

#include <QObject>

#include <string>
#include <unordered_map>
#include <vector>

class EventTableModel;
class QTableView;

// The event table's view: its model, delegates, column widths and the sort by
// header clicks. The info column grows to the widest text of the list and never
// narrows; no refill, filter or sort changes a width.
class EventGrid {
public:
    // Sets `model` on `grid` with the icon delegates, the header as designed.
    EventGrid(QTableView& grid, EventTableModel& model);
    // The list the model reads may go before the table does (a window closing
    // lays its table out once more): the table lets go of the model first.
    ~EventGrid();

    // The widths of the start-up list, from the grid's font.
    void setupHeader();
    // Shows `events` (null: none), every width kept but the info column's.
    void fill(const EventCollection* events);
    // The raw-record column shown or hidden.
    void showBinary(bool show);
    // A click on a sortable column's header: ascending, descending, then list
    // order again.
    void headerClicked(int column);

private:
    int textWidth(const std::string& text);
    int cellPadding() const;
    void showSortIndicator();

    QTableView& grid_;
    EventTableModel& model_;
    std::vector<int> widthsBeforeReset_;
    QObject connections_; // they end with this object
    int infoColumnWidth_ = 70;
    std::unordered_map<std::string, int> infoWidths_;
};
