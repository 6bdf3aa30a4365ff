#pragma once

#include "DateTime.h"
#include "EventLog.h"

#include <QString>

#include <optional>

class QWidget;
class UserDialogs;

// The hand-off of an import: from a chosen bin file to the list it gives.
class MainFrame {
public:
    MainFrame(QWidget* owner, UserDialogs& dialogs, datetime::Clock clock);

    // Loads the file into a fresh import dialog and shows it; on OK the list
    // decoded by the chosen variant, with that variant's segment rule.
    std::optional<EventLog> importBin(const QString& fileName);

private:
    QWidget* owner_;
    UserDialogs& dialogs_;
    datetime::Clock clock_;
};
