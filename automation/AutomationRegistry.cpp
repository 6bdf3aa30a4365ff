#include "AutomationRegistry.h"

#include "AutomationError.h"
#include "SpreadsheetServer.h"

void AutomationRegistry::add(const QString& name, Factory factory) {
    factories_[name.toCaseFolded()] = std::move(factory);
}

Dispatch AutomationRegistry::create(const QString& name) const {
    const auto it = factories_.find(name.toCaseFolded());
    if (it == factories_.end())
        throw AutomationError(
            QStringLiteral("Сервер автоматизации «%1» не зарегистрирован: недопустимая строка с "
                           "указанием класса")
                .arg(name));
    AutomationObjectPtr object = it->second();
    if (!object)
        throw AutomationError(
            QStringLiteral("Сервер автоматизации «%1» не создал объект").arg(name));
    return Dispatch(std::move(object));
}

std::shared_ptr<AutomationRegistry> AutomationRegistry::desktop() {
    auto registry = std::make_shared<AutomationRegistry>();
    SpreadsheetServer::registerIn(*registry, SpreadsheetServer::Settings{});
    return registry;
}
