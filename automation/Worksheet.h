#pragma once

#include "CellValue.h"

#include <QString>

#include <deque>
#include <map>
#include <optional>
#include <utility>
#include <vector>

// One sheet of a workbook: its cells and column widths. Rows and columns count
// from 1.
//
// A sheet does not hold all its cells: a big export would need hundreds of
// bytes a cell. It keeps its last kOpenRows rows open (any cell there can be
// written, formatted and read back, in any order) and hands the rows above them
// to its sink, in row order, as the client moves down. A sheet of up to
// kOpenRows rows therefore stays whole until it is finished; a bigger one must
// be filled from the top down, and a cell of a row already handed over is
// refused rather than lost.
class Worksheet {
public:
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxColumns = 16384;
    // Column widths in characters of the standard font.
    static constexpr double kMaxColumnWidth = 255.0;
    static constexpr int kOpenRows = 1024;

    enum class Alignment { General, Left, Center, Right, Fill, Justify, CenterAcross, Distributed };

    struct Cell {
        CellValue value;
        Alignment alignment = Alignment::General;
    };

    // Where handed-over rows go: cells row by row, each row's cells in column order.
    class Sink {
    public:
        virtual ~Sink() = default;
        virtual void cell(int row, int column, const Cell& cell) = 0;
        virtual void columnWidth(int column, double width) = 0;
    };

    Worksheet(QString name, Sink& sink) : name_(std::move(name)), sink_(&sink) {}

    const QString& name() const { return name_; }
    static bool contains(int row, int column) {
        return row >= 1 && row <= kMaxRows && column >= 1 && column <= kMaxColumns;
    }
    // False for a row already handed to the sink: it can no longer change or be read.
    bool isOpen(int row) const { return row >= firstOpenRow_; }
    bool isFinished() const { return firstOpenRow_ > kMaxRows; }

    // Positions outside the sheet or above the open rows are the caller's to reject.
    void setValue(int row, int column, CellValue value);
    void setAlignment(int row, int column, Alignment alignment);
    CellValue value(int row, int column) const;
    Alignment alignment(int row, int column) const;
    void setColumnWidth(int column, double width) { widths_[column] = width; }
    std::optional<double> columnWidth(int column) const;

    // Hands every row still open, and the column widths, to the sink.
    void finish();

private:
    // An open row's cells in column order. Clients fill a row from the left
    // and rows from the top, so a new cell or row goes at the end nearly always.
    struct Row {
        int row;
        std::vector<std::pair<int, Cell>> cells;
    };

    Cell& touch(int row, int column);
    const Cell* find(int row, int column) const;
    void handOverAbove(int row);
    void dropIfPlain(int row, int column);

    QString name_;
    Sink* sink_;
    std::deque<Row> rows_; // in row order
    std::map<int, double> widths_;
    int firstOpenRow_ = 1;
};
