#pragma once

#include "BindingStatus.h"
#include "DateTime.h"
#include "EventLog.h"
#include "ReadOutReport.h"
#include "ReaderSlot.h"
#include "TabletReadout.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

// The read-out below the window: the readers, Start, Stop and the wait for a
// writer, the hand-off of a reader's result, the rule that a stopped or
// replaced reader's result is not heard, the judgement and the decoding. One
// report per read-out heard; the window shows it and asks its questions.
class ReadOutController : public QObject {
    Q_OBJECT
public:
    ReadOutController(QString libraryPath, datetime::Clock clock, QObject* parent = nullptr);
    // A reader finishing from now on reports nowhere; the readers are released.
    ~ReadOutController() override;

    // The start-up reader, its session opened, not yet started.
    BindingStatus prepare();
    // Start: the start-up reader starts; a reader still searching keeps the
    // port; otherwise a new reader opens the driver and starts. The failure of
    // that opening (the reader then never runs, and the next Start tries again).
    BindingStatus start();
    void stop();
    // Stops a read-out waiting for a tablet, as stop() does, and waits until
    // its reader has let go of the bus (before a writer takes it). True when
    // it had such a read-out to stop.
    bool stopAndWait();
    // The close: every reader is asked to end and waited for a bounded time.
    void release();

    TabletDataLoader* reader() const { return readers_.current(); }
    // The events of a report that decodes, by the decoder its judgement names.
    std::optional<EventLog> decode(const ReadOutReport& report) const;
    // ... with `clock` as the computer's clock (a kept read-out's own time).
    static std::optional<EventLog> decode(const ReadOutReport& report,
                                          const datetime::Clock& clock);
    // The report of a reading that needs no reader: an image kept in a file.
    static ReadOutReport judge(const TabletReading& reading);

signals:
    // A read-out heard, judged: on the controller's thread.
    void finished(const ReadOutReport& report);
    // From a reader's thread, queued to the controller's: a reader's result.
    void readoutPosted(const TabletReadout& readout);

private:
    struct Link;
    std::unique_ptr<TabletDataLoader> makeReader();
    void take(const TabletReadout& readout);

    QString libraryPath_;
    datetime::Clock clock_;
    // Shared with the readers' notifiers, which post through it while it names
    // this controller.
    std::shared_ptr<Link> link_;
    ReaderSlot readers_;
    quint64 readerCount_ = 0;
};
