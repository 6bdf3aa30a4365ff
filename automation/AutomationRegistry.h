#pragma once

#include "Dispatch.h"

#include <QString>

#include <functional>
#include <map>
#include <memory>

// The automation servers by registered name: what CLSIDFromProgID and
// CoCreateInstance give on Windows. Names compare without regard to case.
class AutomationRegistry {
public:
    // Makes a new object; may throw AutomationError.
    using Factory = std::function<AutomationObjectPtr()>;

    void add(const QString& name, Factory factory);
    // A new object of the registered name, as the client's one reference.
    Dispatch create(const QString& name) const;

    // The servers the program brings with it, for the user's desktop.
    static std::shared_ptr<AutomationRegistry> desktop();

private:
    std::map<QString, Factory> factories_;
};
