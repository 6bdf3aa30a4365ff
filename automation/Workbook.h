#pragma once

#include "WorkbookWriter.h"
#include "Worksheet.h"

#include <QString>

#include <deque>
#include <memory>

// A workbook as the spreadsheet application holds it before it is saved: its
// sheets, whose rows go to the file being written as they are filled.
class Workbook {
public:
    // A new workbook with one empty sheet, named as a Russian-locale
    // application names them; nullptr and why when its file cannot be begun.
    static std::shared_ptr<Workbook> create(QString name, QString& why);

    const QString& name() const { return name_; }
    int sheetCount() const { return static_cast<int>(sheets_.size()); }
    // index from 1; sheets stay where they are while the workbook lives
    Worksheet& sheet(int index) { return sheets_.at(static_cast<size_t>(index - 1)); }

    // Writes the workbook to `path`: an empty text, or why it failed. The
    // sheets take no more cells afterwards.
    QString save(const QString& path);

private:
    explicit Workbook(QString name) : name_(std::move(name)) {}

    QString name_;
    std::unique_ptr<WorkbookWriter> writer_;
    std::deque<Worksheet> sheets_;
};
