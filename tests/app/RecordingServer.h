#pragma once

#include "AutomationError.h"
#include "AutomationRegistry.h"

#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <utility>

// A stand-in for the spreadsheet application that writes down every call it
// receives, one line each, with its arguments and their types. Objects are
// numbered from #1 (the application) afresh for each created application; every
// property get answers with a new object.
class RecordingServer {
public:
    QStringList lines;
    // The call on this line (counted from 0 over all lines) fails with `failure`.
    std::optional<int> failAt;
    QString failure = QStringLiteral("Сервер отклонил вызов");
    // The last value put into each cell taken as "Cells" with a row and a column.
    std::map<std::pair<int, int>, QVariant> cellValues;

    void registerIn(AutomationRegistry& registry, const QString& name) {
        registry.add(name, [this, name] {
            auto counter = std::make_shared<int>(1);
            record(QStringLiteral("create %1 -> #1").arg(name));
            return std::make_shared<Object>(*this, counter, 1, std::nullopt);
        });
    }

    static QString text(const QVariant& v) {
        switch (v.metaType().id()) {
        case QMetaType::Bool:
            return v.toBool() ? QStringLiteral("bool true") : QStringLiteral("bool false");
        case QMetaType::Int:
            return QStringLiteral("int ") + QString::number(v.toInt());
        case QMetaType::Double:
            return QStringLiteral("double ") +
                   QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
        case QMetaType::QString: {
            QString s = v.toString();
            s.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
                .replace(QLatin1Char('"'), QLatin1String("\\\""))
                .replace(QLatin1Char('\n'), QLatin1String("\\n"))
                .replace(QLatin1Char('\r'), QLatin1String("\\r"));
            return QStringLiteral("text \"%1\"").arg(s);
        }
        default:
            return QStringLiteral("%1 %2").arg(QString::fromLatin1(v.typeName()), v.toString());
        }
    }
    static QString text(const QVariantList& args) {
        QStringList t;
        for (const QVariant& a : args)
            t << text(a);
        return QLatin1Char('(') + t.join(QLatin1String(", ")) + QLatin1Char(')');
    }

private:
    void record(const QString& line) {
        lines << line;
        if (failAt && *failAt == lines.size() - 1)
            throw AutomationError(failure);
    }

    struct Object : AutomationObject {
        Object(RecordingServer& server, std::shared_ptr<int> counter, int id,
               std::optional<std::pair<int, int>> cell)
            : server(server), counter(std::move(counter)), id(id), cell(cell) {}

        QString self() const { return QStringLiteral("#%1.").arg(id); }

        QVariant get(const QString& name, const QVariantList& args) override {
            const int made = ++*counter;
            server.record(self() +
                          QStringLiteral("get %1%2 -> #%3").arg(name, text(args)).arg(made));
            std::optional<std::pair<int, int>> at;
            if (name == QLatin1String("Cells") && args.size() == 2)
                at = std::pair{args[0].toInt(), args[1].toInt()};
            return automation::objectVariant(std::make_shared<Object>(server, counter, made, at));
        }
        void put(const QString& name, const QVariantList& args, const QVariant& value) override {
            server.record(self() +
                          QStringLiteral("put %1%2 = %3").arg(name, text(args), text(value)));
            if (cell && name == QLatin1String("Value"))
                server.cellValues[*cell] = value;
        }
        QVariant call(const QString& name, const QVariantList& args) override {
            server.record(self() + QStringLiteral("call %1%2").arg(name, text(args)));
            return {};
        }
        void release() override { server.record(self() + QStringLiteral("release")); }

        RecordingServer& server;
        std::shared_ptr<int> counter;
        int id;
        std::optional<std::pair<int, int>> cell;
    };
};
