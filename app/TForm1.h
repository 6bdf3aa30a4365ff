#pragma once

#include "AutomationRegistry.h"
#include "BindingStatus.h"
#include "DateTime.h"
#include "EventCollection.h"
#include "ParserFactory.h"
#include "ReaderSlot.h"
#include "TabletReadout.h"
#include "UserDialogs.h"

#include <QMainWindow>
#include <QThread>

#include <memory>
#include <optional>
#include <unordered_map>

namespace Ui {
class TForm1;
}
class EventTableModel;
class QLabel;
struct ReadOutMailbox;
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
};

// The main window: menu, toolbar, prompt, event table, status bar, the tablet
// reader and the read-out workflow.
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
    const EventCollection* events() const { return events_.get(); }
    EventTableModel* model() const { return model_; }
    TabletDataLoader* reader() const { return readers_.current(); }
    uint8_t readOutResult() const { return readOutResult_; }

    // Replaces the list on display and refills the table. The time correction
    // takes its segments from `segmentRule`, the decoder the list belongs to.
    void installEvents(std::unique_ptr<EventCollection> events,
                       std::shared_ptr<const TabletDataParserBase> segmentRule);
    // Shows the table and enables "Сохранить" and "Экспорт в Excel".
    void showData(bool show);
    const QString& driverText(int index) const { return driverTexts_[index]; }
    // Reads a saved log file into the table, as "Открыть" does after its dialog.
    void openLogFile(const QString& name);

public slots:
    void MenuSaveClick();
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

private slots:
    // The readouts the readers have left in the mailbox, in their order.
    void takeReadOuts();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override; // FormClose

private:
    void FormCreate();
    void layoutClientArea();
    void setPrompt(const QString& text);
    UserDialogs::Answer message(QWidget* owner, const QString& text, const QString& caption,
                                UserDialogs::Buttons buttons = UserDialogs::Buttons::Ok,
                                UserDialogs::Icon icon = UserDialogs::Icon::None);
    // The message of an OpenSession failure; false when there was one.
    bool reportOpenFailure(BindingStatus status);
    // Stops a read-out waiting for a tablet, as MenuStopClick does, and waits
    // until its reader has let go of the bus (before a writer takes it).
    void stopWaitingReadOut();
    // A new reader, not yet started, whose notifier posts its result to this window.
    std::unique_ptr<TabletDataLoader> makeReader();
    void completeReadOut(const TabletReadout& readout);
    void clearTabletLines();
    void fileError(const QString& text);
    void setupHeader();
    void fillTable();
    int textWidth(const std::string& text);
    int cellPadding() const;

    AppEnvironment env_;
    bool closeAtStart_ = false;
    ReaderSlot readers_;
    // Where the readers' notifiers post; emptied when the window goes.
    std::shared_ptr<ReadOutMailbox> mailbox_;
    quint64 readerCount_ = 0;
    std::unique_ptr<EventCollection> events_;
    // Set only together with events_: the list and its segment rule never part.
    std::shared_ptr<const TabletDataParserBase> segmentRule_;
    uint8_t readOutResult_ = 0;
    QString driverTexts_[3];
    int infoColumnWidth_ = 70;
    std::unordered_map<std::string, int> infoWidths_;

    EventTableModel* model_ = nullptr;
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
