#include "TStatusForm.h"

#include "ReadOutJudgement.h"
#include "ui_TStatusForm.h"

#include <QDate>
#include <QLocale>

TStatusForm::TStatusForm(QWidget* parent) : QDialog(parent), ui(new Ui::TStatusForm) {
    ui->setupUi(this);
    setFixedSize(size());
    // read-only lines on the button colour, as the form was designed
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        QPalette p = edit->palette();
        p.setColor(QPalette::Base, p.color(QPalette::Button));
        edit->setPalette(p);
    }
}
TStatusForm::~TStatusForm() = default;

void TStatusForm::FormShow(const QString& text1, const QString& text2, const QString& text3) {
    ui->Edit1->setText(text1);
    ui->Edit2->setText(text2);
    ui->Edit3->setText(text3);
}

void TStatusForm::showTablet(const ReadOutOutcome& outcome) {
    ui->SerialEdit->setText(QString::fromStdString(outcome.serialLine));
    ui->DeviceNameEdit->setText(QString::fromStdString(outcome.deviceLine));
    const QDate date(outcome.year, outcome.month, outcome.day);
    ui->CurTimeEdit->setText(QStringLiteral("Текущие дата/время на таблетке: ") +
                             QLocale().toString(date, QLocale::ShortFormat));
}

void TStatusForm::clearTablet() {
    ui->SerialEdit->clear();
    ui->DeviceNameEdit->clear();
    ui->CurTimeEdit->clear();
}
