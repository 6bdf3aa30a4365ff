#pragma once

#include "TabletDataLoader.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

// The main window's readers: the current one, which alone may search the
// port, and stopped ones whose threads have not ended yet. A reader started
// while a stopped one still runs starts when that one has ended; nothing here
// waits on the caller's thread except the close.
class ReaderSlot : public QObject {
    Q_OBJECT
public:
    // The close's first wait, and how long it waits in all for a reader stuck
    // in the driver.
    static constexpr int kFirstWaitMs = 300;
    static constexpr int kGiveUpMs = 3000;

    ReaderSlot();
    ~ReaderSlot() override;

    TabletDataLoader* current() const { return current_.get(); }
    // The new current reader; the old one goes at once or, while its thread
    // runs, once it has ended.
    void replace(std::unique_ptr<TabletDataLoader> reader);
    // Starts the current reader now, or once no stopped reader runs any more.
    void start(QThread::Priority priority);
    void stop();
    bool startPending() const { return pendingStart_.has_value(); }
    // Waits on the caller's thread until every stopped reader has ended.
    void waitForStopped();
    // Termination for every reader, the first wait, then one up to the
    // give-up time in all. A reader still inside the driver then stays behind,
    // untouched, as its thread may still be in it.
    void release();

    // Readers left behind that still run.
    static int leftRunning();

private:
    void ended();

    std::unique_ptr<TabletDataLoader> current_;
    std::vector<std::unique_ptr<TabletDataLoader>> ending_;
    std::optional<QThread::Priority> pendingStart_;
    // Looks for ended readers while there are any. (A queued connection to
    // QThread::finished would leave Qt's bookkeeping of that emission to be
    // freed by the reader's destructor, out of ThreadSanitizer's sight.)
    QTimer endingPoll_;
};
