#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <memory>

// One object of an automation server, reached late-bound: properties and
// methods by name, arguments and results as variants. This is what a COM
// binding would implement over IDispatch (property get, property put, method
// call) and IUnknown::Release; every member either succeeds or throws
// AutomationError.
//
// An object in a result travels inside the QVariant as an AutomationObjectPtr;
// each such result is one reference, which its receiver releases exactly once.
class AutomationObject {
public:
    virtual ~AutomationObject() = default;

    virtual QVariant get(const QString& name, const QVariantList& args) = 0;
    virtual void put(const QString& name, const QVariantList& args, const QVariant& value) = 0;
    virtual QVariant call(const QString& name, const QVariantList& args) = 0;
    // The client lets go of this reference. A server may finish its work here.
    virtual void release() = 0;
};

using AutomationObjectPtr = std::shared_ptr<AutomationObject>;
// Two plain pointers that may be moved in memory: a variant then keeps one in
// place rather than on the heap, once for every cell an export writes.
Q_DECLARE_TYPEINFO(AutomationObjectPtr, Q_RELOCATABLE_TYPE);
Q_DECLARE_METATYPE(AutomationObjectPtr)

namespace automation {

inline QVariant objectVariant(AutomationObjectPtr object) {
    return QVariant::fromValue(std::move(object));
}

// The object a result holds; null for a plain value.
inline AutomationObjectPtr objectIn(const QVariant& value) {
    return value.metaType() == QMetaType::fromType<AutomationObjectPtr>()
               ? value.value<AutomationObjectPtr>()
               : nullptr;
}

} // namespace automation
