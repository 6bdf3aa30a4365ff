#include "Workbook.h"

std::shared_ptr<Workbook> Workbook::create(QString name, QString& why) {
    std::shared_ptr<Workbook> book(new Workbook(std::move(name)));
    book->writer_ = WorkbookWriter::begin(why);
    if (!book->writer_)
        return nullptr;
    const QString sheet = QStringLiteral("Лист1");
    Worksheet::Sink* sink = book->writer_->addSheet(sheet, why);
    if (!sink)
        return nullptr;
    book->sheets_.emplace_back(sheet, *sink);
    return book;
}

QString Workbook::save(const QString& path) {
    for (Worksheet& sheet : sheets_)
        sheet.finish();
    return writer_->finish(path);
}
