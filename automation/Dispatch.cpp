#include "Dispatch.h"

#include "AutomationError.h"

Dispatch::~Dispatch() {
    if (!object_)
        return;
    try {
        release();
    } catch (const AutomationError&) {
    }
}

Dispatch& Dispatch::operator=(Dispatch&& other) noexcept {
    if (this != &other) {
        Dispatch old(std::move(*this));
        object_ = std::move(other.object_);
    }
    return *this;
}

AutomationObject& Dispatch::object() const {
    if (!object_)
        throw AutomationError(QStringLiteral("Обращение к освобождённому объекту автоматизации"));
    return *object_;
}

Dispatch Dispatch::get(const QString& name, const QVariantList& args) const {
    const QVariant result = object().get(name, args);
    AutomationObjectPtr found = automation::objectIn(result);
    if (!found)
        throw AutomationError(QStringLiteral("Свойство «%1» не является объектом").arg(name));
    return Dispatch(std::move(found));
}

QVariant Dispatch::value(const QString& name, const QVariantList& args) const {
    QVariant result = object().get(name, args);
    if (AutomationObjectPtr found = automation::objectIn(result)) {
        Dispatch(std::move(found)).release();
        throw AutomationError(QStringLiteral("Свойство «%1» является объектом").arg(name));
    }
    return result;
}

void Dispatch::put(const QString& name, const QVariantList& args, const QVariant& value) const {
    object().put(name, args, value);
}

QVariant Dispatch::call(const QString& name, const QVariantList& args) const {
    QVariant result = object().call(name, args);
    if (AutomationObjectPtr found = automation::objectIn(result)) {
        Dispatch(std::move(found)).release();
        return {};
    }
    return result;
}

void Dispatch::release() {
    // The handle is empty afterwards, whatever the server says.
    const AutomationObjectPtr object = std::move(object_);
    object_.reset();
    if (object)
        object->release();
}
