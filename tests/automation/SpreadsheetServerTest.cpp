// The built-in "Excel.Application": values as a Russian-locale application reads
// them, the calls it rejects, and the workbook it writes and hands on.
#include "SpreadsheetServer.h"
#include "AutomationError.h"
#include "AutomationRegistry.h"
#include "CellValue.h"
#include "ExcelConstants.h"
#include "support/XlsxReadBack.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << s.toStdString();
}

namespace {

using Kind = CellValue::Kind;

TEST(CellValue, TextsReadAsARussianLocaleApplicationReadsThem) {
    struct Row {
        QString text;
        Kind kind;
        double number;
        QString shown; // date-times: "dd.MM.yyyy hh:mm:ss" of what is held
    } rows[] = {
        {"124", Kind::Number, 124, ""},
        {"0", Kind::Number, 0, ""},
        {"-5", Kind::Number, -5, ""},
        {"+7", Kind::Number, 7, ""},
        {"007", Kind::Number, 7, ""},
        {"12345678901234567890", Kind::Number, 12345678901234567890.0, ""},
        {QString(400, '9'), Kind::Text, 0, ""}, // beyond any number
        {"12.5", Kind::Text, 0, ""},
        {"12,5", Kind::Text, 0, ""},
        {" 5", Kind::Text, 0, ""},
        {"5 ", Kind::Text, 0, ""},
        {"1 000", Kind::Text, 0, ""},
        {"-", Kind::Text, 0, ""},
        {"+", Kind::Text, 0, ""},
        {"--5", Kind::Text, 0, ""},
        {"124\n", Kind::Text, 0, ""},
        {"\u0663", Kind::Text, 0, ""}, // a digit, but not one a cell reads
        {"999999999999999", Kind::Number, 999999999999999.0, ""},
        {"-123456789012345678", Kind::Number, -123456789012345678.0, ""},
        {"", Kind::Empty, 0, ""},
        {"01.02.2024 03:04:05", Kind::DateTime, 0, "01.02.2024 03:04:05"},
        {"29.02.2024 23:59:59", Kind::DateTime, 0, "29.02.2024 23:59:59"},
        {"01.01.1900 00:00:00", Kind::DateTime, 0, "01.01.1900 00:00:00"},
        {"31.12.9999 23:59:59", Kind::DateTime, 0, "31.12.9999 23:59:59"},
        {"31.12.1899 23:59:59", Kind::Text, 0, ""},
        {"29.02.2023 00:00:00", Kind::Text, 0, ""},
        {"01.13.2024 00:00:00", Kind::Text, 0, ""},
        {"01.02.2024 24:00:00", Kind::Text, 0, ""},
        {"01.02.2024 23:60:00", Kind::Text, 0, ""},
        {"1.02.2024 03:04:05", Kind::Text, 0, ""},
        {"01.02.2024 3:04:05", Kind::Text, 0, ""},
        {"01.02.2024 03:04", Kind::Text, 0, ""},
        {"01.02.2024  03:04:05", Kind::Text, 0, ""},
        {"01.02.2024", Kind::Text, 0, ""},
        {"01/02/2024 03:04:05", Kind::Text, 0, ""},
        {"01.02.2024 03:04:05\n", Kind::Text, 0, ""},
        {"01.02.2024T03:04:05", Kind::Text, 0, ""},
        {"0a.02.2024 03:04:05", Kind::Text, 0, ""},
        {"00.02.2024 03:04:05", Kind::Text, 0, ""},
        {"Номер устройства: 7", Kind::Text, 0, ""},
    };
    for (const Row& row : rows) {
        const CellValue v = CellValue::fromText(row.text);
        ASSERT_EQ(v.kind, row.kind) << row.text.toStdString();
        if (row.kind == Kind::Number) {
            EXPECT_EQ(v.number, row.number) << row.text.toStdString();
        } else if (row.kind == Kind::Text) {
            EXPECT_EQ(v.text, row.text);
        } else if (row.kind == Kind::DateTime) {
            EXPECT_EQ(QDateTime(v.date, v.time).toString("dd.MM.yyyy hh:mm:ss"), row.shown);
        }
    }
}

// A serial date of the 1900 date system (from March 1900 on) as the sheet shows
// it in "dd.mm.yyyy hh:mm:ss".
QString shownDateTime(const QString& serial) {
    const qint64 ms = std::llround(serial.toDouble() * 86400000.0);
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0)).addMSecs(ms).toString("dd.MM.yyyy hh:mm:ss");
}

class Spreadsheet : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(docs_.isValid());
        settings_.documentsFolder = docs_.path() + "/Документы";
        settings_.opener = [this](const QString& path) {
            opened_ << path;
            return openerAnswer_;
        };
        settings_.now = [] { return QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)); };
    }

    Dispatch application() { return Dispatch(SpreadsheetServer::createApplication(settings_)); }

    // A visible application with one workbook; its first sheet to `fill`, then released.
    void fillAndRelease(const std::function<void(Dispatch& sheet)>& fill) {
        Dispatch app = application();
        app.put("Visible", true);
        app.get("Workbooks").call("Add");
        Dispatch book = app.get("Workbooks", {1});
        Dispatch sheet = book.get("Worksheets", {1});
        fill(sheet);
        sheet.release();
        book.release();
        app.release();
    }

    static void set(Dispatch& sheet, int row, int column, const QVariant& value) {
        sheet.get("Cells", {row, column}).put("Value", value);
    }

    QStringList files() const {
        return QDir(settings_.documentsFolder).entryList(QDir::Files, QDir::Name);
    }

    QTemporaryDir docs_;
    SpreadsheetServer::Settings settings_;
    QStringList opened_;
    bool openerAnswer_ = true;
};

TEST_F(Spreadsheet, WorkbookReadBackHoldsWhatWasPut) {
    fillAndRelease([](Dispatch& sheet) {
        const double widths[] = {6.14, 16.29, 43.86};
        for (int c = 1; c <= 3; ++c)
            sheet.get("Columns", {c}).put("ColumnWidth", widths[c - 1]);
        set(sheet, 1, 1, "Номер устройства: 7");
        sheet.get("Cells").get("Range", {"A2:C2"}).put("HorizontalAlignment", excel::xlCenter);
        const QString header[] = {"№", "Время", "Информация", "Примечание"};
        for (int c = 1; c <= 4; ++c)
            set(sheet, 2, c, header[c - 1]);
        set(sheet, 3, 1, "1");
        set(sheet, 3, 2, "31.12.2023 23:59:58");
        set(sheet, 3, 3, "Пожар в зоне 2");
        set(sheet, 3, 4, "");
        set(sheet, 4, 1, "124");
        set(sheet, 4, 2, "01.01.2024 00:00:00");
        set(sheet, 4, 3, "  два пробела  ");
        set(sheet, 4, 4, "Время требует корректировки");
    });
    ASSERT_EQ(files(), QStringList{"Книга1 2024-01-02 03-04-05.xlsx"});
    const QString file = settings_.documentsFolder + "/" + files()[0];
    EXPECT_EQ(opened_, QStringList{file});

    const XlsxReadBack x = XlsxReadBack::read(file);
    ASSERT_TRUE(x.ok) << x.error.toStdString();
    EXPECT_EQ(x.rows, (QStringList{"1", "2", "3", "4"}));
    const std::map<QString, QString> texts = {
        {"A1", "Номер устройства: 7"},
        {"A2", "№"},
        {"B2", "Время"},
        {"C2", "Информация"},
        {"D2", "Примечание"},
        {"C3", "Пожар в зоне 2"},
        {"C4", "  два пробела  "},
        {"D4", "Время требует корректировки"},
    };
    for (const auto& [ref, text] : texts) {
        const auto* c = x.cell(ref);
        ASSERT_NE(c, nullptr) << ref.toStdString();
        EXPECT_TRUE(c->isText()) << ref.toStdString();
        EXPECT_EQ(c->value, text);
    }
    for (const auto& [ref, number] : {std::pair{"A3", "1"}, std::pair{"A4", "124"}}) {
        const auto* c = x.cell(ref);
        ASSERT_NE(c, nullptr) << ref;
        EXPECT_EQ(c->type, "") << "a number, not a text: " << ref;
        EXPECT_EQ(c->value, number);
        EXPECT_EQ(x.numberFormat(*c), "");
    }
    for (const auto& [ref, shown] :
         {std::pair{"B3", "31.12.2023 23:59:58"}, std::pair{"B4", "01.01.2024 00:00:00"}}) {
        const auto* c = x.cell(ref);
        ASSERT_NE(c, nullptr) << ref;
        EXPECT_EQ(c->type, "") << ref;
        EXPECT_EQ(x.numberFormat(*c), "dd.mm.yyyy hh:mm:ss") << ref;
        EXPECT_EQ(shownDateTime(c->value), shown) << ref;
    }
    EXPECT_EQ(x.cell("D3"), nullptr) << "an empty text leaves the cell empty";
    EXPECT_EQ(x.columnWidth(1), 6.14);
    EXPECT_EQ(x.columnWidth(2), 16.29);
    EXPECT_EQ(x.columnWidth(3), 43.86);
    EXPECT_EQ(x.columnWidth(4), std::nullopt);
    for (const char* ref : {"A2", "B2", "C2"})
        EXPECT_EQ(x.horizontal(ref), "center") << ref;
    for (const char* ref : {"D2", "A1", "A3", "B3"})
        EXPECT_EQ(x.horizontal(ref), "") << ref;
}

TEST_F(Spreadsheet, TitleAndHeaderOnly) {
    fillAndRelease([](Dispatch& sheet) {
        set(sheet, 1, 1, "");
        const QString header[] = {"№", "Время", "Информация", "Примечание"};
        for (int c = 1; c <= 4; ++c)
            set(sheet, 2, c, header[c - 1]);
    });
    ASSERT_EQ(files().size(), 1);
    const XlsxReadBack x = XlsxReadBack::read(settings_.documentsFolder + "/" + files()[0]);
    ASSERT_TRUE(x.ok) << x.error.toStdString();
    EXPECT_EQ(x.rows, QStringList{"2"});
    EXPECT_EQ(x.cells.size(), 4u);
}

TEST_F(Spreadsheet, NewFileEachTimeNeverOverwriting) {
    QDir().mkpath(settings_.documentsFolder);
    QFile mine(settings_.documentsFolder + "/Книга1 2024-01-02 03-04-05 (2).xlsx");
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("the user's own");
    mine.close();
    for (int i = 0; i < 3; ++i)
        fillAndRelease([](Dispatch& sheet) { set(sheet, 1, 1, "x"); });
    EXPECT_EQ(
        files(),
        (QStringList{"Книга1 2024-01-02 03-04-05 (2).xlsx", "Книга1 2024-01-02 03-04-05 (3).xlsx",
                     "Книга1 2024-01-02 03-04-05 (4).xlsx", "Книга1 2024-01-02 03-04-05.xlsx"}));
    ASSERT_TRUE(mine.open(QIODevice::ReadOnly));
    EXPECT_EQ(mine.readAll(), "the user's own");
    EXPECT_EQ(opened_.size(), 3);
}

TEST_F(Spreadsheet, NothingToOpenWithNamesTheFileWhichStays) {
    openerAnswer_ = false;
    try {
        fillAndRelease([](Dispatch& sheet) { set(sheet, 1, 1, "x"); });
        FAIL();
    } catch (const AutomationError& e) {
        const QString file = settings_.documentsFolder + "/Книга1 2024-01-02 03-04-05.xlsx";
        EXPECT_EQ(e.description(), "Книга записана в файл «" + file +
                                       "», но открыть её нечем: нет приложения для электронных "
                                       "таблиц");
        EXPECT_TRUE(XlsxReadBack::read(file).ok);
    }
}

TEST_F(Spreadsheet, UnwritableDocumentsFolderWritesAndOpensNothing) {
    // below a plain file no folder can be made, whoever runs the test
    QFile plain(docs_.path() + "/plain");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    settings_.documentsFolder = plain.fileName() + "/Документы";
    try {
        fillAndRelease([](Dispatch& sheet) { set(sheet, 1, 1, "x"); });
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.description(), "Не удалось записать книгу «Книга1»: не создаётся папка «" +
                                       settings_.documentsFolder + "»");
    }
    EXPECT_TRUE(opened_.isEmpty());
}

TEST_F(Spreadsheet, FolderWithoutWritePermission) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not hold for root";
    QDir().mkpath(settings_.documentsFolder);
    QFile::setPermissions(settings_.documentsFolder, QFile::ReadOwner | QFile::ExeOwner);
    try {
        fillAndRelease([](Dispatch& sheet) { set(sheet, 1, 1, "x"); });
        FAIL();
    } catch (const AutomationError& e) {
        EXPECT_TRUE(e.description().startsWith("Не удалось записать книгу в папку «" +
                                               settings_.documentsFolder + "»: "));
    }
    EXPECT_TRUE(opened_.isEmpty());
    QFile::setPermissions(settings_.documentsFolder,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(Spreadsheet, AnApplicationNobodySeesKeepsNothing) {
    Dispatch app = application();
    app.get("Workbooks").call("Add");
    Dispatch sheet = app.get("Workbooks", {1}).get("Worksheets", {1});
    set(sheet, 1, 1, "x");
    app.release();
    EXPECT_TRUE(files().isEmpty());
    EXPECT_TRUE(opened_.isEmpty());
}

TEST_F(Spreadsheet, RejectedCalls) {
    struct Row {
        const char* what;
        std::function<void(Dispatch& app, Dispatch& sheet)> call;
        QString description;
    } rows[] = {
        {"unknown property", [](Dispatch& app, Dispatch&) { app.value("Caption"); },
         "Объект «Application» не поддерживает «Caption»"},
        {"unknown method", [](Dispatch& app, Dispatch&) { app.get("Workbooks").call("Open"); },
         "Объект «Workbooks» не поддерживает «Open»"},
        {"second workbook", [](Dispatch& app, Dispatch&) { app.get("Workbooks", {2}); },
         "Workbooks.Item: индекс выходит за пределы допустимого диапазона"},
        {"second sheet",
         [](Dispatch& app, Dispatch&) { app.get("Workbooks", {1}).get("Worksheets", {2}); },
         "Workbook.Worksheets: индекс выходит за пределы допустимого диапазона"},
        {"row 0",
         [](Dispatch&, Dispatch& sheet) {
             sheet.get("Cells", {0, 1});
         },
         "Range.Cells: индекс выходит за пределы допустимого диапазона"},
        {"column past the last",
         [](Dispatch&, Dispatch& sheet) {
             sheet.get("Cells", {1, 16385});
         },
         "Range.Cells: индекс выходит за пределы допустимого диапазона"},
        {"one index", [](Dispatch&, Dispatch& sheet) { sheet.get("Cells", {1}); },
         "Range.Cells: неверное число аргументов (1)"},
        {"fractional index",
         [](Dispatch&, Dispatch& sheet) {
             sheet.get("Cells", {1.5, 1});
         },
         "Range.Cells: недопустимое значение аргумента 1"},
        {"bad address",
         [](Dispatch&, Dispatch& sheet) { sheet.get("Cells").get("Range", {"A0:C2"}); },
         "Range.Range: недопустимое значение аргумента 1"},
        {"width 256",
         [](Dispatch&, Dispatch& sheet) { sheet.get("Columns", {1}).put("ColumnWidth", 256); },
         "Range.ColumnWidth: недопустимое значение"},
        {"width as text",
         [](Dispatch&, Dispatch& sheet) { sheet.get("Columns", {1}).put("ColumnWidth", "6"); },
         "Range.ColumnWidth: недопустимое значение"},
        {"alignment 12345",
         [](Dispatch&, Dispatch& sheet) {
             sheet.get("Range", {"A2:C2"}).put("HorizontalAlignment", 12345);
         },
         "Range.HorizontalAlignment: недопустимое значение"},
        {"text too long", [](Dispatch&, Dispatch& sheet) { set(sheet, 1, 1, QString(32768, 'x')); },
         "Range.Value: недопустимое значение"},
        {"whole sheet", [](Dispatch&, Dispatch& sheet) { sheet.get("Cells").put("Value", "x"); },
         "Range.Value: диапазон больше 65536 ячеек"},
        {"value of many cells",
         [](Dispatch&, Dispatch& sheet) { sheet.get("Range", {"A1:B1"}).value("Value"); },
         "Range.Value: читается только у одной ячейки"},
    };
    for (const Row& row : rows) {
        Dispatch app = application();
        app.get("Workbooks").call("Add");
        Dispatch sheet = app.get("Workbooks", {1}).get("Worksheets", {1});
        try {
            row.call(app, sheet);
            ADD_FAILURE() << row.what;
        } catch (const AutomationError& e) {
            EXPECT_EQ(e.description(), row.description) << row.what;
        }
    }
}

// A cell's reference, "C17".
QString ref(const char* column, int row) {
    return QString::fromLatin1(column) + QString::number(row);
}

// The date-time text the big sheet puts in row `r`.
QString rowTime(int r) {
    return QStringLiteral("01.01.2024 00:%1:%2")
        .arg(r / 60 % 60, 2, 10, QChar('0'))
        .arg(r % 60, 2, 10, QChar('0'));
}

TEST_F(Spreadsheet, BigSheetFilledFromTheTopReachesTheFileWhole) {
    // The rows go to a temporary file while the sheet is filled and are moved
    // under the workbook's name at the end: by a rename on the same file
    // system, by a copy from another one.
    const bool otherFileSystem = QFileInfo(QStringLiteral("/dev/shm")).isWritable();
    for (const bool elsewhere : {false, true}) {
        if (elsewhere && !otherFileSystem)
            continue;
        QTemporaryDir shm(QStringLiteral("/dev/shm/velmora-test-XXXXXX"));
        if (elsewhere) {
            ASSERT_TRUE(shm.isValid());
            settings_.documentsFolder = shm.path();
        }
        constexpr int kRows = 3000;
        fillAndRelease([](Dispatch& sheet) {
            sheet.get("Columns", {1}).put("ColumnWidth", 6.14);
            set(sheet, 1, 1, "Номер устройства: 7");
            sheet.get("Range", {"A2:C2"}).put("HorizontalAlignment", excel::xlCenter);
            for (int r = 2; r <= kRows; ++r) {
                set(sheet, r, 1, QString::number(r));
                set(sheet, r, 2, rowTime(r));
                set(sheet, r, 3, QStringLiteral("строка %1").arg(r));
            }
            // widths are the sheet's, not a row's: they may come last
            sheet.get("Columns", {"C"}).put("ColumnWidth", 43.86);
        });
        ASSERT_EQ(files().size(), 1) << elsewhere;
        const XlsxReadBack x = XlsxReadBack::read(settings_.documentsFolder + "/" + files()[0]);
        ASSERT_TRUE(x.ok) << x.error.toStdString();
        ASSERT_EQ(x.rows.size(), kRows);
        EXPECT_EQ(x.cell("A1")->value, "Номер устройства: 7");
        for (int r = 2; r <= kRows; ++r) {
            const auto *a = x.cell(ref("A", r)), *b = x.cell(ref("B", r)), *c = x.cell(ref("C", r));
            ASSERT_TRUE(a && b && c) << r;
            EXPECT_EQ(a->value, QString::number(r));
            EXPECT_EQ(shownDateTime(b->value), rowTime(r));
            EXPECT_EQ(c->value, QStringLiteral("строка %1").arg(r));
        }
        for (const char* cell : {"A2", "B2", "C2"})
            EXPECT_EQ(x.horizontal(cell), "center") << cell;
        EXPECT_EQ(x.horizontal("A3"), "");
        EXPECT_EQ(x.columnWidth(1), 6.14);
        EXPECT_EQ(x.columnWidth(3), 43.86);
        QDir(settings_.documentsFolder).removeRecursively();
    }
}

TEST_F(Spreadsheet, RowsAlreadyInTheFileAreRefusedNotLost) {
    // Row 2000 written: rows from 977 on are still open, rows above are in the file.
    const QString handedOver =
        "строка 976 уже записана в файл книги; лист больше 1024 строк заполняется сверху вниз";
    struct Row {
        const char* what;
        std::function<void(Dispatch& sheet)> call;
        QString description; // empty: the call is taken
    } rows[] = {
        {"value into the last open row", [](Dispatch& s) { set(s, 977, 4, "поздно, но можно"); },
         ""},
        {"value read from an open row",
         [](Dispatch& s) {
             s.get("Cells", {1500, 1}).value("Value");
         },
         ""},
        {"value into a row in the file", [](Dispatch& s) { set(s, 976, 4, "x"); },
         "Range.Value: " + handedOver},
        {"value read from a row in the file",
         [](Dispatch& s) {
             s.get("Cells", {976, 1}).value("Value");
         },
         "Range.Value: " + handedOver},
        {"range starting in the file",
         [](Dispatch& s) {
             s.get("Range", {"A976:B977"}).put("HorizontalAlignment", excel::xlLeft);
         },
         "Range.HorizontalAlignment: " + handedOver},
        {"alignment read from a row in the file",
         [](Dispatch& s) {
             s.get("Cells", {976, 1}).value("HorizontalAlignment");
         },
         "Range.HorizontalAlignment: " + handedOver},
    };
    for (const Row& row : rows) {
        bool refused = false;
        fillAndRelease([&](Dispatch& sheet) {
            for (int r = 1; r <= 2000; ++r)
                set(sheet, r, 1, QString::number(r));
            try {
                row.call(sheet);
            } catch (const AutomationError& e) {
                refused = true;
                EXPECT_EQ(e.description(), row.description) << row.what;
            }
        });
        EXPECT_EQ(refused, !row.description.isEmpty()) << row.what;
        const XlsxReadBack x = XlsxReadBack::read(settings_.documentsFolder + "/" + files().last());
        ASSERT_TRUE(x.ok) << x.error.toStdString();
        EXPECT_EQ(x.rows.size(), 2000) << row.what;
        EXPECT_EQ(x.cell("A976")->value, "976") << row.what;
        QDir(settings_.documentsFolder).removeRecursively();
    }
}

TEST_F(Spreadsheet, SmallSheetTakesItsRowsInAnyOrder) {
    Dispatch kept;
    fillAndRelease([&](Dispatch& sheet) {
        set(sheet, 1024, 3, "последняя");
        set(sheet, 1, 1, "Заголовок после строк");
        EXPECT_EQ(sheet.get("Cells", {1024, 3}).value("Value"), QVariant("последняя"));
        kept = sheet.get("Cells", {5, 5});
    });
    const XlsxReadBack x = XlsxReadBack::read(settings_.documentsFolder + "/" + files()[0]);
    ASSERT_TRUE(x.ok) << x.error.toStdString();
    EXPECT_EQ(x.rows, (QStringList{"1", "1024"}));
    EXPECT_EQ(x.cell("C1024")->value, "последняя");
    EXPECT_EQ(x.cell("A1")->value, "Заголовок после строк");
    try {
        kept.put("Value", "после записи");
        ADD_FAILURE() << "a workbook in its file took a cell";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.description(), "Range.Value: книга уже записана в файл");
    }
}

TEST_F(Spreadsheet, ValuesReadBackThroughTheServer) {
    Dispatch app = application();
    app.get("Workbooks").call("Add");
    Dispatch sheet = app.get("Workbooks", {1}).get("Worksheets", {1});
    set(sheet, 5, 2, "05.06.2024 07:08:09");
    set(sheet, 5, 3, "42");
    sheet.get("Columns", {"C"}).put("ColumnWidth", 12.5);
    sheet.get("Range", {"$B$5"}).put("HorizontalAlignment", excel::xlRight);
    EXPECT_EQ(sheet.get("Cells", {5, 2}).value("Value"),
              QVariant(QDateTime(QDate(2024, 6, 5), QTime(7, 8, 9))));
    EXPECT_EQ(sheet.get("Range", {"C5"}).value("Value"), QVariant(42.0));
    EXPECT_EQ(sheet.get("Range", {"B4:C9"}).get("Cells", {2, 2}).value("Value"), QVariant(42.0));
    EXPECT_EQ(sheet.get("Columns", {3}).value("ColumnWidth"), QVariant(12.5));
    EXPECT_EQ(sheet.get("Cells", {5, 2}).value("HorizontalAlignment"), QVariant(excel::xlRight));
    EXPECT_EQ(app.get("Workbooks").value("Count"), QVariant(1));
    EXPECT_EQ(app.get("Workbooks", {1}).value("Name"), QVariant("Книга1"));
    EXPECT_EQ(sheet.value("Name"), QVariant("Лист1"));
}

TEST_F(Spreadsheet, RegisteredUnderItsName) {
    AutomationRegistry registry;
    SpreadsheetServer::registerIn(registry, settings_);
    Dispatch app = registry.create("Excel.Application");
    app.put("Visible", 1);
    app.get("Workbooks").call("Add");
    app.release();
    EXPECT_EQ(files(), QStringList{"Книга1 2024-01-02 03-04-05.xlsx"});
    EXPECT_EQ(opened_.size(), 1);
}

} // namespace
