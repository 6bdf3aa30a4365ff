#include "TabletDataLoader.h"

TabletDataLoader::TabletDataLoader(std::shared_ptr<ThreadExecutionInfo> finish, QString libraryPath,
                                   quint64 id)
    : driver_(std::move(libraryPath)), finishInfo_(std::move(finish)) {
    readout_.reader = id;
}

TabletDataLoader::~TabletDataLoader() {
    requestTermination();
    wait();
    const std::lock_guard lock(handOver_);
}

TabletDataLoaderHelper::OpenResult TabletDataLoader::openSession() {
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
    readout_.lastResult = -1;
    const int32_t session = session_.handle;
    uint8_t* state = stateBuffer_.data();
    // The search blocks in the driver for a bus search each time, so the loop
    // does not spin; it looks at the termination request before every call.
    while (true) {
        if (terminate_.load())
            return;
        readout_.lastResult = driver_.TMNext(session, state);
        if (readout_.lastResult >= 1)
            break;
    }
    readout_.romCode[0] = 0;
    readout_.lastResult = driver_.TMRom(session, state, readout_.romCode.data());
    // The device found is still selected: the memory read follows at once.
    driver_.TMTouchByte(session, 0xF0);
    driver_.TMTouchByte(session, 0x00);
    driver_.TMTouchByte(session, 0x00);
    for (uint8_t& b : readout_.image.bytes())
        b = static_cast<uint8_t>(driver_.TMTouchByte(session, 0xFF));
    setPriority(QThread::LowestPriority);
    if (finishInfo_)
        finishInfo_->Invoke();
}
