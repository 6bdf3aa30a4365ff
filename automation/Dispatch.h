#pragma once

#include "AutomationObject.h"

// The client's side of one reference to an automation object: late-bound calls
// by name, and one release. A reference still held when the handle goes is
// released then; a failure of that release is dropped, as the handle only goes
// unreleased while another error is already on its way.
class Dispatch {
public:
    Dispatch() = default;
    explicit Dispatch(AutomationObjectPtr object) : object_(std::move(object)) {}
    ~Dispatch();
    Dispatch(Dispatch&& other) noexcept : object_(std::move(other.object_)) {}
    Dispatch& operator=(Dispatch&& other) noexcept;
    Dispatch(const Dispatch&) = delete;
    Dispatch& operator=(const Dispatch&) = delete;

    explicit operator bool() const { return object_ != nullptr; }

    // Property get whose result is an object.
    Dispatch get(const QString& name, const QVariantList& args = {}) const;
    // Property get whose result is a plain value.
    QVariant value(const QString& name, const QVariantList& args = {}) const;
    void put(const QString& name, const QVariant& value) const { put(name, {}, value); }
    void put(const QString& name, const QVariantList& args, const QVariant& value) const;
    // Method call. An object it returns is released at once; a value is returned.
    QVariant call(const QString& name, const QVariantList& args = {}) const;

    // Lets go of the reference; the server's failure at it is thrown.
    void release();

private:
    AutomationObject& object() const;

    AutomationObjectPtr object_;
};
