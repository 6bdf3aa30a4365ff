#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <sys/wait.h>
#include <vector>

// An .xlsx file read back as a spreadsheet application would see its first
// sheet: the parts come out through unzip, the XML is read with Qt.
struct XlsxReadBack {
    struct Cell {
        QString type;  // the c element's t: "s" shared text, "inlineStr", "" number, ...
        int style = 0; // index into cellXfs
        QString value; // the v element; shared and inline texts resolved
        bool isText() const {
            return type == QLatin1String("s") || type == QLatin1String("inlineStr");
        }
    };
    struct Style {
        int numFmtId = 0;
        QString horizontal; // alignment/@horizontal, empty for the default
    };
    struct Column {
        int min = 0, max = 0;
        double width = 0.0;
    };

    bool ok = false;
    QString error;
    std::map<QString, Cell> cells; // by reference, "A1"
    QStringList rows;              // row/@r in order
    std::vector<Column> columns;
    std::vector<Style> styles;
    std::map<int, QString> numberFormats;

    // One part of the archive through `unzip -p` (popen: Qt's own process
    // start trips clang's ThreadSanitizer).
    static std::optional<QByteArray> part(const QString& file, const QString& name,
                                          QString& error) {
        const auto quoted = [](const QString& s) {
            QString q = s;
            q.replace(QLatin1Char('\''), QLatin1String("'\\''"));
            return QLatin1Char('\'') + q + QLatin1Char('\'');
        };
        const QByteArray command =
            QFile::encodeName(QStringLiteral("unzip -p %1 %2").arg(quoted(file), quoted(name)));
        FILE* pipe = popen(command.constData(), "r");
        if (!pipe) {
            error = QStringLiteral("cannot run: ") + QString::fromLocal8Bit(command);
            return std::nullopt;
        }
        QByteArray out;
        char buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, static_cast<qsizetype>(n));
        const int status = pclose(pipe);
        if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            error = QString::fromLocal8Bit(command) + QStringLiteral(" failed");
            return std::nullopt;
        }
        return out;
    }

    static XlsxReadBack read(const QString& file) {
        XlsxReadBack r;
        const auto sheet = part(file, QStringLiteral("xl/worksheets/sheet1.xml"), r.error);
        const auto styles = part(file, QStringLiteral("xl/styles.xml"), r.error);
        if (!sheet || !styles)
            return r;
        QString ignored;
        const auto shared = part(file, QStringLiteral("xl/sharedStrings.xml"), ignored);
        QStringList strings;
        if (shared) {
            QXmlStreamReader x(*shared);
            while (!x.atEnd()) {
                x.readNext();
                if (x.isStartElement() && x.name() == QLatin1String("si"))
                    strings << siText(x);
            }
        }
        {
            QXmlStreamReader x(*sheet);
            QString ref;
            while (!x.atEnd()) {
                x.readNext();
                if (!x.isStartElement())
                    continue;
                const auto a = x.attributes();
                if (x.name() == QLatin1String("row")) {
                    r.rows << a.value(QLatin1String("r")).toString();
                } else if (x.name() == QLatin1String("col")) {
                    r.columns.push_back({a.value(QLatin1String("min")).toInt(),
                                         a.value(QLatin1String("max")).toInt(),
                                         a.value(QLatin1String("width")).toDouble()});
                } else if (x.name() == QLatin1String("c")) {
                    ref = a.value(QLatin1String("r")).toString();
                    r.cells[ref] = {a.value(QLatin1String("t")).toString(),
                                    a.value(QLatin1String("s")).toInt(), QString()};
                } else if (x.name() == QLatin1String("t") && !ref.isEmpty() &&
                           r.cells[ref].type == QLatin1String("inlineStr")) {
                    r.cells[ref].value = x.readElementText();
                } else if (x.name() == QLatin1String("v")) {
                    Cell& c = r.cells[ref];
                    c.value = x.readElementText();
                    if (c.type == QLatin1String("s"))
                        c.value = strings.value(c.value.toInt());
                }
            }
            if (x.hasError()) {
                r.error = x.errorString();
                return r;
            }
        }
        {
            QXmlStreamReader x(*styles);
            bool inCellXfs = false;
            while (!x.atEnd()) {
                x.readNext();
                if (x.isEndElement() && x.name() == QLatin1String("cellXfs"))
                    inCellXfs = false;
                if (!x.isStartElement())
                    continue;
                const auto a = x.attributes();
                if (x.name() == QLatin1String("numFmt"))
                    r.numberFormats[a.value(QLatin1String("numFmtId")).toInt()] =
                        a.value(QLatin1String("formatCode")).toString();
                else if (x.name() == QLatin1String("cellXfs"))
                    inCellXfs = true;
                else if (inCellXfs && x.name() == QLatin1String("xf"))
                    r.styles.push_back({a.value(QLatin1String("numFmtId")).toInt(), QString()});
                else if (inCellXfs && x.name() == QLatin1String("alignment") && !r.styles.empty())
                    r.styles.back().horizontal = a.value(QLatin1String("horizontal")).toString();
            }
            if (x.hasError()) {
                r.error = x.errorString();
                return r;
            }
        }
        r.ok = true;
        return r;
    }

    const Cell* cell(const QString& ref) const {
        const auto it = cells.find(ref);
        return it == cells.end() ? nullptr : &it->second;
    }
    QString numberFormat(const Cell& c) const {
        if (c.style < 0 || c.style >= static_cast<int>(styles.size()))
            return {};
        const auto it = numberFormats.find(styles[static_cast<size_t>(c.style)].numFmtId);
        return it == numberFormats.end() ? QString() : it->second;
    }
    QString horizontal(const QString& ref) const {
        const Cell* c = cell(ref);
        if (!c || c->style < 0 || c->style >= static_cast<int>(styles.size()))
            return {};
        return styles[static_cast<size_t>(c->style)].horizontal;
    }

    // The column width the application shows for a width stored in the file
    // (ECMA-376 Part 1, 18.3.1.13, with the 7-pixel digit of the default font).
    static double shownWidth(double stored) {
        constexpr double digit = 7.0;
        const double pixels =
            std::trunc(((256.0 * stored + std::trunc(128.0 / digit)) / 256.0) * digit);
        return std::trunc((pixels - 5.0) / digit * 100.0 + 0.5) / 100.0;
    }
    // The shown width of a column; nullopt when it keeps the default.
    std::optional<double> columnWidth(int column) const {
        for (const Column& c : columns)
            if (column >= c.min && column <= c.max)
                return shownWidth(c.width);
        return std::nullopt;
    }

private:
    // The text of a shared-string item: its t elements, rich runs included.
    static QString siText(QXmlStreamReader& x) {
        QString text;
        int depth = 1;
        while (depth > 0 && !x.atEnd()) {
            x.readNext();
            if (x.isStartElement()) {
                if (x.name() == QLatin1String("t"))
                    text += x.readElementText();
                else
                    ++depth;
            } else if (x.isEndElement()) {
                --depth;
            }
        }
        return text;
    }
};
