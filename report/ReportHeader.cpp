#include "ReportHeader.h"

#include "EventLog.h"
#include "TabletImage.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>

QString ReportHeader::title() {
    return QStringLiteral("Сервисный отчет: журнал событий");
}

QString ReportHeader::unknown() {
    return QStringLiteral("—");
}

ReportHeader ReportHeader::forLog(const EventLog& log, int shown, const QString& programVersion) {
    const EventLog::Source& source = log.source();
    ReportHeader header;

    // the tablet lines as the Information dialog shows them
    header.device = source.deviceNumber
                        ? QString::fromStdString(deviceNumberText(*source.deviceNumber))
                        : QStringLiteral("Номер устройства: ") + unknown();
    if (source.variant)
        header.device +=
            QStringLiteral(" (%1)").arg(QString::fromUtf8(variantRow(*source.variant).importText));
    header.serial = source.serial ? QString::fromStdString(serialNumberText(*source.serial))
                                  : QStringLiteral("Серийный номер: ") + unknown();
    QString date = unknown();
    if (source.tabletDate) {
        const QDate d((*source.tabletDate)[0], (*source.tabletDate)[1], (*source.tabletDate)[2]);
        if (d.isValid())
            date = d.toString(QStringLiteral("dd.MM.yyyy"));
    }
    header.tabletDate = QStringLiteral("Дата на таблетке: ") + date;

    const QString fileName = QFileInfo(QFile::decodeName(source.fileName.c_str())).fileName();
    switch (log.origin()) {
    case EventLog::Origin::ReadOut: {
        const std::string when = source.readOutTime ? datetime::format(*source.readOutTime) : "";
        header.source =
            QStringLiteral("Считано: ") + (when.empty() ? unknown() : QString::fromStdString(when));
        break;
    }
    case EventLog::Origin::File:
        header.source = QStringLiteral("Файл: ") + (fileName.isEmpty() ? unknown() : fileName);
        break;
    case EventLog::Origin::Import:
        header.source = QStringLiteral("Импорт: ") + (fileName.isEmpty() ? unknown() : fileName);
        break;
    }

    const int total = log.events().count();
    header.count = QStringLiteral("Событий в отчете: %1").arg(shown);
    if (shown != total)
        header.count += QStringLiteral(" из %1").arg(total);
    header.program = QStringLiteral("Velmora ") + programVersion;
    return header;
}
