#include "TabletDataLoader.h"

#include <QElapsedTimer>

TabletDataLoader::TabletDataLoader(std::shared_ptr<ThreadExecutionInfo> finish, QString libraryPath,
                                   quint64 id)
    : driver_(std::move(libraryPath)), finishInfo_(std::move(finish)) {
    readout_.reader = id;
}

TabletDataLoader::~TabletDataLoader() {
    requestTermination();
    wait();
    const std::lock_guard lock(handOver_);
    if (!started_)
        driver_.EndSession(session_);
}

BindingStatus TabletDataLoader::openSession() {
    return driver_.OpenSession(session_);
}

void TabletDataLoader::resume(QThread::Priority priority) {
    started_ = true;
    start(priority);
}

TabletReadout TabletDataLoader::readout() const {
    const std::lock_guard lock(handOver_);
    return readout_;
}

void TabletDataLoader::run() {
    struct HandOver {
        std::mutex& m;
        ~HandOver() { const std::lock_guard lock(m); }
    } handOver{handOver_};
    struct EndSession {
        TabletDataLoaderHelper& driver;
        TabletDataLoaderHelper::Session& session;
        ~EndSession() { driver.EndSession(session); }
    } endSession{driver_, session_};

    const int32_t session = session_.handle;
    uint8_t* state = stateBuffer_.data();
    // A search blocks in the driver for a bus search, so the loop does not spin;
    // an adapter error comes back at once (an unplugged adapter), and then the
    // loop pauses before it asks again. The termination request is looked at
    // before every call and during the pause.
    while (true) {
        if (terminate_.load())
            return;
        const int16_t found = driver_.TMNext(session, state);
        if (found >= 1)
            break;
        if (found < 0)
            for (int waited = 0; waited < kErrorPauseMs && !terminate_.load(); waited += 10)
                QThread::msleep(10);
    }
    TabletReading& reading = readout_.reading;
    std::array<int16_t, 8> rom{};
    const bool romRead = driver_.TMRom(session, state, rom.data()) >= 0;
    for (size_t i = 0; i < rom.size(); ++i)
        reading.rom[i] = static_cast<uint8_t>(rom[i]);
    QElapsedTimer taken;
    taken.start();
    // The device found is still selected: the memory read follows at once.
    BindingStatus status = romRead ? driver_.ReadMemory(session, 0x0000, reading.image.bytes())
                                   : BindingStatus::AdapterFailure;
    // Read the clock of the same device again: only a tablet that answers
    // after the last byte was there for all of them. The clock bytes the memory
    // read just gave are the first value to agree with, so a clock that has not
    // moved on to the next second needs one more read only.
    if (status == BindingStatus::Ok) {
        reading.clock = reading.image.clockBytes();
        status = driver_.ReadClock(session, reading.rom, reading.clock);
        reading.clockStable = status == BindingStatus::Ok;
    }
    readout_.status =
        status == BindingStatus::AdapterFailure ? BindingStatus::AdapterFailure : BindingStatus::Ok;
    reading.secondsTaken = static_cast<uint32_t>((taken.elapsed() + 999) / 1000);
    driver_.EndSession(session_);
    setPriority(QThread::LowestPriority);
    if (finishInfo_ && !terminate_.load())
        finishInfo_->Invoke();
}
