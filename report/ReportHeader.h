#pragma once

#include <QString>

class EventLog;

// The lines every page of the service report carries above its table: which
// controller and tablet the events come from, read out when or taken from
// which file, how many are shown, and the program that made the report.
struct ReportHeader {
    QString device;     // "Номер устройства: 7 (Основной вариант)"
    QString serial;     // "Серийный номер: 0A1B2C3D4E00"
    QString tabletDate; // "Дата на таблетке: 09.12.2026"
    QString source;     // "Считано: ...", "Файл: ...", "Импорт: ..."
    QString count; // "Событий в отчете: 124" or "Событий в отчете: 10 из 124"
    QString program; // "Velmora 0.1.0"

    static QString title();
    // What a field shows when the list's origin does not tell it.
    static QString unknown();

    // The header of a report of `shown` events of `log`.
    static ReportHeader forLog(const EventLog& log, int shown, const QString& programVersion);
};
