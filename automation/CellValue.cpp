#include "CellValue.h"

#include <QDateTime>
#include <QRegularExpression>

#include <cmath>

namespace {

std::optional<CellValue> wholeNumber(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^[+-]?[0-9]+$"));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    CellValue v;
    v.kind = CellValue::Kind::Number;
    v.number = number;
    return v;
}

std::optional<CellValue> dateTime(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^([0-9]{2})\\.([0-9]{2})\\.([0-9]{4}) ([0-9]{2}):([0-9]{2}):([0-9]{2})$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const auto field = [&m](int i) { return m.captured(i).toInt(); };
    const QDate date(field(3), field(2), field(1));
    const QTime time(field(4), field(5), field(6));
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
