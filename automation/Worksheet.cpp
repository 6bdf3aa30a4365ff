#include "Worksheet.h"

void Worksheet::setValue(int row, int column, CellValue value) {
    const auto it = cells_.try_emplace({row, column}).first;
    it->second.value = std::move(value);
    dropIfPlain(it);
}

void Worksheet::setAlignment(int row, int column, Alignment alignment) {
    const auto it = cells_.try_emplace({row, column}).first;
    it->second.alignment = alignment;
    dropIfPlain(it);
}

CellValue Worksheet::value(int row, int column) const {
    const auto it = cells_.find({row, column});
    return it == cells_.end() ? CellValue{} : it->second.value;
}

void Worksheet::dropIfPlain(std::map<Position, Cell>::iterator it) {
    if (it->second.value.kind == CellValue::Kind::Empty &&
        it->second.alignment == Alignment::General)
        cells_.erase(it);
}
