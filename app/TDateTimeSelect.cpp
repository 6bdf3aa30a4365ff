#include "TDateTimeSelect.h"

#include "DateTime.h"
#include "ui_TDateTimeSelect.h"

#include <cmath>

namespace {
QDate toDate(double value) {
    const auto p = datetime::decode(std::trunc(value));
    return p ? QDate(p->year, p->month, p->day) : QDate(1899, 12, 30);
}
QTime toTime(double value) {
    const auto p = datetime::decode(std::fabs(value - std::trunc(value)));
    return p ? QTime(p->hour, p->minute, p->second) : QTime(0, 0);
}
} // namespace

TDateTimeSelect::TDateTimeSelect(QWidget* parent) : QDialog(parent), ui(new Ui::TDateTimeSelect) {
    ui->setupUi(this);
    ui->DatePicker->setMinimumDate(QDate(100, 1, 1));
    layout()->setSizeConstraint(QLayout::SetFixedSize);
}
TDateTimeSelect::~TDateTimeSelect() = default;

void TDateTimeSelect::setDateTime(double value) {
    initial_ = value;
    ui->DatePicker->setDate(toDate(value));
    ui->TimePicker->setTime(toTime(value));
}

double TDateTimeSelect::dateTime() const {
    const double day = std::trunc(initial_);
    const double timeOfDay = std::fabs(initial_ - day);
    double newDay = day;
    if (ui->DatePicker->date() != toDate(initial_)) {
        const QDate d = ui->DatePicker->date();
        newDay = datetime::encodeDate(d.year(), d.month(), d.day()).value_or(day);
    }
    double newTime = timeOfDay;
    if (ui->TimePicker->time() != toTime(initial_)) {
        const QTime t = ui->TimePicker->time();
        newTime = datetime::encodeTime(t.hour(), t.minute(), t.second());
    }
    return newDay + newTime;
}
