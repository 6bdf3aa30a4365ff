#include "ReaderSlot.h"

#include <QDeadlineTimer>

namespace {

// Never destroyed: their threads may still be inside them.
std::vector<std::unique_ptr<TabletDataLoader>>& leftBehind() {
    static auto* readers = new std::vector<std::unique_ptr<TabletDataLoader>>;
    return *readers;
}

} // namespace

ReaderSlot::ReaderSlot() {
    endingPoll_.setInterval(10);
    connect(&endingPoll_, &QTimer::timeout, this, &ReaderSlot::ended);
}

ReaderSlot::~ReaderSlot() {
    release();
}

int ReaderSlot::leftRunning() {
    int running = 0;
    for (const auto& reader : leftBehind())
        running += reader->isRunning() ? 1 : 0;
    return running;
}

void ReaderSlot::replace(std::unique_ptr<TabletDataLoader> reader) {
    pendingStart_.reset();
    std::unique_ptr<TabletDataLoader> old = std::move(current_);
    current_ = std::move(reader);
    if (!old || !old->isRunning())
        return; // ends at once: it never ran, or has ended
    old->requestTermination();
    ending_.push_back(std::move(old));
    endingPoll_.start();
}

void ReaderSlot::start(QThread::Priority priority) {
    if (!ending_.empty()) {
        // a stopped reader ends within one search of the bus; this one follows it
        if (!pendingStart_)
            pendingStart_ = priority;
        return;
    }
    pendingStart_.reset();
    current_->resume(priority);
}

void ReaderSlot::stop() {
    if (current_)
        current_->requestTermination();
}

void ReaderSlot::waitForStopped() {
    if (current_ && current_->terminationRequested())
        current_->wait();
    for (const auto& reader : ending_)
        reader->wait();
    ended();
}

void ReaderSlot::ended() {
    std::erase_if(ending_, [](const auto& reader) { return reader->isFinished(); });
    if (!ending_.empty())
        return;
    endingPoll_.stop();
    if (!pendingStart_)
        return;
    const QThread::Priority priority = *pendingStart_;
    pendingStart_.reset();
    if (current_ && current_->suspended() && !current_->terminationRequested())
        current_->resume(priority);
}

void ReaderSlot::release() {
    pendingStart_.reset();
    endingPoll_.stop();
    std::vector<std::unique_ptr<TabletDataLoader>> readers = std::move(ending_);
    ending_.clear();
    if (current_)
        readers.push_back(std::move(current_));
    for (const auto& reader : readers)
        reader->requestTermination();
    const QDeadlineTimer firstWait(kFirstWaitMs);
    for (const auto& reader : readers)
        reader->wait(firstWait);
    const QDeadlineTimer lastWait(kGiveUpMs - kFirstWaitMs);
    for (auto& reader : readers) {
        if (reader->wait(lastWait))
            reader.reset();
        else
            leftBehind().push_back(std::move(reader));
    }
}
