#include "Worksheet.h"

#include <algorithm>

namespace {

// The first open row at or below `row`, the first cell at or right of `column`.
template <typename Rows> auto rowAt(Rows& rows, int row) {
    return std::lower_bound(rows.begin(), rows.end(), row,
                            [](const auto& r, int wanted) { return r.row < wanted; });
}

template <typename Cells> auto cellAt(Cells& cells, int column) {
    return std::lower_bound(cells.begin(), cells.end(), column,
                            [](const auto& cell, int c) { return cell.first < c; });
}

} // namespace

void Worksheet::handOverAbove(int row) {
    while (!rows_.empty() && rows_.front().row < row) {
        for (const auto& [column, cell] : rows_.front().cells)
            sink_->cell(rows_.front().row, column, cell);
        rows_.pop_front();
    }
}

Worksheet::Cell& Worksheet::touch(int row, int column) {
    const int firstKept = row - kOpenRows + 1;
    if (firstKept > firstOpenRow_) {
        handOverAbove(firstKept);
        firstOpenRow_ = firstKept;
    }
    auto r = rows_.end();
    if (rows_.empty() || rows_.back().row < row) {
        rows_.push_back({row, {}});
        rows_.back().cells.reserve(4); // an export's row: one allocation
        r = std::prev(rows_.end());
    } else {
        r = rowAt(rows_, row);
        if (r->row != row)
            r = rows_.insert(r, {row, {}});
    }
    auto& cells = r->cells;
    if (cells.empty() || cells.back().first < column) {
        cells.emplace_back(column, Cell{});
        return cells.back().second;
    }
    auto c = cellAt(cells, column);
    if (c->first != column)
        c = cells.emplace(c, column, Cell{});
    return c->second;
}

const Worksheet::Cell* Worksheet::find(int row, int column) const {
    const auto r = rowAt(rows_, row);
    if (r == rows_.end() || r->row != row)
        return nullptr;
    const auto c = cellAt(r->cells, column);
    return c == r->cells.end() || c->first != column ? nullptr : &c->second;
}

void Worksheet::setValue(int row, int column, CellValue value) {
    const bool empty = value.kind == CellValue::Kind::Empty;
    touch(row, column).value = std::move(value);
    if (empty)
        dropIfPlain(row, column);
}

void Worksheet::setAlignment(int row, int column, Alignment alignment) {
    touch(row, column).alignment = alignment;
    if (alignment == Alignment::General)
        dropIfPlain(row, column);
}

CellValue Worksheet::value(int row, int column) const {
    const Cell* cell = find(row, column);
    return cell ? cell->value : CellValue{};
}

Worksheet::Alignment Worksheet::alignment(int row, int column) const {
    const Cell* cell = find(row, column);
    return cell ? cell->alignment : Alignment::General;
}

std::optional<double> Worksheet::columnWidth(int column) const {
    const auto it = widths_.find(column);
    return it == widths_.end() ? std::nullopt : std::optional<double>(it->second);
}

void Worksheet::finish() {
    handOverAbove(kMaxRows + 1);
    firstOpenRow_ = kMaxRows + 1;
    for (const auto& [column, width] : widths_)
        sink_->columnWidth(column, width);
}

// A cell with neither value nor format of its own is no cell: it is not
// written, as the application would not write it.
void Worksheet::dropIfPlain(int row, int column) {
    const auto r = rowAt(rows_, row);
    if (r == rows_.end() || r->row != row)
        return;
    const auto c = cellAt(r->cells, column);
    if (c != r->cells.end() && c->first == column &&
        c->second.value.kind == CellValue::Kind::Empty && c->second.alignment == Alignment::General)
        r->cells.erase(c);
}
