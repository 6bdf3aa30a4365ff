#pragma once

#include <QString>

class QDialog;
class QFileDialog;
class QWidget;

// Every message box, file dialog and modal form of the program goes through
// this seam, so that tests can answer them offscreen.
class UserDialogs {
public:
    enum class Icon { None, Error };
    enum class Buttons { Ok, YesNo, CancelRetryContinue };
    enum class Answer { Ok, Yes, No, Cancel, Retry, Continue };

    struct Message {
        QWidget* owner = nullptr; // null: no owner window
        QString text;
        QString caption;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };

    virtual ~UserDialogs() = default;
    virtual Answer show(const Message& message) = 0;
    // Shows a form of the program modally; returns QDialog::Accepted or Rejected.
    virtual int exec(QDialog& dialog) = 0;
    // Shows a file dialog of the program modally; the chosen file's name, or an
    // empty text when the user cancels.
    virtual QString chooseFile(QFileDialog& dialog) = 0;
    virtual QString openFileName(QWidget* owner, const QString& caption, const QString& filter) = 0;
    virtual QString saveFileName(QWidget* owner, const QString& caption, const QString& filter) = 0;
};

// The real thing: QMessageBox, QFileDialog, QDialog::exec.
class WidgetDialogs : public UserDialogs {
public:
    Answer show(const Message& message) override;
    int exec(QDialog& dialog) override;
    QString chooseFile(QFileDialog& dialog) override;
    QString openFileName(QWidget* owner, const QString& caption, const QString& filter) override;
    QString saveFileName(QWidget* owner, const QString& caption, const QString& filter) override;
};
