#pragma once

#include "UserDialogs.h"

#include <functional>

struct ReadOutOutcome;
class QLabel;
class QWidget;
class TStatusForm;

// What a judged reading shows, whether it came from the adapter or from an
// image kept in a file: the Information dialog's lines, the two status panels,
// the error dialog and the unknown-tablet message.
class JudgementView {
public:
    JudgementView(QWidget& window, TStatusForm& info, QLabel& panel1, QLabel& panel2,
                  UserDialogs& dialogs);

    // `afterError` runs right after the error dialog (a read-out stops there).
    void show(const ReadOutOutcome& outcome, const std::function<void()>& afterError = {});
    // The tablet lines and both panels emptied.
    void clearTablet();

private:
    QWidget& window_;
    TStatusForm& info_;
    QLabel& panel1_;
    QLabel& panel2_;
    UserDialogs& dialogs_;
};
