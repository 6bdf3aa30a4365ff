// The service report as a PDF, read back with poppler's tools: the header on
// every page, every event in order, the page count and "Стр. N из M", the mark
// of a corrected time, the signatures, a cancelled or failed write.
#include "EventLog.h"
#include "ServiceReport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// 297 mm less the margins (2 x 12), the title (8), three header lines and the
// table's head (3 x 4.4 + 2.5 + 6) and the footer (7) leave 236.3 mm: 53 lines
// of 4.4 mm. The signatures take 8 lines after the last event.
constexpr int kLinesPerPage = 53;
constexpr int kSignatureLines = 8;

int expectedPages(int oneLineEvents) {
    return std::max(1, (oneLineEvents + kSignatureLines + kLinesPerPage - 1) / kLinesPerPage);
}

const char* const kTexts[] = {
    "Пожар в зоне 1",        "Неисправность шлейфа зоны 2",  "Включение автоматики",
    "Пуск тушения в зоне 3", "Отключение основного питания", "Сброс прибора"};

// Event i (from 0) one minute after the one before, from 2024-01-01 00:00:00;
// every seventh corrected by hand, every eleventh flagged.
EventCollection makeEvents(int count) {
    EventCollection events;
    for (int i = 0; i < count; ++i) {
        EventInfo e;
        e.number = i + 1;
        e.position = i;
        e.time = 45292.0 + i / 1440.0;
        e.infoText = kTexts[i % 6];
        if (i % 7 == 3) {
            e.timeState = EventInfo::EditedByHand;
            e.noteText = "Время отредактировано вручную";
        } else if (i % 11 == 5) {
            e.timeState = EventInfo::NeedsCorrection;
            e.noteText = "Время требует корректировки";
        }
        events.append(std::move(e));
    }
    return events;
}

QString expectedTime(int i) {
    return QDateTime(QDate(2024, 1, 1), QTime(0, 0))
        .addSecs(60 * i)
        .toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
}

QString run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return QStringLiteral("FAILED: ") + program + ' ' + arguments.join(' ') + ' ' +
               QString::fromUtf8(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfText(const QString& file, int page = 0) {
    QStringList args{QStringLiteral("-layout")};
    if (page > 0)
        args << "-f" << QString::number(page) << "-l" << QString::number(page);
    return run(QStringLiteral(PDFTOTEXT_PATH), args << file << QStringLiteral("-"));
}

int pdfPages(const QString& file) {
    const QString info = run(QStringLiteral(PDFINFO_PATH), {file});
    const auto m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

struct ShownRow {
    int number;
    QString time;
    bool marked;
    QString rest; // information and note
};

// The event rows of the text, in the order they stand.
std::vector<ShownRow> shownRows(const QString& text) {
    static const QRegularExpression row(QStringLiteral(
        "^\\s*(\\d+)\\s+(\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d)( \\*)?\\s+(.*?)\\s*$"));
    std::vector<ShownRow> rows;
    for (const QString& line : text.split('\n')) {
        const auto m = row.match(line);
        if (m.hasMatch())
            rows.push_back(
                {m.captured(1).toInt(), m.captured(2), !m.captured(3).isEmpty(), m.captured(4)});
    }
    return rows;
}

ReportHeader readOutHeader() {
    EventLog::Source source;
    source.variant = Variant::Main;
    source.deviceNumber = 7;
    source.serial = std::array<uint8_t, 6>{0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x00};
    source.tabletDate = std::array{2026, 12, 9};
    source.readOutTime = 45292.5;
    EventLog log(makeEvents(3), nullptr, EventLog::Origin::ReadOut);
    log.setSource(source);
    return ReportHeader::forLog(log, 3, QStringLiteral("9.8.7"));
}

class Report : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

TEST(ReportHeaderTest, NamesTheListsOrigin) {
    struct Case {
        EventLog::Origin origin;
        EventLog::Source source;
        int shown;
        QStringList lines; // device, serial, tablet date, source, count
    };
    const std::array<uint8_t, 6> serial{0xFF, 0x01, 0x20, 0xAB, 0x00, 0x9C};
    const Case cases[] = {
        {EventLog::Origin::ReadOut,
         {.variant = Variant::Military,
          .deviceNumber = 8,
          .serial = serial,
          .tabletDate = std::array{2009, 3, 1},
          .readOutTime = 45292.5 + 5.0 / 86400},
         4,
         {"Номер устройства: 8 (Военный вариант)", "Серийный номер: FF0120AB009C",
          "Дата на таблетке: 01.03.2009", "Считано: 01.01.2024 12:00:05", "Событий в отчете: 4"}},
        // a tablet that was not checked: no serial or date to show
        {EventLog::Origin::ReadOut,
         {.variant = Variant::Main, .deviceNumber = 7, .readOutTime = 45292.0},
         2,
         {"Номер устройства: 7 (Основной вариант)", "Серийный номер: —", "Дата на таблетке: —",
          "Считано: 01.01.2024 00:00:00", "Событий в отчете: 2 из 4"}},
        {EventLog::Origin::File,
         {.fileName = "/home/инженер/журналы/объект 12.log"},
         4,
         {"Номер устройства: —", "Серийный номер: —", "Дата на таблетке: —", "Файл: объект 12.log",
          "Событий в отчете: 4"}},
        {EventLog::Origin::Import,
         {.fileName = "dump.bin", .variant = Variant::Garage},
         0,
         {"Номер устройства: — (Гаражный вариант)", "Серийный номер: —", "Дата на таблетке: —",
          "Импорт: dump.bin", "Событий в отчете: 0 из 4"}},
        // a date that does not exist is not shown
        {EventLog::Origin::ReadOut,
         {.deviceNumber = 255, .tabletDate = std::array{2001, 2, 30}},
         4,
         {"Номер устройства: _", "Серийный номер: —", "Дата на таблетке: —", "Считано: —",
          "Событий в отчете: 4"}},
    };
    for (const Case& c : cases) {
        EventLog log(makeEvents(4), nullptr, c.origin);
        log.setSource(c.source);
        const ReportHeader h = ReportHeader::forLog(log, c.shown, QStringLiteral("1.2.3"));
        EXPECT_EQ((QStringList{h.device, h.serial, h.tabletDate, h.source, h.count}), c.lines);
        EXPECT_EQ(h.program, QStringLiteral("Velmora 1.2.3"));
    }
}

TEST_F(Report, EveryPageHasTheHeaderAndItsNumberAndEveryEventStandsInOrder) {
    const ReportHeader header = readOutHeader();
    for (const int count : {0, 1, 45, 46, 124, 1000}) {
        SCOPED_TRACE(count);
        const EventCollection events = makeEvents(count);
        const QString file = path(QStringLiteral("report-%1.pdf").arg(count));
        std::vector<int> told;
        ASSERT_EQ(ServiceReport(header, ServiceReport::allRows(events))
                      .writePdf(file,
                                [&](int done, int) {
                                    told.push_back(done);
                                    return true;
                                }),
                  ServiceReport::Status::Done);

        const int pages = expectedPages(count);
        EXPECT_EQ(pdfPages(file), pages);
        EXPECT_EQ(told.size(), static_cast<size_t>(pages) + 1);
        for (int page = 1; page <= pages; ++page) {
            const QString text = pdfText(file, page);
            for (const QString& field :
                 {ReportHeader::title(), QStringLiteral("Номер устройства: 7 (Основной вариант)"),
                  QStringLiteral("Серийный номер: 0A1B2C3D4E00"),
                  QStringLiteral("Дата на таблетке: 09.12.2026"),
                  QStringLiteral("Считано: 01.01.2024 12:00:00"), QStringLiteral("Velmora 9.8.7"),
                  QStringLiteral("Стр. %1 из %2").arg(page).arg(pages)})
                EXPECT_TRUE(text.contains(field)) << page << ": " << field.toStdString();
            EXPECT_EQ(text.contains(QStringLiteral("Представитель заказчика:")), page == pages);
            EXPECT_EQ(text.contains(QStringLiteral("Инженер сервисной службы:")), page == pages);
            EXPECT_EQ(text.contains(QStringLiteral("* — время исправлено вручную")), count > 3);
        }

        const std::vector<ShownRow> rows = shownRows(pdfText(file));
        ASSERT_EQ(rows.size(), static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            const ShownRow& r = rows[static_cast<size_t>(i)];
            const EventInfo& e = events.at(i);
            EXPECT_EQ(r.number, i + 1);
            EXPECT_EQ(r.time, expectedTime(i));
            EXPECT_EQ(r.marked, i % 7 == 3) << i;
            EXPECT_TRUE(r.rest.startsWith(QString::fromStdString(e.infoText))) << i;
            EXPECT_TRUE(r.rest.endsWith(QString::fromStdString(e.noteText))) << i;
        }
    }
}

TEST_F(Report, ShowsTheRowsItIsGivenInTheirOrder) {
    const EventCollection events = makeEvents(30);
    ServiceReport::Rows some;
    for (int i : {17, 2, 29, 0})
        some.push_back(&events.at(i));
    const QString file = path(QStringLiteral("some.pdf"));
    ASSERT_EQ(ServiceReport(readOutHeader(), some).writePdf(file), ServiceReport::Status::Done);
    std::vector<int> numbers;
    for (const ShownRow& r : shownRows(pdfText(file)))
        numbers.push_back(r.number);
    EXPECT_EQ(numbers, (std::vector<int>{18, 3, 30, 1}));
}

TEST_F(Report, LongTextsWrapAndAHostileOneIsCut) {
    EventCollection events = makeEvents(3);
    QStringList words;
    for (int i = 0; i < 24; ++i)
        words << QStringLiteral("слово%1").arg(i);
    events.at(0).infoText = words.join(' ').toStdString();
    events.at(1).noteText = std::string(100000, 'X');
    const QString file = path(QStringLiteral("long.pdf"));
    ASSERT_EQ(ServiceReport(readOutHeader(), ServiceReport::allRows(events)).writePdf(file),
              ServiceReport::Status::Done);
    EXPECT_EQ(pdfPages(file), 1);
    const QString text = pdfText(file);
    for (const QString& w : words)
        EXPECT_TRUE(text.contains(w)) << w.toStdString();
    EXPECT_TRUE(text.contains(QString::fromStdString(events.at(2).infoText)));
}

TEST_F(Report, ACancelledReportLeavesNoFileAndKeepsAnOlderOne) {
    const EventCollection events = makeEvents(5000);
    const ServiceReport report(readOutHeader(), ServiceReport::allRows(events));
    for (const int stopAt : {0, 2}) {
        const QString file = path(QStringLiteral("cancelled.pdf"));
        int total = 0;
        EXPECT_EQ(report.writePdf(file,
                                  [&](int done, int pages) {
                                      total = pages;
                                      return done < stopAt;
                                  }),
                  ServiceReport::Status::Cancelled);
        EXPECT_EQ(total, expectedPages(5000));
        EXPECT_FALSE(QFile::exists(file));
        EXPECT_TRUE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    }

    const QString older = path(QStringLiteral("older.pdf"));
    QFile f(older);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("older");
    f.close();
    EXPECT_EQ(report.writePdf(older, [](int done, int) { return done < 1; }),
              ServiceReport::Status::Cancelled);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("older"));
}

TEST_F(Report, APathThatCannotBeWrittenIsReported) {
    const EventCollection events = makeEvents(3);
    const ServiceReport report(readOutHeader(), ServiceReport::allRows(events));
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("folder")));
    for (const QString& file :
         {path(QStringLiteral("folder")), path(QStringLiteral("missing/report.pdf"))})
        EXPECT_EQ(report.writePdf(file), ServiceReport::Status::CannotWrite) << file.toStdString();
}

TEST_F(Report, APageRendersAsAnA4Picture) {
    const EventCollection events = makeEvents(124);
    const QString file = path(QStringLiteral("picture.pdf"));
    ASSERT_EQ(ServiceReport(readOutHeader(), ServiceReport::allRows(events)).writePdf(file),
              ServiceReport::Status::Done);
    const QString stem = path(QStringLiteral("page"));
    run(QStringLiteral(PDFTOPPM_PATH),
        {"-png", "-r", "60", "-f", "1", "-l", "1", "-singlefile", file, stem});
    const QImage page(stem + QStringLiteral(".png"));
    ASSERT_FALSE(page.isNull());
    EXPECT_NEAR(double(page.height()) / page.width(), 297.0 / 210.0, 0.01);
    // ink on the page: not blank
    int dark = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            dark += qGray(page.pixel(x, y)) < 128;
    EXPECT_GT(dark, page.width() * page.height() / 100);
}

} // namespace
