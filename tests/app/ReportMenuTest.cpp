// "Файл → Отчет" in the window: where it stands, the header a read-out gives
// the report, the PDF through the file dialog, the print and preview dialogs,
// and the progress dialog that stops a long report. The pages themselves are
// the report layer's tests.
#include "ReportMenu.h"
#include "AppTestSupport.h"
#include "FilterBar.h"
#include "TStatusForm.h"
#include "ui_TStatusForm.h"

#include <QDate>
#include <QLineEdit>
#include <QMenu>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTimer>

namespace {

QString pdfText(const QString& file) {
    QProcess p;
    p.start(QStringLiteral(PDFTOTEXT_PATH), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    p.waitForFinished(120000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

EventLog listOf(int count) {
    EventCollection events;
    for (int i = 0; i < count; ++i) {
        EventInfo e;
        e.number = i + 1;
        e.time = 45292.0 + i / 1440.0;
        e.infoText = "Пожар в зоне 1";
        events.append(std::move(e));
    }
    return EventLog(std::move(events), nullptr, EventLog::Origin::File);
}

class ReportMenuTest : public AppTest {
protected:
    void show(TForm1& form, EventLog log) {
        form.installLog(std::move(log));
        form.showData(true);
    }
    QString path(const QString& name) const { return out_.filePath(name); }
    QTemporaryDir out_;
};

TEST_F(ReportMenuTest, StandsUnderFileAndIsThereWhenThereIsAListToSave) {
    auto form = makeForm();
    auto* menu = form->ui->N1->findChild<QMenu*>(QStringLiteral("MenuReport"));
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->title(), QStringLiteral("Отчет"));
    QStringList texts;
    for (QAction* a : menu->actions())
        texts << a->text();
    EXPECT_EQ(texts, (QStringList{"Предварительный просмотр…", "Печать…", "Сохранить в PDF…"}));
    EXPECT_EQ(form->reportMenu().printAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    const QList<QAction*> file = form->ui->N1->actions();
    // the two exports, then the report
    EXPECT_EQ(file.indexOf(menu->menuAction()), file.indexOf(form->ui->MenuExportExcel) + 2);

    EXPECT_FALSE(form->reportMenu().pdfAction()->isEnabled());
    show(*form, listOf(3));
    EXPECT_TRUE(form->reportMenu().pdfAction()->isEnabled());
    EXPECT_TRUE(form->reportMenu().printAction()->isEnabled());
}

TEST_F(ReportMenuTest, AReadOutsReportCarriesTheTabletAndTheReadOutTime) {
    filledTablet("t", "--variant garage --device 3", "--serial 0A1B2C3D4E00");
    auto form = makeForm();
    ASSERT_TRUE(readOut(*form));
    const QString file = path(QStringLiteral("отчет.pdf"));
    dialogs.fileNames = {file};
    form->reportMenu().pdfAction()->trigger();
    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_TRUE(dialogs.fileDialogs[0].save);
    const QString text = pdfText(file);
    for (const QString& line :
         {QStringLiteral("Номер устройства: 3 (Гаражный вариант)"),
          form->statusForm()->ui->SerialEdit->text(),
          QStringLiteral("Дата на таблетке: ") +
              QDateTime::currentDateTimeUtc().date().toString(QStringLiteral("dd.MM.yyyy")),
          QStringLiteral("Считано: 01.01.2024 12:00:00"), QStringLiteral("Событий в отчете: 124"),
          QStringLiteral("Стр. 3 из 3")})
        EXPECT_TRUE(text.contains(line)) << line.toStdString();
}

// The report shows what the table shows: the filter's events in the sorted
// order of the table, counted against the whole list.
TEST_F(ReportMenuTest, AFilteredSortedTableGivesItsEventsInItsOrder) {
    EventCollection events;
    const char* texts[] = {"Пожар в зоне 1", "Неисправность шлейфа", "Пожар в зоне 2", "Питание",
                           "Пожар в зоне 3"};
    for (int i = 0; i < 5; ++i) {
        EventInfo e;
        e.number = i + 1;
        e.time = 45292.0 + i / 24.0;
        e.infoText = texts[i];
        events.append(std::move(e));
    }
    auto form = makeForm();
    show(*form, EventLog(std::move(events), nullptr, EventLog::Origin::File));
    form->filterBar().openBar();
    form->findChild<QLineEdit*>(QStringLiteral("FilterSearch"))->setText(QStringLiteral("ПОЖАР"));
    form->model()->setSort(EventView::SortKey::Number, true);
    const QString file = path(QStringLiteral("filtered.pdf"));
    dialogs.fileNames = {file};
    form->reportMenu().pdfAction()->trigger();
    const QString text = pdfText(file);
    EXPECT_TRUE(text.contains(QStringLiteral("Событий в отчете: 3 из 5")));
    const qsizetype zone3 = text.indexOf(QStringLiteral("Пожар в зоне 3"));
    const qsizetype zone2 = text.indexOf(QStringLiteral("Пожар в зоне 2"));
    const qsizetype zone1 = text.indexOf(QStringLiteral("Пожар в зоне 1"));
    EXPECT_TRUE(zone3 >= 0 && zone3 < zone2 && zone2 < zone1) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Неисправность шлейфа")));
    EXPECT_FALSE(text.contains(QStringLiteral("Питание")));
}

TEST_F(ReportMenuTest, PrintsOnThePrinterThePrintDialogChose) {
    auto form = makeForm();
    show(*form, listOf(124));
    const QString file = path(QStringLiteral("printed.pdf"));
    dialogs.onExec = [&](QDialog& d) {
        QPrinter* printer = static_cast<QPrintDialog&>(d).printer();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(file);
        return int(QDialog::Accepted);
    };
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(dialogs.executed, QStringList{"ReportPrint"});
    EXPECT_TRUE(pdfText(file).contains(QStringLiteral("Стр. 3 из 3")));

    dialogs.onExec = [](QDialog&) { return int(QDialog::Rejected); };
    QFile::remove(file);
    form->reportMenu().print();
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(ReportMenuTest, ThePreviewShowsEveryPage) {
    auto form = makeForm();
    show(*form, listOf(1000));
    int pages = 0;
    dialogs.onExec = [&](QDialog& d) {
        auto* preview = d.findChild<QPrintPreviewWidget*>();
        preview->updatePreview();
        pages = preview->pageCount();
        return int(QDialog::Accepted);
    };
    form->reportMenu().preview();
    EXPECT_EQ(dialogs.executed, QStringList{"ReportPreview"});
    EXPECT_EQ(pages, 20);
}

TEST_F(ReportMenuTest, ALongReportShowsItsProgressAndCancelLeavesNoFile) {
    auto form = makeForm();
    show(*form, listOf(100000));
    const QString file = path(QStringLiteral("long.pdf"));
    dialogs.fileNames = {file};
    QProgressDialog* seen = nullptr;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* progress = form->findChild<QProgressDialog*>(QStringLiteral("ReportProgress"));
        if (progress && progress->isVisible() && progress->value() > 0) {
            seen = progress;
            progress->cancel();
        }
    });
    poll.start(20);
    form->reportMenu().saveAsPdf();
    EXPECT_NE(seen, nullptr);
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_TRUE(QDir(out_.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ReportMenuTest, AFileThatCannotBeWrittenIsNamedInAnError) {
    auto form = makeForm();
    show(*form, listOf(3));
    dialogs.fileNames = {out_.path()};
    form->reportMenu().saveAsPdf();
    ASSERT_EQ(dialogs.texts(), QStringList{ReportMenu::cannotSaveMessage(out_.path())});
    EXPECT_EQ(dialogs.shown[0].icon, UserDialogs::Icon::Error);
}

} // namespace
