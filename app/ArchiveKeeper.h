#pragma once

#include "DateTime.h"
#include "ReadOutReport.h"
#include "ReadoutArchive.h"

#include <QString>

class QLabel;
class QStatusBar;

// Puts every read-out the judgement accepted into the read-out archive, before
// the window asks whether to show it. A failure to keep one never stops the
// read-out: it only shows a warning in the status bar, until one is kept again.
class ArchiveKeeper {
public:
    // `folder` empty: the user's data folder.
    ArchiveKeeper(QStatusBar& bar, const QString& folder, datetime::Clock clock);

    // Keeps the reading of a report that decodes; false when it could not.
    bool keep(const ReadOutReport& report);
    QLabel* warning() const { return warning_; }
    const ReadoutArchive& archive() const { return archive_; }

    static QString cannotKeepWarning();

private:
    QLabel* warning_;
    ReadoutArchive archive_;
    datetime::Clock clock_;
};
