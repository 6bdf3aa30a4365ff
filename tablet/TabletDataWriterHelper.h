#pragma once

#include "TabletDataLoaderHelper.h"

#include <QThread>

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>

// The writer of the read command: finds the tablet on the adapter, writes the
// record for its serial number through the scratchpad, checks the read-back,
// copies it into memory at address 0 and reads it back from there. It runs
// once and calls its finish function as its last act, whatever happened.
class TabletDataWriterHelper final : public QThread {
    Q_OBJECT
public:
    using FinishFunction = std::function<void()>;

    static constexpr uint16_t kTargetAddress = 0x0000;

    TabletDataWriterHelper(bool createSuspended, FinishFunction finishFunction, uint16_t version,
                           QString libraryPath = TabletDataLoaderHelper::defaultLibraryPath());
    ~TabletDataWriterHelper() override; // waits for the thread

    void resume() { start(); }

    // Read on the writer's thread (from the finish function), or after wait().
    bool Succeeded() const;
    // Ok when the record was written and verified; otherwise LibraryFailure,
    // DriverFailure, SetupFailure or WriteFailed.
    BindingStatus status() const;
    uint16_t version() const { return version_; }

protected:
    void run() override;

private:
    void Execute();
    // Throws the failure; returns with the record written and verified.
    void writeRecord(int32_t session);

    TabletDataLoaderHelper driver_;
    uint16_t version_;
    FinishFunction finishFunction_;
    BindingStatus status_ = BindingStatus::WriteFailed;
    std::array<uint8_t, tmex::kStateBufferSize> stateBuffer_{};
    // Taken by the thread as the last thing it does and by the readers of the
    // outcome: the hand-over after wait() is plain to ThreadSanitizer too.
    mutable std::mutex handOver_;
};
