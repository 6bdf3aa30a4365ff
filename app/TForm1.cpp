#include "TForm1.h"

#include "AtomicFile.h"
#include "AutomationError.h"
#include "BusyCursor.h"
#include "EventTableModel.h"
#include "ExcelExport.h"
#include "FileMessages.h"
#include "IconCellDelegate.h"
#include "ImageCheckMessages.h"
#include "InputFile.h"
#include "LogFileReader.h"
#include "LogFileWriter.h"
#include "MainFrame.h"
#include "SegmentRule.h"
#include "TAbout.h"
#include "TDateTimeSelect.h"
#include "TForm4.h"
#include "TImportBin.h"
#include "TStatusForm.h"
#include "TabletDataLoader.h"
#include "ui_TForm1.h"
#include "ui_TStatusForm.h"

#include <QCloseEvent>
#include <QDate>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QStyle>

#include <mutex>
#include <vector>

namespace {

const QString kIdlePromptAtStart =
    QStringLiteral("Для считывания данных  выберите Файл->Считать данные");
const QString kIdlePrompt = QStringLiteral("Для считывания данных выберите Файл->Считать данные");
const QString kWaitingPrompt = QStringLiteral("Поднесите электронный ключ DS1994 к адаптеру");

const QString kLibraryFailure =
    QStringLiteral("ERROR, could not load IBFS32.DLL, or not all needed functions found\n");
const QString kLibraryFailureCaption = QStringLiteral("Error!");
const QString kDriverFailure = QStringLiteral("\nNo Hardware Driver for this type found!\n");
const QString kDriverFailureCaption = QStringLiteral("ERROR");
const QString kSetupFailure = QStringLiteral("TMEX Setup Flag is not 1 or 2");
const QString kErrorDialogCaption = QStringLiteral("Ошибка");
// The caption of the framework's standard error dialog, which shows file errors.
const QString kFileErrorCaption = QStringLiteral("Error");

const QString kUnknownTablet =
    QStringLiteral("Неизвестный номер таблетки. Данные не могут быть отображены");
const QString kShowEventsQuestion =
    QStringLiteral("Данные считаны. Отобразить информацию о событиях?");

constexpr int kToolBarHeight = 33;
constexpr int kBinaryColumnWidth = 80;
// The decoders' texts, many times over; no more is kept.
constexpr size_t kCachedTextWidths = 4096;

} // namespace

// The window a reader's notifier posts to. The notifier runs on the reader's
// thread; the window may go in the meantime.
struct ReadOutMailbox {
    std::mutex mutex;
    TForm1* form = nullptr;
    std::vector<TabletReadout> readouts;
};

TForm1::TForm1(AppEnvironment environment, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::TForm1), env_(std::move(environment)),
      mailbox_(std::make_shared<ReadOutMailbox>()) {
    mailbox_->form = this;
    Q_INIT_RESOURCE(velmora); // the artwork lives in a static library
    ui->setupUi(this);
    if (env_.libraryPath.isEmpty())
        env_.libraryPath = TabletDataLoaderHelper::defaultLibraryPath();
    if (!env_.automation)
        env_.automation = AutomationRegistry::desktop();

    ui->SpeedButOpen->setIcon(QIcon(QStringLiteral(":/icons/open.svg")));
    ui->SpeedButSave->setIcon(QIcon(QStringLiteral(":/icons/save.svg")));
    QIcon start(QStringLiteral(":/icons/start.svg"));
    start.addFile(QStringLiteral(":/icons/start-disabled.svg"), {}, QIcon::Disabled);
    ui->SpeedButStart->setIcon(start);
    QIcon stop(QStringLiteral(":/icons/stop.svg"));
    stop.addFile(QStringLiteral(":/icons/stop-disabled.svg"), {}, QIcon::Disabled);
    ui->SpeedButStop->setIcon(stop);
    ui->SpeedButInfo->setIcon(QIcon(QStringLiteral(":/icons/info.svg")));
    ui->SpeedButExport->setIcon(QIcon(QStringLiteral(":/icons/export.svg")));
    for (QToolButton* b : ui->ToolBar1->findChildren<QToolButton*>())
        b->setIconSize(QSize(16, 16));

    panel1_ = new QLabel(this);
    panel1_->setObjectName(QStringLiteral("StatusPanel1"));
    panel1_->setFixedWidth(250);
    panel2_ = new QLabel(this);
    panel2_->setObjectName(QStringLiteral("StatusPanel2"));
    panel2_->setMinimumWidth(60);
    ui->StatusBar->addWidget(panel1_);
    ui->StatusBar->addWidget(panel2_);

    model_ = new EventTableModel(this);
    ui->InfoGrid->setModel(model_);
    ui->InfoGrid->verticalHeader()->hide();
    ui->InfoGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    ui->InfoGrid->horizontalHeader()->setStretchLastSection(false);
    ui->InfoGrid->setItemDelegateForColumn(EventTableModel::Mark, new IconCellDelegate(this));
    ui->InfoGrid->setItemDelegateForColumn(EventTableModel::Type, new IconCellDelegate(this));
    ui->InfoGrid->setIconSize(QSize(16, 16));
    ui->InfoGrid->raise(); // the shown table covers the prompt

    connect(ui->MenuStart, &QAction::triggered, this, &TForm1::MenuStartClick);
    connect(ui->MenuStop, &QAction::triggered, this, &TForm1::MenuStopClick);
    connect(ui->MenuInfo, &QAction::triggered, this, &TForm1::MenuInfoClick);
    connect(ui->MenuAbout, &QAction::triggered, this, &TForm1::MenuAboutClick);
    connect(ui->N5, &QAction::triggered, this, &TForm1::N5Click);
    connect(ui->MenuExit, &QAction::triggered, this, &TForm1::MenuExitClick);
    connect(ui->MenuExportExcel, &QAction::triggered, this, &TForm1::MenuExportExcelClick);
    connect(ui->btnShowEventBinary, &QAction::triggered, this, &TForm1::btnShowEventBinaryClick);
    connect(ui->SpeedButOpen, &QToolButton::clicked, ui->MenuOpen, &QAction::trigger);
    connect(ui->SpeedButSave, &QToolButton::clicked, ui->MenuSave, &QAction::trigger);
    connect(ui->SpeedButStart, &QToolButton::clicked, this, &TForm1::MenuStartClick);
    connect(ui->SpeedButStop, &QToolButton::clicked, this, &TForm1::MenuStopClick);
    connect(ui->SpeedButInfo, &QToolButton::clicked, this, &TForm1::MenuInfoClick);
    connect(ui->SpeedButExport, &QToolButton::clicked, ui->MenuExportExcel, &QAction::trigger);
    connect(ui->InfoGrid, &QTableView::doubleClicked, this, &TForm1::InfoGridDblClick);
    connect(ui->MenuSave, &QAction::triggered, this, &TForm1::MenuSaveClick);
    connect(ui->MenuOpen, &QAction::triggered, this, &TForm1::MenuOpenClick);
    connect(ui->B1, &QAction::triggered, this, &TForm1::B1Click);

    FileSaveDialog = {this, QStringLiteral("FileSaveDialog"), true, false, true};
    FileOpenDialog = {this, QStringLiteral("FileOpenDialog"), false, true, true};

    FormCreate();
}

TForm1::~TForm1() {
    {
        // a reader that ends from now on posts nowhere
        const std::lock_guard lock(mailbox_->mutex);
        mailbox_->form = nullptr;
    }
    readers_.release();
}

std::unique_ptr<TForm1> TForm1::startUp(UserDialogs& dialogs) {
    AppEnvironment environment;
    environment.dialogs = &dialogs;
    auto form = std::make_unique<TForm1>(environment);
    form->createDialogs();
    if (form->closeAtStart())
        return nullptr;
    return form;
}

void TForm1::createDialogs() {
    statusForm_ = new TStatusForm(this);
    dateTimeSelect_ = new TDateTimeSelect(this);
    about_ = new TAbout(this);
    form4_ = new TForm4(
        *env_.dialogs, env_.libraryPath, [this] { stopWaitingReadOut(); }, this);
    importBin_ = new TImportBin(this);
}

UserDialogs::Answer TForm1::message(QWidget* owner, const QString& text, const QString& caption,
                                    UserDialogs::Buttons buttons, UserDialogs::Icon icon) {
    UserDialogs::Message m;
    m.owner = owner;
    m.text = text;
    m.caption = caption;
    m.buttons = buttons;
    m.icon = icon;
    return env_.dialogs->show(m);
}

std::unique_ptr<TabletDataLoader> TForm1::makeReader() {
    // The notifier runs on the reader's thread as its last act: it leaves a copy
    // of the reader's result in the mailbox and asks this window's thread to
    // take it. The value crosses under the mailbox's lock alone.
    auto self = std::make_shared<TabletDataLoader*>(nullptr);
    auto notifier = std::make_shared<ThreadExecutionInfo>([mailbox = mailbox_, self] {
        const TabletReadout readout = (*self)->readout();
        const std::lock_guard lock(mailbox->mutex);
        if (mailbox->form) {
            mailbox->readouts.push_back(readout);
            QMetaObject::invokeMethod(mailbox->form, "takeReadOuts", Qt::QueuedConnection);
        }
    });
    auto reader = std::make_unique<TabletDataLoader>(notifier, env_.libraryPath, ++readerCount_);
    *self = reader.get();
    return reader;
}

void TForm1::takeReadOuts() {
    std::vector<TabletReadout> readouts;
    {
        const std::lock_guard lock(mailbox_->mutex);
        readouts.swap(mailbox_->readouts);
    }
    for (const TabletReadout& readout : readouts)
        completeReadOut(readout);
}

bool TForm1::reportOpenFailure(BindingStatus status) {
    switch (status) {
    case BindingStatus::LibraryFailure:
        message(nullptr, kLibraryFailure, kLibraryFailureCaption);
        return false;
    case BindingStatus::DriverFailure:
        message(this, kDriverFailure, kDriverFailureCaption);
        return false;
    case BindingStatus::SetupFailure:
        message(this, kSetupFailure, UserDialogs::systemDefaultCaption());
        return false;
    default:
        return true;
    }
}

void TForm1::FormCreate() {
    readers_.replace(makeReader());
    const BindingStatus status = reader()->openSession();
    if (status != BindingStatus::LibraryFailure && status != BindingStatus::DriverFailure)
        driverTexts_[2] = reader()->session().versionText;
    closeAtStart_ = !reportOpenFailure(status);
    if (status == BindingStatus::LibraryFailure || status == BindingStatus::DriverFailure)
        return;
    setupHeader();
    FormResize();
}

void TForm1::MenuStartClick() {
    setPrompt(kWaitingPrompt);
    ui->InfoGrid->hide();
    TabletDataLoader* current = reader();
    if (current && current->suspended() && !current->terminationRequested()) {
        readers_.start(QThread::LowestPriority);
        return;
    }
    // A reader still searching keeps the port: two never search it at once.
    if (current && current->isRunning() && !current->terminationRequested())
        return;
    readers_.replace(makeReader());
    if (!reportOpenFailure(reader()->openSession())) {
        // This reader never runs: the next Start makes a new one and tries again.
        readers_.stop();
        return;
    }
    readers_.start(QThread::NormalPriority);
}

void TForm1::MenuStopClick() {
    setPrompt(kIdlePrompt);
    readers_.stop();
}

void TForm1::stopWaitingReadOut() {
    const TabletDataLoader* current = reader();
    if (current && !current->terminationRequested() &&
        (current->isRunning() || readers_.startPending()))
        MenuStopClick();
    readers_.waitForStopped(); // a stopped reader ends within one search, or one copy, of the bus
}

void TForm1::completeReadOut(const TabletReadout& readout) {
    // A reader that was stopped, or replaced, no longer speaks for the window.
    if (!reader() || readout.reader != reader()->id() || reader()->terminationRequested())
        return;
    struct Done {
        TForm1* form;
        ~Done() { emit form->readOutHandled(); }
    } done{this};

    const ReadOutOutcome outcome = ReadOutJudgement::judge(readout.reading);
    readOutResult_ = outcome.result;
    Ui::TStatusForm& info = *statusForm_->ui;
    info.VerEdit->setText(QString::fromStdString(outcome.versionLine));
    if (outcome.errorMessage) {
        message(this, QString::fromStdString(*outcome.errorMessage), kErrorDialogCaption,
                UserDialogs::Buttons::Ok, UserDialogs::Icon::Error);
        MenuStopClick();
    }
    if (outcome.tabletLines) {
        info.SerialEdit->setText(QString::fromStdString(outcome.serialLine));
        info.DeviceNameEdit->setText(QString::fromStdString(outcome.deviceLine));
        panel1_->setText(info.DeviceNameEdit->text());
        const QDate date(outcome.year, outcome.month, outcome.day);
        const QString text = QStringLiteral("Текущие дата/время на таблетке: ") +
                             QLocale().toString(date, QLocale::ShortFormat);
        info.CurTimeEdit->setText(text);
        panel2_->setText(text);
    }
    if (outcome.unknownTablet) {
        clearTabletLines();
        message(nullptr, kUnknownTablet, QString());
    }
    if (!outcome.variant)
        return;
    std::shared_ptr<const TabletDataParserBase> decoder = makeParser(*outcome.variant, env_.clock);
    if (message(nullptr, kShowEventsQuestion, QString(), UserDialogs::Buttons::YesNo) !=
        UserDialogs::Answer::Yes)
        return;
    installEvents(
        decoder->decodeImage(readout.reading.image.bytes(), TabletImage::kHeadersAndEvents),
        decoder);
    showData(true);
}

void TForm1::installEvents(std::unique_ptr<EventCollection> events,
                           std::shared_ptr<const TabletDataParserBase> segmentRule) {
    model_->setEvents(nullptr);
    events_ = std::move(events);
    segmentRule_ = std::move(segmentRule);
    fillTable();
}

void TForm1::clearTabletLines() {
    statusForm_->ui->SerialEdit->clear();
    statusForm_->ui->DeviceNameEdit->clear();
    statusForm_->ui->CurTimeEdit->clear();
    panel1_->clear();
    panel2_->clear();
}

void TForm1::showData(bool show) {
    ui->MenuSave->setEnabled(show);
    ui->MenuExportExcel->setEnabled(show);
    ui->SpeedButSave->setEnabled(show);
    ui->SpeedButExport->setEnabled(show);
    ui->InfoGrid->setVisible(show);
}

int TForm1::textWidth(const std::string& text) {
    auto it = infoWidths_.find(text);
    if (it == infoWidths_.end() && infoWidths_.size() >= kCachedTextWidths)
        infoWidths_.clear(); // an opened file may hold a million texts of its own
    if (it == infoWidths_.end())
        it = infoWidths_
                 .emplace(text, ui->InfoGrid->fontMetrics().horizontalAdvance(
                                    QString::fromStdString(text)))
                 .first;
    return it->second;
}

int TForm1::cellPadding() const {
    // What the style draws around a cell's text, on top of the grid's own margins.
    const int margin =
        ui->InfoGrid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, ui->InfoGrid) + 1;
    return 2 * margin;
}

void TForm1::setupHeader() {
    const QFontMetrics fm = ui->InfoGrid->fontMetrics();
    QTableView* grid = ui->InfoGrid;
    const int pad = cellPadding();
    grid->verticalHeader()->setDefaultSectionSize(std::max(fm.height() + 6, 20));
    grid->setColumnWidth(EventTableModel::Number,
                         fm.horizontalAdvance(QStringLiteral("124")) + 5 + pad);
    grid->setColumnWidth(EventTableModel::Time, fm.horizontalAdvance(QString::fromStdString(
                                                    datetime::format(datetime::localNow()))) +
                                                    5 + pad);
    const int iconColumn = std::max(16, fm.horizontalAdvance(QStringLiteral("Тип"))) + 5;
    grid->setColumnWidth(EventTableModel::Mark, iconColumn);
    grid->setColumnWidth(EventTableModel::Type, iconColumn);
    grid->setColumnWidth(EventTableModel::Info, infoColumnWidth_);
    grid->setColumnWidth(EventTableModel::Note,
                         fm.horizontalAdvance(QString::fromUtf8(eventtext::kEditedByHand)) + 5 +
                             pad);
    grid->setColumnWidth(EventTableModel::Binary, 0);
}

void TForm1::fillTable() {
    QTableView* grid = ui->InfoGrid;
    std::array<int, EventTableModel::ColumnCount> widths{};
    for (int c = 0; c < EventTableModel::ColumnCount; ++c)
        widths[static_cast<size_t>(c)] = grid->columnWidth(c);
    model_->setEvents(events_.get());
    // The info column grows to the widest text and never narrows.
    int widest = 0;
    if (events_)
        for (const EventInfo& e : *events_)
            widest = std::max(widest, textWidth(e.infoText));
    widths[EventTableModel::Info] =
        std::max(widths[EventTableModel::Info], widest + 10 + cellPadding());
    for (int c = 0; c < EventTableModel::ColumnCount; ++c)
        grid->setColumnWidth(c, widths[static_cast<size_t>(c)]);
}

void TForm1::btnShowEventBinaryClick() {
    ui->InfoGrid->setColumnWidth(EventTableModel::Binary,
                                 ui->btnShowEventBinary->isChecked() ? kBinaryColumnWidth : 0);
}

void TForm1::InfoGridDblClick(const QModelIndex& index) {
    if (!events_ || !index.isValid())
        return;
    const int row = index.row();
    if (row < 0 || row >= events_->count())
        return;
    const double old = events_->at(row).time;
    dateTimeSelect_->setDateTime(old);
    if (env_.dialogs->exec(*dateTimeSelect_) != QDialog::Accepted)
        return;
    const double shift = old - dateTimeSelect_->dateTime();
    if (shift == 0.0)
        return;
    int first = row, last = row;
    if (segmentRule_)
        segmentRule_->findTimeSegment(*events_, row, first, last);
    for (int i = first; i <= last; ++i) {
        EventInfo& e = events_->at(i);
        e.time -= shift;
        e.timeState = EventInfo::EditedByHand;
        e.noteText = eventtext::kEditedByHand;
    }
    fillTable();
}

void TForm1::MenuInfoClick() {
    statusForm_->FormShow(driverTexts_[0], driverTexts_[1], driverTexts_[2]);
    env_.dialogs->exec(*statusForm_);
}

void TForm1::MenuAboutClick() {
    env_.dialogs->exec(*about_);
}

void TForm1::N5Click() {
    env_.dialogs->exec(*form4_);
}

void TForm1::MenuExitClick() {
    close();
}

void TForm1::MenuExportExcelClick() {
    try {
        ExcelExport::run(*env_.automation, panel1_->text(), events_.get());
    } catch (const AutomationError& e) {
        // the application's general error report
        message(this, e.description(), QGuiApplication::applicationDisplayName(),
                UserDialogs::Buttons::Ok, UserDialogs::Icon::Error);
    }
}

void TForm1::setPrompt(const QString& text) {
    ui->Label1->setText(text);
    ui->Label1->adjustSize();
    FormResize();
}

void TForm1::layoutClientArea() {
    const QSize client = ui->ClientArea->size();
    ui->ToolBar1->setGeometry(0, 0, client.width(), kToolBarHeight);
    ui->InfoGrid->setGeometry(0, kToolBarHeight, client.width(),
                              std::max(0, client.height() - kToolBarHeight));
}

void TForm1::FormResize() {
    layoutClientArea();
    QLabel* label = ui->Label1;
    label->adjustSize();
    const QSize client = ui->ClientArea->size();
    label->move(client.width() / 2 - label->width() / 2, client.height() / 2 - label->height() / 2);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::closeEvent(QCloseEvent* event) {
    readers_.release();
    event->accept();
}

void TForm1::MenuSaveClick() {
    if (!events_ || events_->empty())
        return;
    const QString name = env_.dialogs->chooseFile(FileSaveDialog);
    if (name.isEmpty())
        return;
    // The old file is replaced only by a complete new one.
    const AtomicFile::Status status = [&] {
        BusyCursor busy;
        return AtomicFile::save(QFile::encodeName(name).toStdString(), [&](ByteSink& sink) {
            return LogFileWriter::write(sink, *events_);
        });
    }();
    if (status == AtomicFile::Status::CannotCreate)
        fileError(QString::fromUtf8(filemessages::kOpenForSavingFailed));
    else if (status == AtomicFile::Status::WriteFailed)
        fileError(QString::fromUtf8(filemessages::kSaveFailed));
}

void TForm1::MenuOpenClick() {
    const QString name = env_.dialogs->chooseFile(FileOpenDialog);
    if (name.isEmpty())
        return;
    openLogFile(name);
}

void TForm1::openLogFile(const QString& name) {
    InputFile file;
    const InputFile::Status status =
        file.open(QFile::encodeName(name).toStdString(), LogFileReader::kMaxFileSize);
    if (status == InputFile::Status::TooLarge) {
        fileError(QString::fromStdString(
            filemessages::tooLarge(file.size(), LogFileReader::kMaxFileSize)));
        return;
    }
    if (status != InputFile::Status::Opened) {
        fileError(QString::fromUtf8(filemessages::kOpenForReadingFailed));
        return;
    }
    auto events = std::make_unique<EventCollection>();
    const LogFileReader::End end = [&] {
        BusyCursor busy;
        return LogFileReader::read(file, *events);
    }();
    // The whole blocks before a cut are shown all the same.
    if (LogFileReader::isReadError(end))
        fileError(QString::fromUtf8(filemessages::kReadFailed));
    BusyCursor busy;
    std::shared_ptr<const TabletDataParserBase> rule =
        makeParser(segmentRuleVariant(*events), env_.clock);
    installEvents(std::move(events), std::move(rule));
    showData(true);
}

void TForm1::B1Click() {
    // one for this import; a typed name need not exist
    const QString name =
        env_.dialogs->chooseFile({this, QStringLiteral("ImportFileDialog"), false, false, false});
    if (name.isEmpty())
        return;
    MainFrame frame(*this, *env_.dialogs, env_.clock);
    frame.importBin(name);
}

void TForm1::fileError(const QString& text) {
    message(this, text, kFileErrorCaption, UserDialogs::Buttons::Ok, UserDialogs::Icon::Error);
}
