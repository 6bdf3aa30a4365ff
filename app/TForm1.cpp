#include "TForm1.h"

#include "ArchiveKeeper.h"
#include "AutomationError.h"
#include "BusyCursor.h"
#include "CorrectionHistory.h"
#include "CsvExport.h"
#include "DropHandler.h"
#include "EventGrid.h"
#include "EventTableModel.h"
#include "ExcelExport.h"
#include "FilterBar.h"
#include "JudgementView.h"
#include "LogFileIo.h"
#include "LogFileReader.h"
#include "MainFrame.h"
#include "ReportMenu.h"
#include "StatusTexts.h"
#include "TAbout.h"
#include "TDateTimeSelect.h"
#include "TForm4.h"
#include "TImportBin.h"
#include "TStatusForm.h"
#include "TabletDataLoader.h"
#include "TabletImageMenu.h"
#include "WindowParts.h"
#include "ui_TForm1.h"

#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>

namespace {

const QString kIdlePrompt = QStringLiteral("Для считывания данных выберите Файл->Считать данные");
const QString kWaitingPrompt = QStringLiteral("Поднесите электронный ключ DS1994 к адаптеру");

const QString kErrorDialogCaption = QStringLiteral("Ошибка");
const QString kFileErrorCaption = StatusTexts::fileErrorCaption();
const QString kShowEventsQuestion =
    QStringLiteral("Данные считаны. Отобразить информацию о событиях?");

constexpr int kToolBarHeight = 33;

} // namespace

TForm1::TForm1(AppEnvironment environment, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::TForm1), env_(std::move(environment)) {
    Q_INIT_RESOURCE(velmora); // the artwork lives in a static library
    ui->setupUi(this);
    if (env_.libraryPath.isEmpty())
        env_.libraryPath = TabletDataLoaderHelper::defaultLibraryPath();
    if (!env_.automation)
        env_.automation = AutomationRegistry::desktop();
    readOut_ = std::make_unique<ReadOutController>(env_.libraryPath, env_.clock);
    connect(readOut_.get(), &ReadOutController::finished, this, &TForm1::showReport);

    WindowParts::setIcons(*ui);
    panel1_ = WindowParts::addPanel(*ui->StatusBar, QStringLiteral("StatusPanel1"), 250, true);
    panel2_ = WindowParts::addPanel(*ui->StatusBar, QStringLiteral("StatusPanel2"), 60, false);
    archive_ = std::make_unique<ArchiveKeeper>(*ui->StatusBar, env_.archiveFolder, env_.clock);
    model_ = new EventTableModel(this);
    grid_ = std::make_unique<EventGrid>(*ui->InfoGrid, *model_);
    filterBar_ = new FilterBar(*this, *ui, *model_);
    reportMenu_ = new ReportMenu(*this, *env_.dialogs);
    new CsvExport(*this, *ui, *model_, *panel1_, *env_.dialogs); // between Excel and the report
    ui->InfoGrid->raise(); // the shown table covers the prompt
    history_ = new CorrectionHistory(*this, *ui->MainMenu1, ui->N2->menuAction(), *env_.dialogs,
                                     [this] { return MenuSaveClick(); });
    connect(history_, &CorrectionHistory::eventsChanged, this, [this] { grid_->fill(events()); });
    imageMenu_ = new TabletImageMenu(*this, *env_.dialogs, archive_->archive(), env_.clock);
    new DropHandler(*this, *imageMenu_);

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

TForm1::~TForm1() = default;

std::unique_ptr<TForm1> TForm1::startUp(UserDialogs& dialogs) {
    AppEnvironment environment;
    environment.dialogs = &dialogs;
    auto form = std::make_unique<TForm1>(environment);
    form->createDialogs();
    return form->closeAtStart() ? nullptr : std::move(form);
}

void TForm1::createDialogs() {
    statusForm_ = new TStatusForm(this);
    view_ = std::make_unique<JudgementView>(*this, *statusForm_, *panel1_, *panel2_, *env_.dialogs);
    dateTimeSelect_ = new TDateTimeSelect(this);
    about_ = new TAbout(this);
    form4_ = new TForm4(
        *env_.dialogs, env_.libraryPath,
        [this] {
            // stopped as "Прекратить считывание" stops it, prompt included
            if (readOut_->stopAndWait())
                setPrompt(kIdlePrompt);
        },
        this);
    importBin_ = new TImportBin(this);
}

UserDialogs::Answer TForm1::message(QWidget* owner, const QString& text, const QString& caption,
                                    UserDialogs::Buttons buttons, UserDialogs::Icon icon) {
    return env_.dialogs->show(
        {.owner = owner, .text = text, .caption = caption, .icon = icon, .buttons = buttons});
}

bool TForm1::reportOpenFailure(BindingStatus status) {
    const auto failure = StatusTexts::openFailure(status);
    if (failure)
        message(failure->ownedByWindow ? this : nullptr, failure->text, failure->caption);
    return !failure;
}

void TForm1::FormCreate() {
    const BindingStatus status = readOut_->prepare();
    const bool driverOpened =
        status != BindingStatus::LibraryFailure && status != BindingStatus::DriverFailure;
    if (driverOpened)
        versionText_ = reader()->session().versionText;
    closeAtStart_ = !reportOpenFailure(status);
    if (!driverOpened)
        return;
    grid_->setupHeader();
    FormResize();
}

void TForm1::MenuStartClick() {
    if (!history_->mayDrop())
        return;
    setPrompt(kWaitingPrompt);
    ui->InfoGrid->hide();
    reportOpenFailure(readOut_->start());
}

void TForm1::MenuStopClick() {
    setPrompt(kIdlePrompt);
    readOut_->stop();
}

void TForm1::showReport(const ReadOutReport& report) {
    struct Done {
        TForm1* form;
        ~Done() { emit form->readOutHandled(); }
    } done{this};

    if (report.kind == ReadOutReport::Kind::AdapterFailure) {
        message(this, StatusTexts::readFailure(), kErrorDialogCaption, UserDialogs::Buttons::Ok,
                UserDialogs::Icon::Error);
        MenuStopClick();
        return;
    }
    readOutResult_ = report.judgement.result;
    view_->show(report.judgement, [this] { MenuStopClick(); });
    archive_->keep(report);
    if (!report.decodes() || message(nullptr, kShowEventsQuestion, QString(),
                                     UserDialogs::Buttons::YesNo) != UserDialogs::Answer::Yes)
        return;
    if (auto log = readOut_->decode(report))
        installLog(std::move(*log));
    showData(true);
}

void TForm1::installLog(EventLog log) {
    model_->setEvents(nullptr);
    log_ = std::make_unique<EventLog>(std::move(log));
    history_->clear();
    grid_->fill(events());
}

void TForm1::showData(bool show) {
    ui->MenuSave->setEnabled(show);
    ui->MenuExportExcel->setEnabled(show);
    ui->SpeedButSave->setEnabled(show);
    ui->SpeedButExport->setEnabled(show);
    ui->InfoGrid->setVisible(show);
}

void TForm1::btnShowEventBinaryClick() {
    grid_->showBinary(ui->btnShowEventBinary->isChecked());
}

void TForm1::InfoGridDblClick(const QModelIndex& index) {
    const int row = model_->listRow(index); // the event in the list, however it is shown
    if (!log_ || !log_->segmentOf(row))
        return;
    dateTimeSelect_->setDateTime(log_->events().at(row).time);
    if (env_.dialogs->exec(*dateTimeSelect_) != QDialog::Accepted)
        return;
    if (history_->correct(*log_, row, dateTimeSelect_->dateTime()))
        grid_->fill(events());
}

void TForm1::MenuInfoClick() {
    // the main window's first two driver texts are never set
    statusForm_->FormShow(QString(), QString(), versionText_);
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
        ExcelExport::run(*env_.automation, panel1_->text(), events());
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

void TForm1::FormResize() {
    const QSize client = ui->ClientArea->size();
    ui->ToolBar1->setGeometry(0, 0, client.width(), kToolBarHeight);
    filterBar_->place(QRect(0, kToolBarHeight, client.width(), client.height() - kToolBarHeight));
    QLabel* label = ui->Label1;
    label->adjustSize();
    label->move(client.width() / 2 - label->width() / 2, client.height() / 2 - label->height() / 2);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!history_->mayDrop())
        return event->ignore();
    readOut_->release();
    event->accept();
}

bool TForm1::MenuSaveClick() {
    if (!log_ || log_->events().empty())
        return false;
    const QString name = env_.dialogs->chooseFile(FileSaveDialog);
    if (name.isEmpty())
        return false;
    const FileStatus status = [&] {
        BusyCursor busy;
        return LogFileIo::saveLogFile(QFile::encodeName(name).toStdString(), *log_);
    }();
    if (status != FileStatus::Ok)
        fileError(StatusTexts::file(status, false, 0, 0));
    else
        history_->markSaved();
    return status == FileStatus::Ok;
}

void TForm1::MenuOpenClick() {
    if (!history_->mayDrop())
        return;
    const QString name = env_.dialogs->chooseFile(FileOpenDialog);
    if (!name.isEmpty())
        openLogFile(name);
}

void TForm1::openLogFile(const QString& name) {
    LogFileIo::Opened opened = [&] {
        BusyCursor busy;
        return LogFileIo::openLogFile(QFile::encodeName(name).toStdString(), env_.clock);
    }();
    // The whole blocks before a cut are shown all the same.
    if (opened.status != FileStatus::Ok)
        fileError(
            StatusTexts::file(opened.status, false, opened.fileSize, LogFileReader::kMaxFileSize));
    if (!opened.log)
        return;
    // the panels describe a tablet, not a file
    panel1_->clear();
    panel2_->clear();
    showLog(std::move(*opened.log));
}

void TForm1::B1Click() {
    if (!history_->mayDrop())
        return;
    // one for this import; a typed name need not exist
    const QString name =
        env_.dialogs->chooseFile({this, QStringLiteral("ImportFileDialog"), false, false, false});
    if (!name.isEmpty())
        importBinFile(name);
}

void TForm1::importBinFile(const QString& name) {
    MainFrame frame(this, *env_.dialogs, env_.clock);
    if (std::optional<EventLog> log = frame.importBin(name))
        showLog(std::move(*log));
}

void TForm1::showLog(EventLog log) {
    BusyCursor busy;
    installLog(std::move(log));
    showData(true);
}

void TForm1::fileError(const QString& text) {
    message(this, text, kFileErrorCaption, UserDialogs::Buttons::Ok, UserDialogs::Icon::Error);
}
