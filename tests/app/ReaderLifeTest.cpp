// Readers the window stops, replaces and leaves behind, against a driver whose
// search can be held as a stuck adapter would hold it.
#include "AppTestSupport.h"
#include "ui_TForm1.h"

#include <dlfcn.h>

namespace {

class ReaderLife : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        // a handle of the test's own on the library the window loads
        library_ = dlopen(IBFS32_SCRIPTED_PATH, RTLD_NOW);
        ASSERT_NE(library_, nullptr);
        blockSearch = reinterpret_cast<void (*)(bool)>(dlsym(library_, "scriptedTmexBlockSearch"));
        searching = reinterpret_cast<bool (*)()>(dlsym(library_, "scriptedTmexSearching"));
        openSessions = reinterpret_cast<int (*)()>(dlsym(library_, "scriptedTmexOpenSessions"));
        setupResult =
            reinterpret_cast<void (*)(int16_t)>(dlsym(library_, "scriptedTmexSetupResult"));
        searchResult =
            reinterpret_cast<void (*)(int16_t)>(dlsym(library_, "scriptedTmexSearchResult"));
        searches = reinterpret_cast<long (*)()>(dlsym(library_, "scriptedTmexSearches"));
        ASSERT_TRUE(blockSearch && searching && openSessions && setupResult && searchResult &&
                    searches);
    }
    void TearDown() override {
        if (library_) {
            blockSearch(false);
            EXPECT_TRUE(QTest::qWaitFor([] { return ReaderSlot::leftRunning() == 0; }, 10000));
            dlclose(library_);
        }
        AppTest::TearDown();
    }

    void* library_ = nullptr;
    void (*blockSearch)(bool) = nullptr;
    bool (*searching)() = nullptr;
    int (*openSessions)() = nullptr;
    void (*setupResult)(int16_t) = nullptr;
    void (*searchResult)(int16_t) = nullptr;
    long (*searches)() = nullptr;
};

TEST_F(ReaderLife, StartRightAfterStopWaitsForTheOldReaderWithoutBlocking) {
    blockSearch(true);
    auto form = makeForm(IBFS32_SCRIPTED_PATH);
    form->MenuStartClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return searching(); }, 10000));
    TabletDataLoader* old = form->reader();
    form->MenuStopClick();
    // the old reader is held in the driver: Start returns all the same
    form->MenuStartClick();
    TabletDataLoader* next = form->reader();
    ASSERT_NE(next, old);
    EXPECT_TRUE(next->suspended()) << "two readers never search one port at once";
    EXPECT_EQ(form->ui->Label1->text(), "Поднесите электронный ключ DS1994 к адаптеру");
    // a second Start while it waits changes nothing
    form->MenuStartClick();
    EXPECT_EQ(form->reader(), next);
    EXPECT_TRUE(next->suspended());
    // once the old one has ended, the new one searches
    blockSearch(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !next->suspended(); }, 10000));
    EXPECT_EQ(form->reader(), next);
    EXPECT_EQ(openSessions(), 1) << "the old reader ended its session";
    form->close();
    EXPECT_EQ(openSessions(), 0);
}

TEST_F(ReaderLife, ADriverFailureWhileTheOldReaderEndsLeavesItsLibraryLoaded) {
    blockSearch(true);
    auto form = makeForm(IBFS32_SCRIPTED_PATH);
    // from here only the program holds the library
    dlclose(library_);
    library_ = nullptr;
    form->MenuStartClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return searching(); }, 10000));
    form->MenuStopClick();
    setupResult(0);
    form->MenuStartClick(); // its setup fails and unloads its library
    setupResult(1);
    EXPECT_EQ(dialogs.texts(), QStringList{"TMEX Setup Flag is not 1 or 2"});
    // the old reader is still inside the library when it lets go
    blockSearch(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !searching(); }, 10000));
    form->close();
    EXPECT_EQ(openSessions(), 0);
}

TEST_F(ReaderLife, CloseLeavesAReaderStuckInTheDriverBehind) {
    blockSearch(true);
    auto form = makeForm(IBFS32_SCRIPTED_PATH);
    form->MenuStartClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return searching(); }, 10000));
    form->close(); // returns although the reader never ends
    EXPECT_EQ(form->reader(), nullptr);
    EXPECT_EQ(ReaderSlot::leftRunning(), 1);
    form.reset();
    // the driver lets go long after the window has gone: the reader ends
    // without a completion and ends its session
    blockSearch(false);
    ASSERT_TRUE(QTest::qWaitFor([] { return ReaderSlot::leftRunning() == 0; }, 10000));
    EXPECT_EQ(openSessions(), 0);
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(ReaderLife, AnAdapterErrorPausesTheSearchInsteadOfSpinning) {
    searchResult(tmex::kPortError); // an unplugged adapter answers at once
    auto form = makeForm(IBFS32_SCRIPTED_PATH);
    form->MenuStartClick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return searches() >= 2; }, 10000)) << "it keeps asking";
    const long before = searches();
    QTest::qWait(1000);
    // a pause after every error: a few searches a second, not a busy loop
    EXPECT_LE(searches() - before, 1000 / TabletDataLoader::kErrorPauseMs + 1);
    form->close();
    EXPECT_TRUE(QTest::qWaitFor([] { return ReaderSlot::leftRunning() == 0; }, 10000));
    EXPECT_EQ(openSessions(), 0);
    searchResult(0);
}

TEST_F(ReaderLife, EveryReaderEndsItsSession) {
    auto form = makeForm(IBFS32_SCRIPTED_PATH);
    EXPECT_EQ(openSessions(), 1) << "the start-up reader";
    form->MenuStopClick(); // before the first Start
    form->MenuStartClick();
    EXPECT_EQ(openSessions(), 1) << "the start-up reader never ran";
    form->MenuStopClick();
    form->close();
    EXPECT_EQ(openSessions(), 0);
}

} // namespace
