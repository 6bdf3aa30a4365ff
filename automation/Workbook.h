#pragma once

#include "Worksheet.h"

#include <QString>

#include <deque>

// A workbook as the spreadsheet application holds it before it is saved.
class Workbook {
public:
    // A new workbook: one empty sheet, named as a Russian-locale application names them.
    explicit Workbook(QString name);

    const QString& name() const { return name_; }
    int sheetCount() const { return static_cast<int>(sheets_.size()); }
    // index from 1; sheets stay where they are while the workbook lives
    Worksheet& sheet(int index) { return sheets_.at(static_cast<size_t>(index - 1)); }
    const std::deque<Worksheet>& sheets() const { return sheets_; }

private:
    QString name_;
    std::deque<Worksheet> sheets_;
};
