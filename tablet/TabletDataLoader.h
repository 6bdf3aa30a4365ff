#pragma once

#include "TabletDataLoaderHelper.h"
#include "TabletReadout.h"
#include "ThreadExecutionInfo.h"

#include <QThread>

#include <atomic>
#include <memory>
#include <mutex>

// The background reader: waits until a device answers the search, copies 544
// bytes of its memory from address 0, reads that device's clock again, ends
// its session and calls its notifier as its last act. It runs once;
// termination requested while searching ends it without a read.
class TabletDataLoader : public QThread {
    Q_OBJECT
public:
    // The pause after a search that the adapter answered with an error.
    static constexpr int kErrorPauseMs = 200;

    TabletDataLoader(std::shared_ptr<ThreadExecutionInfo> finish, QString libraryPath,
                     quint64 id = 0);
    // Waits for the thread; ends the session of a reader that never ran.
    ~TabletDataLoader() override;

    // The OpenSession sequence on this reader's driver, filling its session fields.
    BindingStatus openSession();
    const TabletDataLoaderHelper::Session& session() const { return session_; }

    // Never resumed: the reader created at start-up that has not run yet.
    bool suspended() const { return !started_; }
    void resume(QThread::Priority priority = QThread::NormalPriority);
    // The one signal into a running reader. Kept in a flag of its own: a request
    // made before the thread ever started must hold as well.
    void requestTermination() { terminate_.store(true); }
    bool terminationRequested() const { return terminate_.load(); }

    // Valid once the notifier has been called (on the reader's thread).
    TabletReadout readout() const;
    quint64 id() const { return readout_.reader; }

protected:
    void run() override; // Execute

private:
    TabletDataLoaderHelper driver_;
    std::shared_ptr<ThreadExecutionInfo> finishInfo_;
    TabletDataLoaderHelper::Session session_;
    TabletReadout readout_;
    // The search's own state buffer; the driver's is left to ReadClock.
    std::array<uint8_t, tmex::kStateBufferSize> stateBuffer_{};
    bool started_ = false;
    std::atomic<bool> terminate_{false};
    // Released by the thread as the last thing it does in run(), taken by
    // readout() and the destructor: the hand-over the thread makes is plain to
    // see, also for ThreadSanitizer, which cannot see into QThread::wait.
    mutable std::mutex handOver_;
};
