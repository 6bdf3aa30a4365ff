#pragma once

#include "AutomationRegistry.h"
#include "BindingStatus.h"
#include "DateTime.h"
#include "EventLog.h"
#include "ReadOutController.h"
#include "UserDialogs.h"

#include <QMainWindow>
#include <QThread>

#include <memory>

namespace Ui {
class TForm1;
}
class ArchiveKeeper;
class CorrectionHistory;
class EventGrid;
class JudgementView;
class TabletImageMenu;
class EventTableModel;
class FilterBar;
class QLabel;
class ReportMenu;
class TAbout;
class TDateTimeSelect;
class TForm4;
class TImportBin;
class TStatusForm;

// What the main window is given from outside: the dialog seam, the driver
// library, the clock the decoders read, the automation servers (null: the
// desktop's).
struct AppEnvironment {
    UserDialogs* dialogs = nullptr;
    QString libraryPath;
    datetime::Clock clock = datetime::systemLocalClock();
    std::shared_ptr<AutomationRegistry> automation;
    QString archiveFolder; // empty: the read-out archive in the user's data folder
};

// The main window: menu, toolbar, prompt, event table and status bar. It shows
// what the read-out controller reports and the event log it holds, and asks
// the user's questions.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(AppEnvironment environment, QWidget* parent = nullptr);
    ~TForm1() override;

    // The whole start-up list with the real driver and clock: the main window,
    // then its dialogs. Null when a start-up failure has ended the program (its
    // one message has been shown).
    static std::unique_ptr<TForm1> startUp(UserDialogs& dialogs);

    // The dialogs of the start-up list, created after the main window.
    void createDialogs();
    // Set by a start-up failure: the program ends before its message loop.
    bool closeAtStart() const { return closeAtStart_; }

    std::unique_ptr<Ui::TForm1> ui;
    TStatusForm* statusForm() const { return statusForm_; }
    TDateTimeSelect* dateTimeSelect() const { return dateTimeSelect_; }
    TAbout* about() const { return about_; }
    TForm4* form4() const { return form4_; }
    QLabel* statusPanel(int index) const { return index == 0 ? panel1_ : panel2_; }
    const EventLog* log() const { return log_.get(); }
    const EventCollection* events() const { return log_ ? &log_->events() : nullptr; }
    EventTableModel* model() const { return model_; }
    ReadOutController& readOut() const { return *readOut_; }
    TabletDataLoader* reader() const { return readOut_->reader(); }
    uint8_t readOutResult() const { return readOutResult_; }
    CorrectionHistory& history() const { return *history_; }
    ArchiveKeeper& archive() const { return *archive_; }
    ReportMenu& reportMenu() const { return *reportMenu_; }
    JudgementView& judgementView() const { return *view_; }
    TabletImageMenu& imageMenu() const { return *imageMenu_; }
    FilterBar& filterBar() const { return *filterBar_; }

    // Replaces the list on display and refills the table.
    void installLog(EventLog log);
    // Shows the table and enables "Сохранить" and "Экспорт в Excel".
    void showData(bool show);
    // The port type's driver version text, learnt at start-up.
    const QString& versionText() const { return versionText_; }
    // Opens a saved log file and shows it, as "Открыть" does after its dialog.
    void openLogFile(const QString& name);
    // The import dialog of a bin file already chosen, as "Импорт из bin" shows it.
    void importBinFile(const QString& name);
    // A list opened, imported or decoded from an image, on display.
    void showLog(EventLog log);

public slots:
    // True when the list was saved.
    bool MenuSaveClick();
    void MenuOpenClick();
    void B1Click();
    void MenuStartClick();
    void MenuStopClick();
    void MenuInfoClick();
    void MenuAboutClick();
    void N5Click();
    void MenuExitClick();
    void MenuExportExcelClick();
    void btnShowEventBinaryClick();
    void InfoGridDblClick(const QModelIndex& index);
    void FormResize();

signals:
    // A read-out completion has been handled (for whoever waits on it).
    void readOutHandled();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override; // FormClose

private:
    void FormCreate();
    void setPrompt(const QString& text);
    UserDialogs::Answer message(QWidget* owner, const QString& text, const QString& caption,
                                UserDialogs::Buttons buttons = UserDialogs::Buttons::Ok,
                                UserDialogs::Icon icon = UserDialogs::Icon::None);
    // The message of an OpenSession failure; false when there was one.
    bool reportOpenFailure(BindingStatus status);
    void showReport(const ReadOutReport& report);
    void fileError(const QString& text);

    AppEnvironment env_;
    bool closeAtStart_ = false;
    std::unique_ptr<ReadOutController> readOut_;
    std::unique_ptr<EventLog> log_;
    CorrectionHistory* history_ = nullptr; // owned by the window
    ReportMenu* reportMenu_ = nullptr;     // owned by the window
    std::unique_ptr<ArchiveKeeper> archive_;
    std::unique_ptr<JudgementView> view_;
    TabletImageMenu* imageMenu_ = nullptr; // owned by the window
    uint8_t readOutResult_ = 0;
    QString versionText_;

    EventTableModel* model_ = nullptr;
    std::unique_ptr<EventGrid> grid_;
    FilterBar* filterBar_ = nullptr; // owned by the window
    QLabel* panel1_ = nullptr;
    QLabel* panel2_ = nullptr;
    TStatusForm* statusForm_ = nullptr;
    TDateTimeSelect* dateTimeSelect_ = nullptr;
    TAbout* about_ = nullptr;
    TForm4* form4_ = nullptr;
    TImportBin* importBin_ = nullptr;
    // Kept with the window, so each offers the last chosen name again.
    UserDialogs::FileDialog FileSaveDialog;
    UserDialogs::FileDialog FileOpenDialog;
};
