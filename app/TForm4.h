#pragma once

#include "BindingStatus.h"
#include "UserDialogs.h"

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class TForm4;
}
class TabletDataWriterHelper;

// The write-command dialog: the user picks the command version and writes the
// read command onto the tablet on the adapter. It lives as long as the program,
// so the version chosen last stays selected.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    // `stopReadOut` stops a read-out that waits for a tablet and returns once its
    // reader has let go of the bus: a writer never drives it alongside a reader.
    TForm4(UserDialogs& dialogs, QString libraryPath, std::function<void()> stopReadOut,
           QWidget* parent = nullptr);
    ~TForm4() override; // waits for a running writer

    std::unique_ptr<Ui::TForm4> ui;
    // The latest writer, null before the first.
    const TabletDataWriterHelper* writer() const { return writer_.get(); }
    // From "Записать" until the writer's outcome has been handled.
    bool writerRunning() const;

public slots:
    void Button1Click();
    void Button2Click();
    void done(int result) override;

signals:
    // The finish handler of a writer has run (for whoever waits on it).
    void writeHandled();

    // Emitted on the writer's thread by its finish function.
    void writerFinished(BindingStatus status);

private:
    void FormCreate();
    // On this dialog's thread, with the outcome the writer left.
    void finishHandler(BindingStatus status);
    void setButtonsEnabled(bool enabled);
    UserDialogs::Answer message(const QString& text, const QString& caption,
                                UserDialogs::Buttons buttons = UserDialogs::Buttons::Ok);

    UserDialogs& dialogs_;
    QString libraryPath_;
    std::function<void()> stopReadOut_;
    std::unique_ptr<TabletDataWriterHelper> writer_;
    bool writing_ = false;
    bool closeRequested_ = false;
};
