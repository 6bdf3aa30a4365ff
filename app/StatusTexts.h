#pragma once

#include "BindingStatus.h"
#include "FileStatus.h"
#include "ReadoutArchive.h"

#include <QString>

#include <cstdint>
#include <optional>

// The user's texts for the statuses of the layers below the window, in one
// place: the driver binding's (as the main window and the write-command
// dialog say them) and the files'.
class StatusTexts {
public:
    struct Text {
        QString text;
        QString caption;
        bool ownedByWindow = true; // false: a message box of no window
    };

    // The main window's message when opening the driver failed; none for a
    // status that is no opening failure.
    static std::optional<Text> openFailure(BindingStatus status);
    // The read-out's error dialog when the adapter failed during the read.
    static QString readFailure();
    // The write-command dialog's text before "Данные не записаны."; empty for Ok.
    static QString writeFailure(BindingStatus status);

    // A file's status; `dump` for an import's bin file, else a log file. A
    // refused range names the dump's size in `fileSize`. Empty for Ok.
    static QString file(FileStatus status, bool dump, uint64_t fileSize, uint64_t limit);
    // A failed load, save or removal of a kept read-out. Empty for Done.
    static QString archive(ReadoutArchive::Status status);
    // The caption of the framework's standard error dialog, which shows file errors.
    static QString fileErrorCaption() { return QStringLiteral("Error"); }
};
