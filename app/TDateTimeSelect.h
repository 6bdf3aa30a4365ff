#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class TDateTimeSelect;
}

// Date and time of one event, picked separately.
class TDateTimeSelect : public QDialog {
    Q_OBJECT
public:
    explicit TDateTimeSelect(QWidget* parent = nullptr);
    ~TDateTimeSelect() override;
    std::unique_ptr<Ui::TDateTimeSelect> ui;

    void setDateTime(double value);
    // The whole-day part of the date picker plus the time-of-day part of the
    // time picker; a picker left as it was keeps the exact part it was set to.
    double dateTime() const;

private:
    double initial_ = 0.0;
};
