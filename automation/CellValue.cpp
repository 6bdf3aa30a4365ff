#include "CellValue.h"

#include <QDateTime>

#include <cmath>

namespace {

// Texts are read by hand rather than by pattern: an export puts hundreds of
// thousands of them.
bool isDigit(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// Optional sign, then ASCII digits only.
std::optional<CellValue> wholeNumber(QStringView text) {
    const qsizetype first = text.startsWith(u'+') || text.startsWith(u'-') ? 1 : 0;
    if (text.size() == first)
        return std::nullopt;
    for (qsizetype i = first; i < text.size(); ++i)
        if (!isDigit(text[i]))
            return std::nullopt;
    CellValue v;
    v.kind = CellValue::Kind::Number;
    // Up to 15 digits a double holds exactly; longer ones are rounded as a
    // text is rounded.
    if (text.size() - first <= 15) {
        qint64 n = 0;
        for (qsizetype i = first; i < text.size(); ++i)
            n = n * 10 + (text[i].unicode() - u'0');
        const double magnitude = static_cast<double>(n);
        v.number = text.startsWith(u'-') ? -magnitude : magnitude;
        return v;
    }
    bool ok = false;
    v.number = text.toDouble(&ok);
    if (!ok || !std::isfinite(v.number))
        return std::nullopt;
    return v;
}

// "dd.mm.yyyy hh:mm:ss", ASCII digits, nothing before or after.
std::optional<CellValue> dateTime(QStringView text) {
    static constexpr char kShape[] = "00.00.0000 00:00:00";
    if (text.size() != static_cast<qsizetype>(sizeof kShape - 1))
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (kShape[i] == '0' ? !isDigit(text[i]) : text[i] != QLatin1Char(kShape[i]))
            return std::nullopt;
    }
    const auto field = [text](qsizetype at, qsizetype length) {
        int n = 0;
        for (qsizetype i = at; i < at + length; ++i)
            n = n * 10 + (text[i].unicode() - u'0');
        return n;
    };
    const QDate date(field(6, 4), field(3, 2), field(0, 2));
    const QTime time(field(11, 2), field(14, 2), field(17, 2));
    if (!date.isValid() || !time.isValid() || date.year() < CellValue::kFirstYear ||
        date.year() > CellValue::kLastYear)
        return std::nullopt;
    CellValue v;
    v.kind = CellValue::Kind::DateTime;
    v.date = date;
    v.time = time;
    return v;
}

} // namespace

CellValue CellValue::fromText(const QString& text) {
    if (text.isEmpty())
        return {};
    if (auto v = wholeNumber(text))
        return *v;
    if (auto v = dateTime(text))
        return *v;
    CellValue v;
    v.kind = Kind::Text;
    v.text = text;
    return v;
}

std::optional<CellValue> CellValue::fromVariant(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return CellValue{};
    CellValue v;
    switch (value.metaType().id()) {
    case QMetaType::QString: {
        const QString text = value.toString();
        if (text.size() > kMaxTextLength)
            return std::nullopt;
        return fromText(text);
    }
    case QMetaType::Bool:
        v.kind = Kind::Boolean;
        v.number = value.toBool() ? 1.0 : 0.0;
        return v;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        v.kind = Kind::Number;
        v.number = value.toDouble();
        if (!std::isfinite(v.number))
            return std::nullopt;
        return v;
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (!dt.isValid() || dt.date().year() < kFirstYear || dt.date().year() > kLastYear)
            return std::nullopt;
        v.kind = Kind::DateTime;
        v.date = dt.date();
        const QTime t = dt.time();
        v.time = QTime(t.hour(), t.minute(), t.second());
        return v;
    }
    default:
        return std::nullopt;
    }
}

QVariant CellValue::toVariant() const {
    switch (kind) {
    case Kind::Empty:
        return {};
    case Kind::Number:
        return number;
    case Kind::Boolean:
        return number != 0.0;
    case Kind::DateTime:
        return QDateTime(date, time);
    case Kind::Text:
        return text;
    }
    return {};
}
