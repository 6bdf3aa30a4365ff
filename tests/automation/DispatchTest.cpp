// Late-bound calls from the client's side: references, releases, the registry.
#include "AutomationError.h"
#include "AutomationRegistry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// An object that logs what reaches it and answers get with `answer`.
struct LoggingObject : AutomationObject {
    LoggingObject(std::vector<std::string>& log, std::string id) : log(log), id(std::move(id)) {}

    QVariant get(const QString& name, const QVariantList&) override {
        log.push_back(id + " get " + name.toStdString());
        if (name == "Child")
            return automation::objectVariant(std::make_shared<LoggingObject>(log, id + ".child"));
        return 7;
    }
    void put(const QString& name, const QVariantList& args, const QVariant& value) override {
        log.push_back(id + " put " + name.toStdString() + " " + std::to_string(args.size()) + " " +
                      value.toString().toStdString());
    }
    QVariant call(const QString& name, const QVariantList&) override {
        log.push_back(id + " call " + name.toStdString());
        return automation::objectVariant(std::make_shared<LoggingObject>(log, id + ".result"));
    }
    void release() override {
        log.push_back(id + " release");
        if (failRelease)
            throw AutomationError("release failed");
    }

    std::vector<std::string>& log;
    std::string id;
    bool failRelease = false;
};

TEST(Dispatch, EveryReferenceIsReleasedExactlyOnce) {
    std::vector<std::string> log;
    {
        Dispatch root(std::make_shared<LoggingObject>(log, "root"));
        Dispatch child = root.get("Child");
        child.put("Value", {1}, "x");
        root.call("Add"); // the object it returns goes back at once
        EXPECT_EQ(root.value("Count"), QVariant(7));
        child.release();
        EXPECT_FALSE(child);
        EXPECT_THROW(child.put("Value", 1), AutomationError);
        Dispatch moved = std::move(root);
        EXPECT_FALSE(root);
    }
    EXPECT_EQ(log,
              (std::vector<std::string>{"root get Child", "root.child put Value 1 x",
                                        "root call Add", "root.result release", "root get Count",
                                        "root.child release", "root release"}));
}

TEST(Dispatch, ObjectsAndValuesWhereTheOtherWasExpected) {
    std::vector<std::string> log;
    Dispatch root(std::make_shared<LoggingObject>(log, "root"));
    try {
        root.get("Count");
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.description(), "Свойство «Count» не является объектом");
    }
    EXPECT_THROW(root.value("Child"), AutomationError);
    // the unexpected object was still given back
    EXPECT_EQ(log.back(), "root.child release");
}

TEST(Dispatch, ReleaseFailureReachesAnExplicitReleaseOnly) {
    std::vector<std::string> log;
    auto object = std::make_shared<LoggingObject>(log, "a");
    object->failRelease = true;
    {
        Dispatch d(object);
        EXPECT_THROW(d.release(), AutomationError);
        EXPECT_FALSE(d);
    }
    {
        Dispatch d(object); // dropped: the failure is swallowed
    }
    EXPECT_EQ(log, (std::vector<std::string>{"a release", "a release"}));
}

TEST(AutomationRegistry, CreatesByNameWithoutRegardToCaseAndNamesWhatIsMissing) {
    std::vector<std::string> log;
    AutomationRegistry registry;
    registry.add("Some.Server", [&log] { return std::make_shared<LoggingObject>(log, "s"); });
    registry.add("Null.Server", [] { return nullptr; });
    registry.add("Failing.Server",
                 []() -> AutomationObjectPtr { throw AutomationError("the server cannot start"); });
    Dispatch made = registry.create("some.SERVER");
    EXPECT_TRUE(made);
    struct Row {
        const char* name;
        QString description;
    } rows[] = {
        {"Excel.Application", "Сервер автоматизации «Excel.Application» не зарегистрирован: "
                              "недопустимая строка с указанием класса"},
        {"Null.Server", "Сервер автоматизации «Null.Server» не создал объект"},
        {"Failing.Server", "the server cannot start"},
    };
    for (const Row& row : rows) {
        try {
            registry.create(row.name);
            ADD_FAILURE() << row.name;
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.description(), row.description);
        }
    }
}

TEST(AutomationRegistry, DesktopRegistryServesTheSpreadsheet) {
    Dispatch app = AutomationRegistry::desktop()->create("Excel.Application");
    EXPECT_EQ(app.value("Visible"), QVariant(false));
    // released unseen and without a workbook: nothing is written or opened
}

} // namespace
