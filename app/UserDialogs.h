#pragma once

#include <QString>

class QDialog;
class QWidget;

// Every message box, file dialog and modal form of the program goes through
// this seam, so that tests can answer them offscreen.
class UserDialogs {
public:
    enum class Icon { None, Error };
    enum class Buttons { Ok, YesNo, CancelRetryContinue, SaveDiscardCancel };
    enum class Answer { Ok, Yes, No, Cancel, Retry, Continue, Save, Discard };

    struct Message {
        QWidget* owner = nullptr; // null: no owner window
        QString text;
        QString caption;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };

    // A file dialog of the program: no filter, default extension, folder or
    // title of its own. A kept dialog is made once for its owner and name and
    // reused, so it offers the last chosen name again; any other is made for
    // one choice.
    struct FileDialog {
        QWidget* owner = nullptr;
        QString name;
        bool save = false;      // a save dialog, which asks before overwriting
        bool mustExist = false; // the chosen file must exist
        bool kept = false;
    };

    // What the system puts on a message box that has no caption of its own.
    static QString systemDefaultCaption() { return QStringLiteral("Error"); }

    virtual ~UserDialogs() = default;
    virtual Answer show(const Message& message) = 0;
    // Shows a form of the program modally; returns QDialog::Accepted or Rejected.
    virtual int exec(QDialog& dialog) = 0;
    // Shows a file dialog modally; the chosen file's name, or an empty text when
    // the user cancels.
    virtual QString chooseFile(const FileDialog& dialog) = 0;
};

// The real thing: QMessageBox, QFileDialog, QDialog::exec.
class WidgetDialogs : public UserDialogs {
public:
    Answer show(const Message& message) override;
    int exec(QDialog& dialog) override;
    QString chooseFile(const FileDialog& dialog) override;
};
