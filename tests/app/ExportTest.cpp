// "Экспорт в Excel": the calls the export makes, compared whole with the expected
// lists in data/export/, and the workbook the built-in server makes of them.
#include "AppTestSupport.h"
#include "ExcelConstants.h"
#include "RecordingServer.h"
#include "SpreadsheetServer.h"
#include "support/XlsxReadBack.h"
#include "ui_TForm1.h"

#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QTemporaryDir>

namespace {

const QString kServer = "Excel.Application";

QStringList expectedCalls(const QString& name) {
    QFile f(QStringLiteral(TEST_DATA_DIR "/export/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("cannot read ") + f.fileName()};
    QStringList lines = QString::fromUtf8(f.readAll()).split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

// Compared whole; on a difference the calls made are left beside the test for a look.
void expectCalls(const QStringList& made, const QStringList& expected, const QString& name) {
    EXPECT_EQ(made.size(), expected.size()) << name.toStdString();
    for (qsizetype i = 0; i < std::min(made.size(), expected.size()); ++i) {
        if (made[i] != expected[i]) {
            ADD_FAILURE() << name.toStdString() << " line " << i + 1 << ": made\n  "
                          << made[i].toStdString() << "\nexpected\n  " << expected[i].toStdString();
            break;
        }
    }
    if (made != expected) {
        QFile out(name + QStringLiteral(".made"));
        if (out.open(QIODevice::WriteOnly))
            out.write((made.join('\n') + '\n').toUtf8());
    }
}

// Every text the table shows, row by row.
QStringList tableTexts(const EventTableModel& model) {
    QStringList t;
    for (int r = 0; r < model.rowCount(); ++r)
        for (int c = 0; c < model.columnCount(); ++c)
            t << model.data(model.index(r, c), Qt::DisplayRole).toString();
    return t;
}

class Export : public AppTest {
protected:
    std::unique_ptr<TForm1> makeForm() {
        AppEnvironment env;
        env.dialogs = &dialogs;
        env.libraryPath = IBFS32_PATH;
        env.clock = datetime::fixedClock(kFixedNow);
        env.automation = registry;
        auto form = std::make_unique<TForm1>(env);
        form->createDialogs();
        return form;
    }

    // A garage-variant tablet filled by the simulated controller from a fixed seed,
    // its clock stopped: every read-out dates the 124 events alike.
    void stoppedClockTablet() {
        ASSERT_EQ(sim("new full --serial 0A1B2C3D4E00"), 0);
        ASSERT_EQ(sim("command full"), 0);
        const std::vector<uint8_t> dumped = dump("full");
        ASSERT_EQ(dumped.size(), TabletImage::kSize);
        TabletImage image(dumped);
        image.bytes()[0x201] = 0x00; // control register: oscillator off
        image.setClock(1700000000);
        const std::string file = (dir_ / "full.img").string();
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.bytes().data()), TabletImage::kSize);
        ASSERT_EQ(sim("load full " + file), 0);
        ASSERT_EQ(sim("controller full --variant garage --seed 11"), 0);
        ASSERT_EQ(sim("put full"), 0);
    }

    std::unique_ptr<TForm1> formWithFullList() {
        stoppedClockTablet();
        auto form = makeForm();
        EXPECT_TRUE(readOut(*form));
        EXPECT_NE(form->events(), nullptr);
        EXPECT_EQ(form->events() ? form->events()->count() : 0, 124);
        dialogs.shown.clear();
        return form;
    }

    std::shared_ptr<AutomationRegistry> registry = std::make_shared<AutomationRegistry>();
    RecordingServer server;
};

class RecordedExport : public Export {
protected:
    void SetUp() override {
        Export::SetUp();
        server.registerIn(*registry, kServer);
    }
};

TEST_F(RecordedExport, BeforeAnyEventsTitleAndHeaderOnly) {
    auto form = makeForm();
    EXPECT_TRUE(form->ui->MenuExportExcel->isEnabled());
    form->ui->MenuExportExcel->trigger();
    expectCalls(server.lines, expectedCalls("empty.calls"), "empty.calls");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(RecordedExport, FullListFromTheToolbarButton) {
    auto form = formWithFullList();
    ASSERT_NE(form->events(), nullptr);
    form->ui->SpeedButExport->click();
    expectCalls(server.lines, expectedCalls("full-124.calls"), "full-124.calls");
    EXPECT_TRUE(dialogs.shown.empty());

    // the title is the status panel's text, each row the table's texts as shown
    EXPECT_EQ(server.cellValues.at({1, 1}), QVariant(form->statusPanel(0)->text()));
    const EventTableModel& m = *form->model();
    const int columns[] = {EventTableModel::Number, EventTableModel::Time, EventTableModel::Info,
                           EventTableModel::Note};
    for (int r = 0; r < m.rowCount(); ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(server.cellValues.at({r + 3, c + 1}),
                      QVariant(m.data(m.index(r, columns[c]), Qt::DisplayRole).toString()))
                << "row " << r + 3 << " column " << c + 1;
    EXPECT_EQ(server.cellValues.size(), 4u + 1 + 4 * 124);
}

TEST_F(RecordedExport, TwoExportsTwoWholeSequences) {
    auto form = formWithFullList();
    form->ui->MenuExportExcel->trigger();
    form->ui->MenuExportExcel->trigger();
    const QStringList one = expectedCalls("full-124.calls");
    expectCalls(server.lines, one + one, "twice.calls");
}

TEST_F(RecordedExport, ACallFailingMidwayStopsReportsOnceAndChangesNothing) {
    auto form = formWithFullList();
    const EventCollection* list = form->events();
    const QStringList table = tableTexts(*form->model());
    const QStringList whole = expectedCalls("full-124.calls");
    // the information text of the second event
    const qsizetype failing =
        whole.indexOf(QRegularExpression(R"(^#\d+\.get Cells\(int 4, int 3\).*)")) + 1;
    ASSERT_GT(failing, 0);
    server.failAt = static_cast<int>(failing);
    form->ui->MenuExportExcel->trigger();

    // the failed call, then every object still held goes back: the cell, then
    // the header range, all cells, sheet, workbook and application as at the end
    QStringList expected = whole.mid(0, failing + 1);
    expected << whole[failing].section('.', 0, 0) + ".release";
    expected << whole.mid(whole.size() - 5);
    expectCalls(server.lines, expected, "failing.calls");
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].text, "Сервер отклонил вызов");
    EXPECT_EQ(dialogs.shown[0].caption, QGuiApplication::applicationDisplayName());
    EXPECT_EQ(dialogs.shown[0].icon, UserDialogs::Icon::Error);
    EXPECT_EQ(dialogs.shown[0].buttons, UserDialogs::Buttons::Ok);
    EXPECT_EQ(dialogs.shown[0].owner, form.get());
    EXPECT_EQ(form->events(), list);
    EXPECT_EQ(tableTexts(*form->model()), table);
    EXPECT_TRUE(form->ui->InfoGrid->isVisibleTo(form.get()));
}

// The built-in server behind the same export, writing into a folder of the test.
class WorkbookExport : public Export {
protected:
    void SetUp() override {
        Export::SetUp();
        ASSERT_TRUE(docs_.isValid());
        settings_.documentsFolder = docs_.path();
        settings_.opener = [this](const QString& path) {
            opened_ << path;
            return true;
        };
        SpreadsheetServer::registerIn(*registry, settings_);
    }

    XlsxReadBack exported() {
        const QStringList files = QDir(docs_.path()).entryList(QDir::Files);
        EXPECT_EQ(files.size(), 1);
        if (files.size() != 1)
            return {};
        const QString file = docs_.path() + "/" + files[0];
        EXPECT_EQ(opened_, QStringList{file});
        return XlsxReadBack::read(file);
    }

    void expectHeader(const XlsxReadBack& x) {
        const QString header[] = {"№", "Время", "Информация", "Примечание"};
        const QString refs[] = {"A2", "B2", "C2", "D2"};
        for (int c = 0; c < 4; ++c) {
            const auto* cell = x.cell(refs[c]);
            ASSERT_NE(cell, nullptr) << c;
            EXPECT_TRUE(cell->isText()) << cell->type.toStdString();
            EXPECT_EQ(cell->value, header[c]);
        }
        for (const char* ref : {"A2", "B2", "C2"})
            EXPECT_EQ(x.horizontal(ref), "center") << ref;
        EXPECT_EQ(x.horizontal("D2"), "");
        EXPECT_EQ(x.columnWidth(1), 6.14);
        EXPECT_EQ(x.columnWidth(2), 16.29);
        EXPECT_EQ(x.columnWidth(3), 43.86);
        EXPECT_EQ(x.columnWidth(4), std::nullopt);
    }

    QTemporaryDir docs_;
    SpreadsheetServer::Settings settings_;
    QStringList opened_;
};

TEST_F(WorkbookExport, TheSheetShowsWhatTheTableShows) {
    auto form = formWithFullList();
    ASSERT_NE(form->events(), nullptr);
    form->ui->MenuExportExcel->trigger();
    EXPECT_TRUE(dialogs.shown.empty());
    const XlsxReadBack x = exported();
    ASSERT_TRUE(x.ok) << x.error.toStdString();

    ASSERT_NE(x.cell("A1"), nullptr);
    EXPECT_EQ(x.cell("A1")->value, form->statusPanel(0)->text());
    expectHeader(x);
    EXPECT_EQ(x.rows.size(), 2 + 124);
    const EventTableModel& m = *form->model();
    int notes = 0;
    for (int r = 0; r < m.rowCount(); ++r) {
        const auto shown = [&](int column) {
            return m.data(m.index(r, column), Qt::DisplayRole).toString();
        };
        const QString row = QString::number(r + 3);
        const auto* number = x.cell("A" + row);
        ASSERT_NE(number, nullptr) << r;
        EXPECT_EQ(number->type, "") << "a number";
        EXPECT_EQ(number->value, shown(EventTableModel::Number));
        const auto* time = x.cell("B" + row);
        ASSERT_NE(time, nullptr) << r;
        EXPECT_EQ(time->type, "") << "a date-time";
        EXPECT_EQ(x.numberFormat(*time), "dd.mm.yyyy hh:mm:ss");
        EXPECT_EQ(QString::fromStdString(datetime::format(time->value.toDouble())),
                  shown(EventTableModel::Time));
        const auto* info = x.cell("C" + row);
        ASSERT_NE(info, nullptr) << r;
        EXPECT_TRUE(info->isText()) << info->type.toStdString();
        EXPECT_EQ(info->value, shown(EventTableModel::Info));
        const auto* note = x.cell("D" + row);
        if (shown(EventTableModel::Note).isEmpty()) {
            EXPECT_EQ(note, nullptr) << r;
        } else {
            ++notes;
            ASSERT_NE(note, nullptr) << r;
            EXPECT_EQ(note->value, shown(EventTableModel::Note));
        }
    }
    EXPECT_GT(notes, 0) << "the list carries notes and empty ones";
    EXPECT_LT(notes, 124);
}

TEST_F(WorkbookExport, BeforeAnyEventsTitleAndHeaderOnly) {
    auto form = makeForm();
    form->ui->MenuExportExcel->trigger();
    EXPECT_TRUE(dialogs.shown.empty());
    const XlsxReadBack x = exported();
    ASSERT_TRUE(x.ok) << x.error.toStdString();
    EXPECT_EQ(x.rows, QStringList{"2"}) << "the title cell is empty before a read-out";
    EXPECT_EQ(x.cells.size(), 4u);
    expectHeader(x);
}

TEST_F(Export, FailuresReachTheGeneralErrorReport) {
    QTemporaryDir docs;
    ASSERT_TRUE(docs.isValid());
    QFile plain(docs.path() + "/plain");
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    int opened = 0;
    const auto withServer = [&](const QString& folder, bool canOpen) {
        auto r = std::make_shared<AutomationRegistry>();
        SpreadsheetServer::Settings s;
        s.documentsFolder = folder;
        s.opener = [&opened, canOpen](const QString&) {
            ++opened;
            return canOpen;
        };
        s.now = [] { return QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)); };
        SpreadsheetServer::registerIn(*r, s);
        return r;
    };
    struct Row {
        const char* what;
        std::shared_ptr<AutomationRegistry> registry;
        QString description;
        int opened;
    } rows[] = {
        {"no server", std::make_shared<AutomationRegistry>(),
         "Сервер автоматизации «Excel.Application» не зарегистрирован: недопустимая строка с "
         "указанием класса",
         0},
        {"documents folder not writable", withServer(plain.fileName() + "/Документы", true),
         "Не удалось записать книгу «Книга1»: не создаётся папка «" + plain.fileName() +
             "/Документы»",
         0},
        {"nothing to open it with", withServer(docs.path() + "/Документы", false),
         "Книга записана в файл «" + docs.path() +
             "/Документы/Книга1 2024-01-02 03-04-05.xlsx», но открыть её нечем: нет приложения "
             "для электронных таблиц",
         1},
    };
    for (const Row& row : rows) {
        registry = row.registry;
        opened = 0;
        dialogs.shown.clear();
        auto form = makeForm();
        form->ui->MenuExportExcel->trigger();
        ASSERT_EQ(dialogs.shown.size(), 1u) << row.what;
        EXPECT_EQ(dialogs.shown[0].text, row.description) << row.what;
        EXPECT_EQ(dialogs.shown[0].icon, UserDialogs::Icon::Error);
        EXPECT_EQ(dialogs.shown[0].owner, form.get());
        EXPECT_EQ(opened, row.opened) << row.what;
        EXPECT_EQ(form->events(), nullptr);
    }
}

} // namespace
