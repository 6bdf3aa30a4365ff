// The read-out controller without a window: its report for each judgement and
// for an adapter failing mid-read, the stale-result rule, Start, Stop and the
// readers' lives.
#include "ReadOutController.h"
#include "TabletDataLoader.h"
#include "events/DecoderTestSupport.h"
#include "support/CraftedTablet.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>

#include <cstdio>
#include <dlfcn.h>
#include <fstream>
#include <functional>

namespace {

const std::string kRemoved = "Электронный ключ убран до окончания чтения. Попробуйте еще раз.";
const std::string kSum = "Ошибка проверки контрольной суммы памяти событий.\r\n Данные считаны "
                         "некорректно.\r\n Попробуйте еще раз.";
const std::string kFirst =
    "Ошибка проверки CRC первого заголовка.\n\n Возможно таблетка не содержит команду "
    "чтения или имеет неправильный формат.\r\n Если вы уверены в том что таблетка правильно "
    "записана попытайтесь еще раз.";
const std::string kSecond = "Ошибка проверки CRC второго заголовка.\r\n Данные на таблетку не "
                            "записаны или прочитаны некорректно.\r\nПопытайтесь прочитать данные "
                            "еще раз";

bool waitFor(const std::function<bool()>& done, int ms = 10000) {
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

class Controller : public CraftedTabletTest {
protected:
    std::unique_ptr<ReadOutController> make(const QString& library = IBFS32_PATH) {
        auto c = std::make_unique<ReadOutController>(library, datetime::fixedClock(kTestNow));
        connect(*c);
        EXPECT_EQ(c->prepare(), BindingStatus::Ok);
        return c;
    }
    void connect(ReadOutController& c) {
        QObject::connect(&c, &ReadOutController::finished,
                         [this](const ReadOutReport& r) { reports.push_back(r); });
    }
    // Start, and wait for the report.
    ReadOutReport readOut(ReadOutController& c) {
        const size_t before = reports.size();
        EXPECT_EQ(c.start(), BindingStatus::Ok);
        EXPECT_TRUE(waitFor([&] { return reports.size() > before; }));
        return reports.empty() ? ReadOutReport{} : reports.back();
    }
    std::vector<ReadOutReport> reports;
};

TEST_F(Controller, EachJudgementResultIsItsReport) {
    const TabletImage good = craftedImage(7, {mainWord(0, 8, 1000), mainWord(13, 11, 900)});
    TabletImage brokenSum = good;
    brokenSum.bytes()[200] ^= 0x01;
    // other families are not checked: a broken header passes unseen
    auto unchecked = [](uint8_t device) {
        TabletImage image = craftedImage(device, {mainWord(0, 8, 1000), mainWord(13, 11, 900)});
        image.bytes()[15] ^= 0xFF;
        return image;
    };
    const struct Row {
        const char* name;
        TabletImage image;
        const char* newArgs;
        uint8_t result;
        const char* version;
        std::optional<std::string> error;
        bool tabletLines, unknownTablet, decodes;
    } rows[] = {
        {"4", good, "", 4, "Версия DS1994", std::nullopt, true, false, true},
        {"254", brokenSum, "", 254, "Версия DS1994", kSum, false, true, false},
        {"6", unchecked(7), "--model ds1994 --family 6", 6, "Версия DS1993", std::nullopt, false,
         false, true},
        {"6, device 0", unchecked(0), "--model ds1994 --family 6", 6, "Версия DS1993", std::nullopt,
         false, true, false},
        {"7", unchecked(8), "--model ds1994 --family 7", 7, "Версия DS1992", std::nullopt, false,
         false, true},
        {"255", unchecked(8), "--model ds1994 --family 21", 255, "Неизвестный номер версии",
         std::nullopt, false, false, true},
        {"unknown tablet", unchecked(3), "--model ds1994 --family 21", 255,
         "Неизвестный номер версии", std::nullopt, false, true, false},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        craftedTablet("t" + std::to_string(n++), row.image, row.newArgs);
        auto c = make();
        const ReadOutReport r = readOut(*c);
        EXPECT_EQ(r.kind, ReadOutReport::Kind::Judged);
        EXPECT_EQ(r.judgement.result, row.result);
        EXPECT_EQ(r.judgement.versionLine, row.version);
        EXPECT_EQ(r.judgement.errorMessage, row.error);
        EXPECT_EQ(r.endsReadOut(), row.error.has_value());
        EXPECT_EQ(r.judgement.tabletLines, row.tabletLines);
        EXPECT_EQ(r.judgement.unknownTablet, row.unknownTablet);
        EXPECT_EQ(r.decodes(), row.decodes);
        const auto log = c->decode(r);
        EXPECT_EQ(log.has_value(), row.decodes);
        if (row.tabletLines) {
            EXPECT_EQ(r.judgement.deviceLine, "Номер устройства: 7");
        }
        if (log) {
            EXPECT_EQ(log->origin(), EventLog::Origin::ReadOut);
            EXPECT_EQ(log->events().at(1).infoText, "Автоматика включена");
            // what the service report tells of the list: a checked tablet's serial and date
            const EventLog::Source& source = log->source();
            EXPECT_EQ(source.variant, r.judgement.variant);
            EXPECT_EQ(source.deviceNumber, row.image.deviceNumber());
            EXPECT_EQ(source.serial.has_value(), row.tabletLines);
            if (source.serial) {
                EXPECT_EQ(serialNumberText(*source.serial), r.judgement.serialLine);
            }
            EXPECT_EQ(source.tabletDate.has_value(), row.tabletLines);
            EXPECT_EQ(source.readOutTime, kTestNow);
        }
    }
}

TEST_F(Controller, RomOnlyButtonIsAnUnknownTablet) {
    ASSERT_EQ(sim("new r --family 1"), 0);
    ASSERT_EQ(sim("put r"), 0);
    auto c = make();
    const ReadOutReport r = readOut(*c);
    EXPECT_EQ(r.judgement.result, 255);
    EXPECT_EQ(r.judgement.versionLine, "Неизвестный номер версии");
    EXPECT_TRUE(r.judgement.unknownTablet);
    EXPECT_FALSE(r.decodes());
}

// The events of a read tablet against the rows the independent script's
// golden file gives for the same image.
TEST_F(Controller, DecodedEventsAreTheGoldenRows) {
    ASSERT_EQ(sim("new g"), 0);
    ASSERT_EQ(sim(std::string("load g ") + TEST_DATA_DIR + "/main-image.bin"), 0);
    ASSERT_EQ(sim("put g"), 0);
    auto c = make();
    const ReadOutReport r = readOut(*c);
    ASSERT_TRUE(r.decodes()) << r.judgement.errorMessage.value_or("");
    const auto log = c->decode(r);
    ASSERT_TRUE(log);
    std::ifstream golden(std::string(TEST_DATA_DIR) + "/golden/main-image.expected");
    std::vector<std::string> lines;
    for (std::string line; std::getline(golden, line);)
        lines.push_back(line);
    ASSERT_GT(lines.size(), 2u);
    EXPECT_EQ(lines[1], r.judgement.deviceLine);
    const size_t rows = lines.size() - 2;
    ASSERT_EQ(static_cast<size_t>(log->events().count()), rows);
    for (size_t i = 0; i < rows; ++i) {
        const EventInfo& e = log->events().at(static_cast<int>(i));
        // number, time (the clock runs on during the read: to the minute), type, info
        const std::string& g = lines[i + 2];
        const std::string time = datetime::format(e.time);
        const auto tab1 = g.find('\t'), tab2 = g.find('\t', tab1 + 1);
        EXPECT_EQ(g.substr(0, tab1), std::to_string(e.number)) << i;
        EXPECT_EQ(g.substr(tab1 + 1, 16), time.substr(0, 16)) << i;
        EXPECT_EQ(g.substr(tab2 + 1),
                  e.typeText.str() + "\t" + e.infoText.str() + "\t" + e.noteText.str())
            << i;
    }
}

TEST_F(Controller, TabletLiftedDuringTheReadIsNeverDecoded) {
    filledTablet("lift", "--variant main", "--clock 1582934400");
    auto c = make();
    ASSERT_TRUE(readOut(*c).decodes());
    const int cuts[] = {0,   1,   7,   8,   9,   12,  13,  14,  15,  16,  17,
                        40,  92,  93,  100, 200, 300, 400, 500, 511, 512, 513,
                        514, 515, 516, 517, 518, 519, 530, 543, 544};
    for (const int n : cuts) {
        ASSERT_EQ(sim("put lift"), 0);
        ASSERT_EQ(sim("fault remove-after=" + std::to_string(n)), 0);
        const ReadOutReport r = readOut(*c);
        EXPECT_EQ(r.kind, ReadOutReport::Kind::Judged) << n;
        EXPECT_EQ(r.judgement.errorMessage, kRemoved) << n;
        EXPECT_EQ(r.judgement.result, 254) << n;
        EXPECT_FALSE(r.decodes()) << n;
        c->stop();
    }
    ASSERT_EQ(sim("put lift"), 0);
    ASSERT_EQ(sim("fault none"), 0);
    EXPECT_TRUE(readOut(*c).decodes());
}

TEST_F(Controller, BitsFlippedOnTheWayFromTheTablet) {
    filledTablet("worn", "--variant main");
    const std::optional<std::string> decodes;
    const struct {
        const char* fault;
        std::optional<std::string> error; // none: it decodes
        bool unknownTablet;
    } rows[] = {
        {"flip-bits=1@3", kFirst, true},        {"flip-bits=1@8", kSecond, true},
        {"flip-bits=1@12", kSecond, true},      {"flip-bits=1@16", kSum, true},
        {"flip-bits=1@300", kSum, true},        {"flip-bits=1@511", kSum, true},
        {"flip-bits=2@0x200", decodes, false},  {"flip-bits=1@0x202", decodes, false},
        {"flip-bits=1@0x204", kRemoved, false}, {"flip-bits=1@0x206", kRemoved, false},
        {"flip-bits=4@0x20B", decodes, false},  {"flip-bits=1@0x21F", decodes, false},
    };
    for (const auto& row : rows) {
        ASSERT_EQ(sim(std::string("fault ") + row.fault), 0);
        auto c = make();
        const ReadOutReport r = readOut(*c);
        EXPECT_EQ(r.judgement.errorMessage, row.error) << row.fault;
        EXPECT_EQ(r.judgement.unknownTablet, row.unknownTablet) << row.fault;
        EXPECT_EQ(r.decodes(), !row.error) << row.fault;
    }
}

TEST_F(Controller, TheDateIsTheReadTabletsWithTheYearWidened) {
    const struct {
        const char* clock;
        int year, month, day;
    } rows[] = {
        {"0", 1970, 1, 1},          {"946684800", 2000, 1, 1},  {"1262304000", 2010, 1, 1},
        {"1293840000", 2011, 1, 1}, {"3124224000", 2069, 1, 1}, {"1582934400", 2020, 2, 29},
    };
    int n = 0;
    for (const auto& row : rows) {
        filledTablet("y" + std::to_string(n++), "--variant garage",
                     std::string("--clock ") + row.clock);
        auto c = make();
        const ReadOutReport r = readOut(*c);
        EXPECT_EQ(r.judgement.year, row.year) << row.clock;
        EXPECT_EQ(r.judgement.month, row.month) << row.clock;
        EXPECT_EQ(r.judgement.day, row.day) << row.clock;
    }
}

TEST_F(Controller, OfTwoTabletsTheReadOneDatesTheReport) {
    // told apart by their device numbers; the search finds them in ROM order
    QStringList read;
    int n = 0;
    for (const auto& [lateSerial, earlySerial] :
         {std::pair{"000000000001", "000000000002"}, std::pair{"000000000002", "000000000001"}}) {
        const std::string late = "late" + std::to_string(n), early = "early" + std::to_string(n++);
        filledTablet(late, "--variant garage --device 2",
                     std::string("--clock 1582934400 --serial ") + lateSerial);
        filledTablet(early, "--variant garage --device 5",
                     std::string("--clock 1262304000 --serial ") + earlySerial);
        ASSERT_EQ(sim("put " + late + " " + early), 0);
        auto c = make();
        const ReadOutOutcome j = readOut(*c).judgement;
        const bool isLate = j.deviceLine == "Номер устройства: 2";
        EXPECT_TRUE(isLate || j.deviceLine == "Номер устройства: 5") << j.deviceLine;
        EXPECT_EQ(j.year, isLate ? 2020 : 2010);
        EXPECT_EQ(j.day, isLate ? 29 : 1);
        read << QString::fromStdString(j.deviceLine);
    }
    EXPECT_NE(read[0].toStdString(), read[1].toStdString()) << "each tablet was read once";
}

TEST_F(Controller, AStoppedOrReplacedReadersResultIsNotHeard) {
    auto c = make();
    ASSERT_EQ(c->start(), BindingStatus::Ok);
    // the reader has posted; its result waits in the queue when Stop comes
    ASSERT_TRUE(c->reader()->wait(10000));
    c->stop();
    QCoreApplication::processEvents();
    EXPECT_TRUE(reports.empty());
    // replaced: a second Start after the first read has ended makes a new reader
    ASSERT_EQ(c->start(), BindingStatus::Ok);
    TabletDataLoader* first = c->reader();
    ASSERT_TRUE(first->wait(10000));
    ASSERT_EQ(c->start(), BindingStatus::Ok);
    ASSERT_NE(c->reader(), first);
    ASSERT_TRUE(waitFor([&] { return !reports.empty(); }));
    ASSERT_TRUE(c->reader()->wait(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(reports.size(), 1u) << "only the current reader is heard";
}

TEST_F(Controller, StopWhileWaitingThenATabletTouchedReportsNothing) {
    ASSERT_EQ(sim("remove"), 0);
    auto c = make();
    ASSERT_EQ(c->start(), BindingStatus::Ok);
    c->stop();
    ASSERT_EQ(sim("put demo"), 0);
    EXPECT_FALSE(c->stopAndWait()) << "it was stopped already";
    QCoreApplication::processEvents();
    EXPECT_TRUE(reports.empty());
}

TEST_F(Controller, StopAndWaitEndsAReaderWaitingForATablet) {
    ASSERT_EQ(sim("remove"), 0);
    auto c = make();
    ASSERT_EQ(c->start(), BindingStatus::Ok);
    EXPECT_TRUE(c->stopAndWait());
    EXPECT_TRUE(c->reader()->terminationRequested());
    EXPECT_TRUE(c->reader()->isFinished());
    EXPECT_FALSE(c->stopAndWait());
}

TEST_F(Controller, DriverFailuresOnStartAndTheNextStartTriesAgain) {
    auto c = make();
    ASSERT_TRUE(readOut(*c).decodes());
    const quint64 first = c->reader()->id();
    ASSERT_TRUE(readOut(*c).decodes());
    EXPECT_GT(c->reader()->id(), first);
    ASSERT_EQ(sim("fault no-port-driver"), 0);
    EXPECT_EQ(c->start(), BindingStatus::DriverFailure);
    ASSERT_EQ(sim("fault setup=0"), 0);
    EXPECT_EQ(c->start(), BindingStatus::SetupFailure);
    // the failed reader never runs: the next Start opens the driver again
    ASSERT_EQ(sim("fault none"), 0);
    EXPECT_TRUE(readOut(*c).decodes());
    EXPECT_EQ(reports.size(), 3u);
}

// Against a driver whose search can be held and whose adapter can fail.
class ScriptedController : public Controller {
protected:
    void SetUp() override {
        Controller::SetUp();
        library_ = dlopen(IBFS32_SCRIPTED_PATH, RTLD_NOW);
        ASSERT_NE(library_, nullptr);
        auto fn = [this](const char* name) { return dlsym(library_, name); };
        blockSearch = reinterpret_cast<void (*)(bool)>(fn("scriptedTmexBlockSearch"));
        searching = reinterpret_cast<bool (*)()>(fn("scriptedTmexSearching"));
        openSessions = reinterpret_cast<int (*)()>(fn("scriptedTmexOpenSessions"));
        setupResult = reinterpret_cast<void (*)(int16_t)>(fn("scriptedTmexSetupResult"));
        searchResult = reinterpret_cast<void (*)(int16_t)>(fn("scriptedTmexSearchResult"));
        romResult = reinterpret_cast<void (*)(int16_t)>(fn("scriptedTmexRomResult"));
        touchesLeft = reinterpret_cast<void (*)(long)>(fn("scriptedTmexTouchesLeft"));
        searches = reinterpret_cast<long (*)()>(fn("scriptedTmexSearches"));
        ASSERT_TRUE(blockSearch && searching && openSessions && setupResult && searchResult &&
                    romResult && touchesLeft && searches);
    }
    void TearDown() override {
        if (library_) {
            blockSearch(false);
            EXPECT_TRUE(waitFor([] { return ReaderSlot::leftRunning() == 0; }));
            searchResult(0);
            romResult(1);
            touchesLeft(-1);
            setupResult(1);
            dlclose(library_);
        }
        Controller::TearDown();
    }
    std::unique_ptr<ReadOutController> make() { return Controller::make(IBFS32_SCRIPTED_PATH); }

    void* library_ = nullptr;
    void (*blockSearch)(bool) = nullptr;
    bool (*searching)() = nullptr;
    int (*openSessions)() = nullptr;
    void (*setupResult)(int16_t) = nullptr;
    void (*searchResult)(int16_t) = nullptr;
    void (*romResult)(int16_t) = nullptr;
    void (*touchesLeft)(long) = nullptr;
    long (*searches)() = nullptr;
};

TEST_F(ScriptedController, AnAdapterFailingMidReadIsItsOwnReport) {
    const struct {
        const char* name;
        int16_t rom;
        long touches; // bytes answered before the adapter fails; -1 never
        ReadOutReport::Kind kind;
    } rows[] = {
        {"byte 100 of the memory", 1, 103, ReadOutReport::Kind::AdapterFailure},
        {"the read command", 1, 0, ReadOutReport::Kind::AdapterFailure},
        {"the clock read", 1, 3 + 544 + 2, ReadOutReport::Kind::AdapterFailure},
        {"the ROM code", tmex::kPortError, -1, ReadOutReport::Kind::AdapterFailure},
        {"no failure", 1, -1, ReadOutReport::Kind::Judged},
    };
    searchResult(1); // a device answers the search
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        romResult(row.rom);
        touchesLeft(row.touches);
        auto c = make();
        const ReadOutReport r = readOut(*c);
        EXPECT_EQ(r.kind, row.kind);
        EXPECT_EQ(r.endsReadOut(), row.kind == ReadOutReport::Kind::AdapterFailure);
        // nothing is judged, so nothing is decoded
        EXPECT_FALSE(r.judgement.errorMessage);
        EXPECT_FALSE(r.decodes());
        EXPECT_FALSE(c->decode(r));
    }
}

TEST_F(ScriptedController, StartRightAfterStopWaitsForTheOldReaderWithoutBlocking) {
    blockSearch(true);
    auto c = make();
    ASSERT_EQ(c->start(), BindingStatus::Ok);
    ASSERT_TRUE(waitFor([&] { return searching(); }));
    TabletDataLoader* old = c->reader();
    c->stop();
    // the old reader is held in the driver: Start returns all the same
    ASSERT_EQ(c->start(), BindingStatus::Ok);
    TabletDataLoader* next = c->reader();
    ASSERT_NE(next, old);
    EXPECT_TRUE(next->suspended()) << "two readers never search one port at once";
    // a second Start while it waits changes nothing
    ASSERT_EQ(c->start(), BindingStatus::Ok);
    EXPECT_EQ(c->reader(), next);
    EXPECT_TRUE(next->suspended());
    // once the old one has ended, the new one searches
    blockSearch(false);
    EXPECT_TRUE(waitFor([&] { return !next->suspended(); }));
    EXPECT_EQ(c->reader(), next);
    EXPECT_EQ(openSessions(), 1) << "the old reader ended its session";
    c->release();
    EXPECT_EQ(openSessions(), 0);
}

TEST_F(ScriptedController, ADriverFailureWhileTheOldReaderEndsLeavesItsLibraryLoaded) {
    blockSearch(true);
    auto c = make();
    // from here only the program holds the library
    dlclose(library_);
    library_ = nullptr;
    ASSERT_EQ(c->start(), BindingStatus::Ok);
    ASSERT_TRUE(waitFor([&] { return searching(); }));
    c->stop();
    setupResult(0);
    EXPECT_EQ(c->start(), BindingStatus::SetupFailure); // it unloads its library
    setupResult(1);
    // the old reader is still inside the library when it lets go
    blockSearch(false);
    ASSERT_TRUE(waitFor([&] { return !searching(); }));
    c->release();
    EXPECT_EQ(openSessions(), 0);
}

TEST_F(ScriptedController, ReleaseLeavesAReaderStuckInTheDriverBehind) {
    blockSearch(true);
    auto c = make();
    ASSERT_EQ(c->start(), BindingStatus::Ok);
    ASSERT_TRUE(waitFor([&] { return searching(); }));
    c->release(); // returns although the reader never ends
    EXPECT_EQ(c->reader(), nullptr);
    EXPECT_EQ(ReaderSlot::leftRunning(), 1);
    c.reset();
    // the driver lets go long after the controller has gone: the reader ends
    // without a report and ends its session
    blockSearch(false);
    ASSERT_TRUE(waitFor([] { return ReaderSlot::leftRunning() == 0; }));
    EXPECT_EQ(openSessions(), 0);
    EXPECT_TRUE(reports.empty());
}

TEST_F(ScriptedController, AnAdapterErrorPausesTheSearchInsteadOfSpinning) {
    searchResult(tmex::kPortError); // an unplugged adapter answers at once
    auto c = make();
    ASSERT_EQ(c->start(), BindingStatus::Ok);
    ASSERT_TRUE(waitFor([&] { return searches() >= 2; })) << "it keeps asking";
    const long before = searches();
    QThread::msleep(1000);
    // a pause after every error: a few searches a second, not a busy loop
    EXPECT_LE(searches() - before, 1000 / TabletDataLoader::kErrorPauseMs + 1);
    c->release();
    EXPECT_TRUE(waitFor([] { return ReaderSlot::leftRunning() == 0; }));
    EXPECT_EQ(openSessions(), 0);
}

TEST_F(ScriptedController, EveryReaderEndsItsSession) {
    auto c = make();
    EXPECT_EQ(openSessions(), 1) << "the start-up reader";
    c->stop(); // before the first Start
    EXPECT_EQ(c->start(), BindingStatus::Ok);
    EXPECT_EQ(openSessions(), 1) << "the start-up reader never ran";
    c->stop();
    c->release();
    EXPECT_EQ(openSessions(), 0);
}

} // namespace
