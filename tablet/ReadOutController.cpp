#include "ReadOutController.h"

#include <mutex>

struct ReadOutController::Link {
    std::mutex mutex;
    ReadOutController* controller = nullptr;
};

ReadOutController::ReadOutController(QString libraryPath, datetime::Clock clock, QObject* parent)
    : QObject(parent), libraryPath_(std::move(libraryPath)), clock_(std::move(clock)),
      link_(std::make_shared<Link>()) {
    qRegisterMetaType<TabletReadout>();
    qRegisterMetaType<ReadOutReport>();
    link_->controller = this;
    connect(this, &ReadOutController::readoutPosted, this, &ReadOutController::take,
            Qt::QueuedConnection);
}

ReadOutController::~ReadOutController() {
    {
        const std::lock_guard lock(link_->mutex);
        link_->controller = nullptr;
    }
    readers_.release();
}

std::unique_ptr<TabletDataLoader> ReadOutController::makeReader() {
    // The notifier runs on the reader's thread as its last act: it posts a copy
    // of the reader's result, a value, to this controller's thread.
    auto self = std::make_shared<TabletDataLoader*>(nullptr);
    auto notifier = std::make_shared<ThreadExecutionInfo>([link = link_, self] {
        const TabletReadout readout = (*self)->readout();
        const std::lock_guard lock(link->mutex);
        if (link->controller)
            emit link->controller->readoutPosted(readout);
    });
    auto reader = std::make_unique<TabletDataLoader>(notifier, libraryPath_, ++readerCount_);
    *self = reader.get();
    return reader;
}

BindingStatus ReadOutController::prepare() {
    readers_.replace(makeReader());
    return reader()->openSession();
}

BindingStatus ReadOutController::start() {
    TabletDataLoader* current = reader();
    if (current && current->suspended() && !current->terminationRequested()) {
        readers_.start(QThread::LowestPriority);
        return BindingStatus::Ok;
    }
    // A reader still searching keeps the port: two never search it at once.
    if (current && current->isRunning() && !current->terminationRequested())
        return BindingStatus::Ok;
    readers_.replace(makeReader());
    const BindingStatus status = reader()->openSession();
    if (status != BindingStatus::Ok) {
        readers_.stop();
        return status;
    }
    readers_.start(QThread::NormalPriority);
    return BindingStatus::Ok;
}

void ReadOutController::stop() {
    readers_.stop();
}

bool ReadOutController::stopAndWait() {
    const TabletDataLoader* current = reader();
    const bool stopping = current && !current->terminationRequested() &&
                          (current->isRunning() || readers_.startPending());
    if (stopping)
        stop();
    readers_.waitForStopped(); // a stopped reader ends within one search, or one copy, of the bus
    return stopping;
}

void ReadOutController::release() {
    readers_.release();
}

void ReadOutController::take(const TabletReadout& readout) {
    // A reader that was stopped, or replaced, no longer speaks for the read-out.
    if (!reader() || readout.reader != reader()->id() || reader()->terminationRequested())
        return;
    ReadOutReport report;
    report.reading = readout.reading;
    if (readout.status == BindingStatus::AdapterFailure)
        report.kind = ReadOutReport::Kind::AdapterFailure;
    else
        report = judge(readout.reading);
    emit finished(report);
}

ReadOutReport ReadOutController::judge(const TabletReading& reading) {
    ReadOutReport report;
    report.reading = reading;
    report.judgement = ReadOutJudgement::judge(reading);
    return report;
}

std::optional<EventLog> ReadOutController::decode(const ReadOutReport& report) const {
    return decode(report, clock_);
}

std::optional<EventLog> ReadOutController::decode(const ReadOutReport& report,
                                                  const datetime::Clock& clock) {
    if (!report.decodes())
        return std::nullopt;
    std::shared_ptr<const TabletDataParserBase> decoder =
        makeParser(*report.judgement.variant, clock);
    auto events =
        decoder->decodeImage(report.reading.image.bytes(), TabletImage::kHeadersAndEvents);
    EventLog log(std::move(*events), std::move(decoder), EventLog::Origin::ReadOut);
    const ReadOutOutcome& judged = report.judgement;
    const TabletImage& image = report.reading.image;
    EventLog::Source source;
    source.variant = judged.variant;
    source.deviceNumber = image.deviceNumber();
    // only a checked tablet's serial and date are shown anywhere
    if (judged.tabletLines) {
        source.serial = image.serialNumber();
        source.tabletDate = std::array{judged.year, judged.month, judged.day};
    }
    source.readOutTime = clock();
    log.setSource(std::move(source));
    return log;
}
