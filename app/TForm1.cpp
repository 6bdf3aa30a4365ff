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
#include "TabletClock.h"
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
// A message box without a caption of its own gets the system's default one.
const QString kSystemDefaultCaption = QStringLiteral("Error");
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

// The family codes the read-out knows, with their version lines.
struct FamilyRow {
    uint8_t family;
    const char* versionLine;
};
constexpr FamilyRow kFamilies[] = {
    {4, "Версия DS1994"},
    {6, "Версия DS1993"},
    {7, "Версия DS1992"},
};
constexpr uint8_t kResultCheckFailed = 254;
constexpr uint8_t kResultUnknownFamily = 255;

// Two-digit years 0 to 69 are this century's, 70 to 99 the last one's.
int widenYear(int twoDigits) {
    return twoDigits < 70 ? 2000 + twoDigits : 1900 + twoDigits;
}

} // namespace

TForm1::TForm1(AppEnvironment environment, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::TForm1), env_(std::move(environment)) {
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
    // the reader goes first: its completion posts to this window
    reader_.reset();
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
    // The notifier runs on the reader's thread as its last act: it copies the
    // reader's result there and posts it to this window's thread as a value.
    auto self = std::make_shared<TabletDataLoader*>(nullptr);
    auto notifier = std::make_shared<ThreadExecutionInfo>([this, self] {
        const TabletReadout readout = (*self)->readout();
        QMetaObject::invokeMethod(
            this, [this, readout] { completeReadOut(readout); }, Qt::QueuedConnection);
    });
    auto reader = std::make_unique<TabletDataLoader>(notifier, env_.libraryPath, ++readerCount_);
    *self = reader.get();
    return reader;
}

void TForm1::FormCreate() {
    closeAtStart_ = false;
    reader_ = makeReader();
    const auto result = reader_->openSession();
    switch (result) {
    case TabletDataLoaderHelper::OpenResult::LibraryFailure:
        message(nullptr, kLibraryFailure, kLibraryFailureCaption);
        closeAtStart_ = true;
        return;
    case TabletDataLoaderHelper::OpenResult::DriverFailure:
        message(this, kDriverFailure, kDriverFailureCaption);
        closeAtStart_ = true;
        return;
    default:
        break;
    }
    driverTexts_[2] = reader_->session().versionText;
    if (result == TabletDataLoaderHelper::OpenResult::SetupFailure) {
        message(this, kSetupFailure, kSystemDefaultCaption);
        closeAtStart_ = true;
    }
    setupHeader();
    FormResize();
}

bool TForm1::openReader(TabletDataLoader& reader) {
    switch (reader.openSession()) {
    case TabletDataLoaderHelper::OpenResult::Opened:
        return true;
    case TabletDataLoaderHelper::OpenResult::LibraryFailure:
        message(nullptr, kLibraryFailure, kLibraryFailureCaption);
        break;
    case TabletDataLoaderHelper::OpenResult::DriverFailure:
        message(this, kDriverFailure, kDriverFailureCaption);
        break;
    case TabletDataLoaderHelper::OpenResult::SetupFailure:
        message(this, kSetupFailure, kSystemDefaultCaption);
        break;
    }
    return false;
}

void TForm1::MenuStartClick() {
    setPrompt(kWaitingPrompt);
    ui->InfoGrid->hide();
    if (reader_ && reader_->suspended() && !reader_->terminationRequested()) {
        reader_->resume(QThread::LowestPriority);
        return;
    }
    // A reader still searching keeps the port: two never search it at once.
    if (reader_ && reader_->isRunning() && !reader_->terminationRequested())
        return;
    if (reader_)
        reader_->wait(); // a stopped reader ends within one search of the bus
    reader_ = makeReader();
    if (!openReader(*reader_)) {
        // This reader never runs: the next Start makes a new one and tries again.
        reader_->requestTermination();
        return;
    }
    reader_->resume(QThread::NormalPriority);
}

void TForm1::MenuStopClick() {
    setPrompt(kIdlePrompt);
    if (reader_)
        reader_->requestTermination();
}

void TForm1::stopWaitingReadOut() {
    if (!reader_ || !reader_->isRunning())
        return;
    if (!reader_->terminationRequested())
        MenuStopClick();
    reader_->wait(); // a stopped reader ends within one search, or one copy, of the bus
}

void TForm1::completeReadOut(const TabletReadout& readout) {
    // A reader that was stopped, or replaced, no longer speaks for the window.
    if (!reader_ || readout.reader != reader_->id() || reader_->terminationRequested())
        return;
    struct Done {
        TForm1* form;
        ~Done() { emit form->readOutHandled(); }
    } done{this};

    readOutResult_ = checkImage(readout);
    const uint8_t device = readout.image.deviceNumber();
    std::optional<Variant> variant;
    if (readOutResult_ != kResultCheckFailed) {
        if (device == 7)
            variant = Variant::Main;
        else if (device == 8)
            variant = Variant::Military;
        else if (readOutResult_ == 4)
            variant = Variant::Garage;
    }
    if (!variant) {
        clearTabletLines();
        message(nullptr, kUnknownTablet, QString());
        return;
    }
    std::shared_ptr<const TabletDataParserBase> decoder = makeParser(*variant, env_.clock);
    if (message(nullptr, kShowEventsQuestion, QString(), UserDialogs::Buttons::YesNo) !=
        UserDialogs::Answer::Yes)
        return;
    installEvents(decoder->decodeImage(readout.image.bytes(), TabletImage::kHeadersAndEvents),
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

uint8_t TForm1::checkImage(const TabletReadout& readout) {
    const uint8_t family = readout.familyCode();
    uint8_t result = kResultUnknownFamily;
    QString versionLine = QStringLiteral("Неизвестный номер версии");
    for (const FamilyRow& row : kFamilies) {
        if (row.family == family) {
            versionLine = QString::fromUtf8(row.versionLine);
            result = family;
        }
    }
    statusForm_->ui->VerEdit->setText(versionLine);
    if (family != 4)
        return result;

    TabletDataLoaderHelper& driver = reader_->GetDriver();
    const auto check = readout.image.validate(
        [&driver](uint8_t seed, uint8_t byte) { return driver.crc8Step(seed, byte); });
    if (check != TabletImage::Check::Passed) {
        message(this, QString::fromUtf8(imageCheckMessage(check)), kErrorDialogCaption,
                UserDialogs::Buttons::Ok, UserDialogs::Icon::Error);
        MenuStopClick();
        return kResultCheckFailed;
    }
    statusForm_->ui->SerialEdit->setText(QString::fromStdString(readout.image.serialNumberText()));
    statusForm_->ui->DeviceNameEdit->setText(
        QString::fromStdString(readout.image.deviceNumberText()));
    panel1_->setText(statusForm_->ui->DeviceNameEdit->text());
    fillTabletDate(readout);
    return 4;
}

void TForm1::fillTabletDate(const TabletReadout& readout) {
    std::array<uint8_t, 5> buffer{};
    TabletDataLoaderHelper& driver = reader_->GetDriver();
    if (driver.ReadClock(reader_->session().handle, buffer) != 1) {
        // No fresh clock: the bytes the read copied still date the tablet.
        for (size_t i = 0; i < buffer.size(); ++i)
            buffer[i] = readout.image[TabletImage::kClockFraction + i];
    }
    TabletClock clock;
    TabletDataLoaderHelper::ClockToDate(clock, buffer);
    const QDate date(widenYear(clock.year), clock.month, clock.day);
    const QString text = QStringLiteral("Текущие дата/время на таблетке: ") +
                         QLocale().toString(date, QLocale::ShortFormat);
    statusForm_->ui->CurTimeEdit->setText(text);
    panel2_->setText(text);
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
    if (reader_) {
        reader_->requestTermination();
        reader_->wait(kCloseWaitMs);
        reader_.reset(); // waits until the thread has ended
    }
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
