#include "SpreadsheetServer.h"

#include "AutomationError.h"
#include "AutomationRegistry.h"
#include "DesktopOpener.h"
#include "ExcelConstants.h"
#include "Workbook.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <cmath>
#include <optional>
#include <vector>

namespace {

using Alignment = Worksheet::Alignment;

// The application's constants for "HorizontalAlignment".
struct AlignmentConstant {
    int constant;
    Alignment alignment;
};
constexpr AlignmentConstant kAlignments[] = {
    {excel::xlHAlignGeneral, Alignment::General},
    {excel::xlLeft, Alignment::Left},
    {excel::xlCenter, Alignment::Center},
    {excel::xlRight, Alignment::Right},
    {excel::xlFill, Alignment::Fill},
    {excel::xlJustify, Alignment::Justify},
    {excel::xlCenterAcrossSelection, Alignment::CenterAcross},
    {excel::xlDistributed, Alignment::Distributed},
};

// A put on a range touches at most this many cells: a whole sheet would not fit
// in memory.
constexpr qint64 kMaxCellsPerPut = 65536;
// Files of one name and second tried before giving up.
constexpr int kMaxFileNameTries = 1000;

// Names are matched as the application matches them, in any case. The length
// goes first: most names a call is checked against differ in it.
bool is(const QString& name, const char* member) {
    const QLatin1String m(member);
    return name.size() == m.size() && (name == m || name.compare(m, Qt::CaseInsensitive) == 0);
}

[[noreturn]] void fail(const QString& description) {
    throw AutomationError(description);
}

// A whole number as a late-bound argument carries it (numbers, or a text of digits).
// Each type is read as itself: a conversion through the meta-type system
// costs more than the rest of a cell's call.
std::optional<qint64> wholeNumber(const QVariant& v) {
    switch (v.metaType().id()) {
    case QMetaType::Int:
        return v.value<int>();
    case QMetaType::UInt:
        return v.value<uint>();
    case QMetaType::Short:
        return v.value<short>();
    case QMetaType::UShort:
        return v.value<ushort>();
    case QMetaType::LongLong:
        return v.value<qlonglong>();
    case QMetaType::ULongLong:
        return v.toULongLong() > static_cast<qulonglong>(INT64_MAX)
                   ? std::nullopt
                   : std::optional<qint64>(v.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) > 9007199254740992.0)
            return std::nullopt;
        return static_cast<qint64>(d);
    }
    case QMetaType::QString: {
        bool ok = false;
        const qint64 n = v.toString().toLongLong(&ok);
        return ok ? std::optional<qint64>(n) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<double> realNumber(const QVariant& v) {
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

// Column letters A..XFD as a number from 1; nullopt for anything else.
std::optional<int> columnNumber(const QString& letters) {
    if (letters.isEmpty() || letters.size() > 3)
        return std::nullopt;
    int n = 0;
    for (const QChar c : letters) {
        const char16_t u = c.toUpper().unicode();
        if (u < u'A' || u > u'Z')
            return std::nullopt;
        n = n * 26 + (u - u'A' + 1);
    }
    return n <= Worksheet::kMaxColumns ? std::optional<int>(n) : std::nullopt;
}

// A rectangle of cells, inclusive, counted from 1.
struct Area {
    int top, left, bottom, right;
    qint64 cellCount() const {
        return static_cast<qint64>(bottom - top + 1) * static_cast<qint64>(right - left + 1);
    }
};

// "B3" or "A2:C2" (with optional $ marks) as rows and columns from 1.
std::optional<Area> parseAddress(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral(
        "^\\$?([A-Za-z]{1,3})\\$?([0-9]{1,7})(?::\\$?([A-Za-z]{1,3})\\$?([0-9]{1,7}))?$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const auto c1 = columnNumber(m.captured(1));
    const int r1 = m.captured(2).toInt();
    const auto c2 = m.hasCaptured(3) ? columnNumber(m.captured(3)) : c1;
    const int r2 = m.hasCaptured(4) ? m.captured(4).toInt() : r1;
    if (!c1 || !c2 || !Worksheet::contains(r1, *c1) || !Worksheet::contains(r2, *c2))
        return std::nullopt;
    return Area{std::min(r1, r2), std::min(*c1, *c2), std::max(r1, r2), std::max(*c1, *c2)};
}

struct ApplicationState {
    SpreadsheetServer::Settings settings;
    bool visible = false;
    std::vector<std::shared_ptr<Workbook>> workbooks;
    int booksMade = 0;
};

// What every object of this server shares: its class name for the error texts
// and the checks of names and arguments.
class ServerObject : public AutomationObject {
public:
    explicit ServerObject(const char* className) : className_(className) {}

    QVariant get(const QString& name, const QVariantList&) override { unknown(name); }
    void put(const QString& name, const QVariantList&, const QVariant&) override { unknown(name); }
    QVariant call(const QString& name, const QVariantList&) override { unknown(name); }
    void release() override {}

protected:
    [[noreturn]] void unknown(const QString& name) const {
        fail(QStringLiteral("Объект «%1» не поддерживает «%2»").arg(className_, name));
    }
    void argumentCount(const QString& name, const QVariantList& args, int count) const {
        if (args.size() != count)
            fail(QStringLiteral("%1.%2: неверное число аргументов (%3)")
                     .arg(className_, name)
                     .arg(args.size()));
    }
    [[noreturn]] void badArgument(const QString& name, int index) const {
        fail(QStringLiteral("%1.%2: недопустимое значение аргумента %3")
                 .arg(className_, name)
                 .arg(index + 1));
    }
    [[noreturn]] void badValue(const QString& name) const {
        fail(QStringLiteral("%1.%2: недопустимое значение").arg(className_, name));
    }
    [[noreturn]] void outOfRange(const QString& name) const {
        fail(QStringLiteral("%1.%2: индекс выходит за пределы допустимого диапазона")
                 .arg(className_, name));
    }
    qint64 whole(const QString& name, const QVariantList& args, int index) const {
        const auto n = wholeNumber(args.at(index));
        if (!n)
            badArgument(name, index);
        return *n;
    }

private:
    const char* className_;
};

class RangeObject : public ServerObject {
public:
    RangeObject(std::shared_ptr<Workbook> book, Worksheet& sheet, Area area)
        : ServerObject("Range"), book_(std::move(book)), sheet_(sheet), area_(area) {}

    QVariant get(const QString& name, const QVariantList& args) override {
        if (is(name, "Range")) {
            argumentCount(name, args, 1);
            if (args[0].metaType().id() != QMetaType::QString)
                badArgument(name, 0);
            const auto a = parseAddress(args[0].toString());
            if (!a)
                badArgument(name, 0);
            // An address is read from this range's first cell.
            return relative(name, *a);
        }
        if (is(name, "Cells")) {
            if (args.isEmpty())
                return automation::objectVariant(
                    std::make_shared<RangeObject>(book_, sheet_, area_));
            argumentCount(name, args, 2);
            const qint64 row = whole(name, args, 0), column = whole(name, args, 1);
            if (row < 1 || row > Worksheet::kMaxRows || column < 1 ||
                column > Worksheet::kMaxColumns)
                outOfRange(name);
            const int r = static_cast<int>(row), c = static_cast<int>(column);
            return relative(name, Area{r, c, r, c});
        }
        if (is(name, "Value")) {
            argumentCount(name, args, 0);
            single(name);
            return sheet_.value(area_.top, area_.left).toVariant();
        }
        if (is(name, "HorizontalAlignment")) {
            argumentCount(name, args, 0);
            requireOpen(name);
            const Alignment a = sheet_.alignment(area_.top, area_.left);
            for (const AlignmentConstant& row : kAlignments)
                if (row.alignment == a)
                    return row.constant;
            return {};
        }
        unknown(name);
    }

    void put(const QString& name, const QVariantList& args, const QVariant& value) override {
        if (is(name, "Value")) {
            argumentCount(name, args, 0);
            const auto v = CellValue::fromVariant(value);
            if (!v)
                badValue(name);
            forEachCell(name, [&](int r, int c) { sheet_.setValue(r, c, *v); });
            return;
        }
        if (is(name, "HorizontalAlignment")) {
            argumentCount(name, args, 0);
            const auto n = wholeNumber(value);
            const AlignmentConstant* found = nullptr;
            for (const AlignmentConstant& row : kAlignments)
                if (n && row.constant == *n)
                    found = &row;
            if (!found)
                badValue(name);
            forEachCell(name, [&](int r, int c) { sheet_.setAlignment(r, c, found->alignment); });
            return;
        }
        unknown(name);
    }

private:
    void single(const QString& name) const {
        if (area_.cellCount() != 1)
            fail(QStringLiteral("Range.%1: читается только у одной ячейки").arg(name));
        requireOpen(name);
    }
    // The rows of a big sheet go to the file as the client moves down; those
    // can no longer change or be read.
    void requireOpen(const QString& name) const {
        if (sheet_.isFinished())
            fail(QStringLiteral("Range.%1: книга уже записана в файл").arg(name));
        if (!sheet_.isOpen(area_.top))
            fail(QStringLiteral("Range.%1: строка %2 уже записана в файл книги; лист больше %3 "
                                "строк заполняется сверху вниз")
                     .arg(name)
                     .arg(area_.top)
                     .arg(Worksheet::kOpenRows));
    }
    QVariant relative(const QString& name, const Area& a) const {
        const Area moved{area_.top + a.top - 1, area_.left + a.left - 1, area_.top + a.bottom - 1,
                         area_.left + a.right - 1};
        if (!Worksheet::contains(moved.top, moved.left) ||
            !Worksheet::contains(moved.bottom, moved.right))
            outOfRange(name);
        return automation::objectVariant(std::make_shared<RangeObject>(book_, sheet_, moved));
    }
    template <typename F> void forEachCell(const QString& name, F f) {
        if (area_.cellCount() > kMaxCellsPerPut)
            fail(QStringLiteral("Range.%1: диапазон больше %2 ячеек")
                     .arg(name)
                     .arg(kMaxCellsPerPut));
        requireOpen(name);
        for (int r = area_.top; r <= area_.bottom; ++r)
            for (int c = area_.left; c <= area_.right; ++c)
                f(r, c);
    }

    std::shared_ptr<Workbook> book_; // keeps the sheet alive
    Worksheet& sheet_;
    Area area_;
};

class ColumnObject : public ServerObject {
public:
    ColumnObject(std::shared_ptr<Workbook> book, Worksheet& sheet, int column)
        : ServerObject("Range"), book_(std::move(book)), sheet_(sheet), column_(column) {}

    QVariant get(const QString& name, const QVariantList& args) override {
        if (!is(name, "ColumnWidth"))
            unknown(name);
        argumentCount(name, args, 0);
        const auto width = sheet_.columnWidth(column_);
        return width ? QVariant(*width) : QVariant();
    }
    void put(const QString& name, const QVariantList& args, const QVariant& value) override {
        if (!is(name, "ColumnWidth"))
            unknown(name);
        argumentCount(name, args, 0);
        const auto width = realNumber(value);
        if (!width || *width < 0.0 || *width > Worksheet::kMaxColumnWidth)
            badValue(name);
        sheet_.setColumnWidth(column_, *width);
    }

private:
    std::shared_ptr<Workbook> book_;
    Worksheet& sheet_;
    int column_;
};

class SheetObject : public ServerObject {
public:
    SheetObject(std::shared_ptr<Workbook> book, Worksheet& sheet)
        : ServerObject("Worksheet"), book_(std::move(book)), sheet_(sheet) {}

    QVariant get(const QString& name, const QVariantList& args) override {
        if (is(name, "Name")) {
            argumentCount(name, args, 0);
            return sheet_.name();
        }
        if (is(name, "Cells") || is(name, "Range"))
            return allCells()->get(name, args);
        if (is(name, "Columns")) {
            argumentCount(name, args, 1);
            std::optional<qint64> column = wholeNumber(args[0]);
            if (!column && args[0].metaType().id() == QMetaType::QString)
                column = columnNumber(args[0].toString());
            if (!column)
                badArgument(name, 0);
            if (*column < 1 || *column > Worksheet::kMaxColumns)
                outOfRange(name);
            return automation::objectVariant(
                std::make_shared<ColumnObject>(book_, sheet_, static_cast<int>(*column)));
        }
        unknown(name);
    }

private:
    // The whole sheet as a range, made once: a client asks it for every cell.
    RangeObject* allCells() {
        if (!allCells_)
            allCells_ = std::make_unique<RangeObject>(
                book_, sheet_, Area{1, 1, Worksheet::kMaxRows, Worksheet::kMaxColumns});
        return allCells_.get();
    }

    std::shared_ptr<Workbook> book_;
    Worksheet& sheet_;
    std::unique_ptr<RangeObject> allCells_;
};

class WorkbookObject : public ServerObject {
public:
    explicit WorkbookObject(std::shared_ptr<Workbook> book)
        : ServerObject("Workbook"), book_(std::move(book)) {}

    QVariant get(const QString& name, const QVariantList& args) override {
        if (is(name, "Name")) {
            argumentCount(name, args, 0);
            return book_->name();
        }
        if (is(name, "Worksheets")) {
            argumentCount(name, args, 1);
            const qint64 index = whole(name, args, 0);
            if (index < 1 || index > book_->sheetCount())
                outOfRange(name);
            return automation::objectVariant(
                std::make_shared<SheetObject>(book_, book_->sheet(static_cast<int>(index))));
        }
        unknown(name);
    }

private:
    std::shared_ptr<Workbook> book_;
};

class WorkbooksObject : public ServerObject {
public:
    explicit WorkbooksObject(std::shared_ptr<ApplicationState> state)
        : ServerObject("Workbooks"), state_(std::move(state)) {}

    QVariant get(const QString& name, const QVariantList& args) override {
        if (is(name, "Count")) {
            argumentCount(name, args, 0);
            return static_cast<int>(state_->workbooks.size());
        }
        if (is(name, "Item"))
            return item(name, args);
        unknown(name);
    }
    QVariant call(const QString& name, const QVariantList& args) override {
        if (!is(name, "Add"))
            unknown(name);
        argumentCount(name, args, 0);
        // A Russian-locale application names its new workbooks Книга1, Книга2, ...
        const QString bookName = QStringLiteral("Книга%1").arg(state_->booksMade + 1);
        QString why;
        auto book = Workbook::create(bookName, why);
        if (!book)
            fail(QStringLiteral("Не удалось создать книгу «%1»: %2").arg(bookName, why));
        ++state_->booksMade;
        state_->workbooks.push_back(book);
        return automation::objectVariant(std::make_shared<WorkbookObject>(book));
    }

    QVariant item(const QString& name, const QVariantList& args) const {
        argumentCount(name, args, 1);
        const qint64 index = whole(name, args, 0);
        if (index < 1 || index > static_cast<qint64>(state_->workbooks.size()))
            outOfRange(name);
        return automation::objectVariant(
            std::make_shared<WorkbookObject>(state_->workbooks[static_cast<size_t>(index - 1)]));
    }

private:
    std::shared_ptr<ApplicationState> state_;
};

class ApplicationObject : public ServerObject {
public:
    explicit ApplicationObject(SpreadsheetServer::Settings settings)
        : ServerObject("Application"), state_(std::make_shared<ApplicationState>()) {
        state_->settings = std::move(settings);
    }

    QVariant get(const QString& name, const QVariantList& args) override {
        if (is(name, "Visible")) {
            argumentCount(name, args, 0);
            return state_->visible;
        }
        if (is(name, "Workbooks")) {
            if (args.isEmpty())
                return automation::objectVariant(std::make_shared<WorkbooksObject>(state_));
            return WorkbooksObject(state_).item(QStringLiteral("Item"), args);
        }
        unknown(name);
    }
    void put(const QString& name, const QVariantList& args, const QVariant& value) override {
        if (!is(name, "Visible"))
            unknown(name);
        argumentCount(name, args, 0);
        if (value.metaType().id() == QMetaType::Bool)
            state_->visible = value.toBool();
        else if (const auto n = wholeNumber(value))
            state_->visible = *n != 0;
        else
            badValue(name);
    }

    // The client is done with the application. A visible one stays with the
    // user: its workbooks go to files and to the desktop. One nobody sees ends
    // with its workbooks unsaved.
    void release() override {
        if (released_)
            return;
        released_ = true;
        std::vector<std::shared_ptr<Workbook>> books;
        books.swap(state_->workbooks);
        if (!state_->visible)
            return;
        std::optional<AutomationError> first;
        for (const auto& book : books) {
            try {
                open(save(*book));
            } catch (const AutomationError& e) {
                if (!first)
                    first = e;
            }
        }
        if (first)
            throw *first;
    }

private:
    QString save(Workbook& book) const {
        const SpreadsheetServer::Settings& s = state_->settings;
        const QString folder =
            s.documentsFolder.isEmpty()
                ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                : s.documentsFolder;
        if (folder.isEmpty())
            fail(QStringLiteral("Не найдена папка документов пользователя для книги «%1»")
                     .arg(book.name()));
        if (!QDir().mkpath(folder))
            fail(QStringLiteral("Не удалось записать книгу «%1»: не создаётся папка «%2»")
                     .arg(book.name(), QDir::toNativeSeparators(folder)));
        const QDateTime now = s.now ? s.now() : QDateTime::currentDateTime();
        const QString stem =
            book.name() + QLatin1Char(' ') + now.toString(QStringLiteral("yyyy-MM-dd hh-mm-ss"));
        const QString path = reserve(QDir(folder), stem);
        const QString failure = book.save(path);
        if (!failure.isEmpty()) {
            QFile::remove(path);
            fail(QStringLiteral("Не удалось записать книгу в файл «%1»: %2")
                     .arg(QDir::toNativeSeparators(path), failure));
        }
        return path;
    }

    // Creates a file of a name no file has yet, so that nothing is overwritten.
    static QString reserve(const QDir& folder, const QString& stem) {
        for (int n = 1; n <= kMaxFileNameTries; ++n) {
            const QString name = n == 1 ? stem + QStringLiteral(".xlsx")
                                        : stem + QStringLiteral(" (%1).xlsx").arg(n);
            const QString path = folder.filePath(name);
            QFile file(path);
            if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                return path;
            if (!QFileInfo::exists(path))
                fail(QStringLiteral("Не удалось записать книгу в папку «%1»: %2")
                         .arg(QDir::toNativeSeparators(folder.path()), file.errorString()));
        }
        fail(QStringLiteral("Не удалось записать книгу в папку «%1»: все имена «%2…» заняты")
                 .arg(QDir::toNativeSeparators(folder.path()), stem));
    }

    void open(const QString& path) const {
        const auto& opener = state_->settings.opener;
        if (!(opener ? opener(path) : DesktopOpener::open(path)))
            fail(QStringLiteral("Книга записана в файл «%1», но открыть её нечем: нет приложения "
                                "для электронных таблиц")
                     .arg(QDir::toNativeSeparators(path)));
    }

    std::shared_ptr<ApplicationState> state_;
    bool released_ = false;
};

} // namespace

AutomationObjectPtr SpreadsheetServer::createApplication(Settings settings) {
    return std::make_shared<ApplicationObject>(std::move(settings));
}

void SpreadsheetServer::registerIn(AutomationRegistry& registry, Settings settings) {
    registry.add(QString::fromLatin1(excel::kApplication),
                 [settings] { return createApplication(settings); });
}
