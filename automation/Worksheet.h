#pragma once

#include "CellValue.h"

#include <QString>

#include <map>
#include <utility>

// One sheet of a workbook: its cells and column widths. Rows and columns count
// from 1.
class Worksheet {
public:
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxColumns = 16384;
    // Column widths in characters of the standard font.
    static constexpr double kMaxColumnWidth = 255.0;

    enum class Alignment { General, Left, Center, Right, Fill, Justify, CenterAcross, Distributed };

    struct Cell {
        CellValue value;
        Alignment alignment = Alignment::General;
    };
    using Position = std::pair<int, int>; // row, column

    explicit Worksheet(QString name) : name_(std::move(name)) {}

    const QString& name() const { return name_; }
    static bool contains(int row, int column) {
        return row >= 1 && row <= kMaxRows && column >= 1 && column <= kMaxColumns;
    }

    // Positions outside the sheet are the caller's to reject.
    void setValue(int row, int column, CellValue value);
    void setAlignment(int row, int column, Alignment alignment);
    CellValue value(int row, int column) const;
    void setColumnWidth(int column, double width) { widths_[column] = width; }

    // Cells with a value or a format of their own, row by row.
    const std::map<Position, Cell>& cells() const { return cells_; }
    // Columns with a width of their own; the others keep the default.
    const std::map<int, double>& columnWidths() const { return widths_; }

private:
    void dropIfPlain(std::map<Position, Cell>::iterator it);

    QString name_;
    std::map<Position, Cell> cells_;
    std::map<int, double> widths_;
};
