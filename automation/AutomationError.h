#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// A late-bound call that did not succeed: the object could not be created, a
// name is unknown, an argument was rejected, the server failed at its work.
// Carries the description the user is shown.
class AutomationError : public std::exception {
public:
    explicit AutomationError(QString description)
        : description_(std::move(description)), utf8_(description_.toUtf8()) {}

    const QString& description() const { return description_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString description_;
    QByteArray utf8_;
};
