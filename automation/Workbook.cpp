#include "Workbook.h"

Workbook::Workbook(QString name) : name_(std::move(name)) {
    sheets_.emplace_back(QStringLiteral("Лист1"));
}
