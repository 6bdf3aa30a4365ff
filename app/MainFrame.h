#pragma once

#include "DateTime.h"

#include <QString>

class TForm1;
class UserDialogs;

// The hand-off of an import: from a chosen bin file to the list on display.
class MainFrame {
public:
    MainFrame(TForm1& form, UserDialogs& dialogs, datetime::Clock clock);

    // Loads the file into a fresh import dialog and shows it; on OK its list
    // replaces the one on display, with the chosen variant's segment rule.
    void importBin(const QString& fileName);

private:
    TForm1& form_;
    UserDialogs& dialogs_;
    datetime::Clock clock_;
};
