#include "JudgementView.h"

#include "ReadOutJudgement.h"
#include "TStatusForm.h"
#include "ui_TStatusForm.h"

#include <QLabel>

namespace {
const QString kErrorDialogCaption = QStringLiteral("Ошибка");
const QString kUnknownTablet =
    QStringLiteral("Неизвестный номер таблетки. Данные не могут быть отображены");
} // namespace

JudgementView::JudgementView(QWidget& window, TStatusForm& info, QLabel& panel1, QLabel& panel2,
                             UserDialogs& dialogs)
    : window_(window), info_(info), panel1_(panel1), panel2_(panel2), dialogs_(dialogs) {}

void JudgementView::show(const ReadOutOutcome& outcome, const std::function<void()>& afterError) {
    info_.ui->VerEdit->setText(QString::fromStdString(outcome.versionLine));
    if (outcome.errorMessage) {
        dialogs_.show({.owner = &window_,
                       .text = QString::fromStdString(*outcome.errorMessage),
                       .caption = kErrorDialogCaption,
                       .icon = UserDialogs::Icon::Error,
                       .buttons = UserDialogs::Buttons::Ok});
        if (afterError)
            afterError();
    }
    if (outcome.tabletLines) {
        info_.showTablet(outcome);
        panel1_.setText(info_.ui->DeviceNameEdit->text());
        panel2_.setText(info_.ui->CurTimeEdit->text());
    }
    if (outcome.unknownTablet) {
        clearTablet();
        dialogs_.show({.owner = nullptr, .text = kUnknownTablet, .caption = QString()});
    }
}

void JudgementView::clearTablet() {
    info_.clearTablet();
    panel1_.clear();
    panel2_.clear();
}
