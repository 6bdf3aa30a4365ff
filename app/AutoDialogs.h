#pragma once

#include "UserDialogs.h"

#include <QDialog>

#include <cstdio>

// A seam for the unattended tools: every message is written to stderr and
// answered with Yes (or OK); forms are not shown; no file is picked.
class AutoDialogs : public UserDialogs {
public:
    Answer show(const Message& m) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
        return m.buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }
    int exec(QDialog&) override { return QDialog::Rejected; }
    QString chooseFile(const FileDialog&) override { return {}; }
};
