#pragma once

#include <QDate>
#include <QString>
#include <QTime>
#include <QVariant>

#include <optional>

// What a spreadsheet cell holds.
struct CellValue {
    enum class Kind { Empty, Number, Boolean, DateTime, Text };

    Kind kind = Kind::Empty;
    double number = 0.0; // Number; Boolean as 0 or 1
    QDate date;          // DateTime
    QTime time;          // DateTime, whole seconds
    QString text;        // Text

    // How a spreadsheet application in a Russian locale reads a text put into a
    // cell: a whole number becomes a number, "dd.mm.yyyy hh:mm:ss" a date-time
    // shown in that same form, an empty text leaves the cell empty, anything
    // else stays text.
    static CellValue fromText(const QString& text);
    // Any value a client may send; nullopt for one a cell cannot hold.
    static std::optional<CellValue> fromVariant(const QVariant& value);

    QVariant toVariant() const;

    // The longest text a cell takes.
    static constexpr qsizetype kMaxTextLength = 32767;
    // Date-times a sheet can hold.
    static constexpr int kFirstYear = 1900;
    static constexpr int kLastYear = 9999;
};
