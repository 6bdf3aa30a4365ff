// The read-out archive seen from the window: what a read-out leaves in it.
#include "AppTestSupport.h"
#include "ArchiveKeeper.h"
#include "ReadoutArchive.h"
#include "events/DecoderTestSupport.h"

#include <QLabel>
#include <filesystem>
#include <fstream>

namespace {

const QString kQuestion = "Данные считаны. Отобразить информацию о событиях?";
const QString kNotFilled =
    "Таблетка не заполнена контроллером. Приложите ее к контроллеру и считайте снова.";
const QString kRemoved = "Электронный ключ убран до окончания чтения. Попробуйте еще раз.";
const QString kWarning = "Считанные данные не сохранены в архиве считываний.";

class Archive : public AppTest {
protected:
    static void writeFile(const std::string& path, const std::string& text) {
        std::ofstream(path) << text;
    }
    std::string folder() const { return (dir_ / "archive").string(); }
    std::vector<ReadoutEntry> entries() const { return ReadoutArchive(folder()).list(); }
    static std::vector<uint8_t> imageOf(const ReadoutEntry& entry, const std::string& folder) {
        TabletImage image;
        EXPECT_EQ(ReadoutArchive(folder).load(entry, image), ReadoutArchive::Status::Done);
        return {image.bytes().begin(), image.bytes().end()};
    }
};

TEST_F(Archive, EveryAcceptedReadOutIsKeptByteForByteBeforeTheQuestion) {
    const struct {
        std::string variant;
        int device;
        std::string name;
    } rows[] = {{"main", 7, "main"}, {"garage", 3, "garage"}, {"military", 8, "military"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.variant);
        std::filesystem::remove_all(folder());
        dialogs = ScriptedDialogs();
        filledTablet("t" + row.variant,
                     "--variant " + row.variant + " --device " + std::to_string(row.device));
        const std::vector<uint8_t> tablet = dump("t" + row.variant);
        ASSERT_EQ(tablet.size(), TabletImage::kSize);
        auto form = makeForm();
        ASSERT_TRUE(readOut(*form));
        ASSERT_EQ(dialogs.texts(), QStringList{kQuestion});
        ASSERT_EQ(entries().size(), 1u);
        const ReadoutEntry e = entries()[0];
        EXPECT_FALSE(e.damaged);
        EXPECT_EQ(e.record.variant, row.name);
        EXPECT_EQ(e.record.deviceNumber, row.device);
        EXPECT_EQ(e.record.readOutTime, kFixedNow);
        EXPECT_EQ(e.record.programVersion, "0.1.0");
        EXPECT_EQ(e.eventCount, form->events()->count());
        const std::vector<uint8_t> kept = imageOf(e, folder());
        ASSERT_EQ(kept.size(), tablet.size());
        // the tablet's clock runs between the dump and the read-out: its
        // fraction and seconds may have moved on by the read's few seconds
        for (size_t i = 0; i < kept.size(); ++i)
            if (i < TabletImage::kClockFraction || i > TabletImage::kClockSeconds + 3) {
                EXPECT_EQ(int(kept[i]), int(tablet[i])) << i;
            }
        const auto seconds = [](const std::vector<uint8_t>& b) {
            uint32_t v = 0;
            for (int k = 3; k >= 0; --k)
                v = v << 8 | b[TabletImage::kClockSeconds + static_cast<size_t>(k)];
            return v;
        };
        EXPECT_GE(seconds(kept), seconds(tablet));
        EXPECT_LE(seconds(kept), seconds(tablet) + 5);
        EXPECT_EQ(form->archive().warning()->text(), "");
        form->MenuStopClick();
    }
}

TEST_F(Archive, TheQuestionFindsTheReadOutKept) {
    filledTablet("t", "--variant main --device 7");
    auto form = makeForm();
    struct Counting : ScriptedDialogs {
        std::function<void()> onShow;
        Answer show(const Message& m) override {
            if (onShow)
                onShow();
            return ScriptedDialogs::show(m);
        }
    } counting;
    size_t atQuestion = 99;
    counting.onShow = [&] { atQuestion = entries().size(); };
    AppEnvironment env;
    env.dialogs = &counting;
    env.libraryPath = IBFS32_PATH;
    env.clock = datetime::fixedClock(kFixedNow);
    env.archiveFolder = QString::fromStdString(folder());
    TForm1 window(env);
    window.createDialogs();
    ASSERT_TRUE(readOut(window));
    ASSERT_EQ(counting.texts(), QStringList{kQuestion});
    EXPECT_EQ(atQuestion, 1u);
    window.MenuStopClick();
}

TEST_F(Archive, ALiftedTabletAFailedCheckAndAnUnfilledTabletAddNothing) {
    auto form = makeForm();
    filledTablet("lift", "--variant main");
    ASSERT_EQ(sim("fault remove-after=200"), 0);
    ASSERT_TRUE(readOut(*form));
    EXPECT_EQ(dialogs.texts(), QStringList{kRemoved});
    ASSERT_EQ(sim("fault none"), 0);

    TabletImage broken = craftedImage(7, {mainWord(0, 8, 1000)});
    broken.bytes()[200] ^= 0x01;
    craftedTablet("sum", broken);
    ASSERT_TRUE(readOut(*form));

    ASSERT_EQ(sim("new empty"), 0);
    ASSERT_EQ(sim("command empty"), 0);
    ASSERT_EQ(sim("put empty"), 0);
    dialogs.shown.clear();
    ASSERT_TRUE(readOut(*form));
    EXPECT_EQ(dialogs.texts(), QStringList{kNotFilled});
    EXPECT_TRUE(entries().empty());
    EXPECT_FALSE(std::filesystem::exists(folder()));
}

TEST_F(Archive, AFolderThatCannotBeMadeWarnsInTheStatusBarAndTheReadOutGoesOn) {
    writeFile(folder(), "a file where the folder would be"); // fails even for root
    filledTablet("t", "--variant garage --device 3");
    auto form = makeForm();
    ASSERT_TRUE(readOut(*form));
    EXPECT_EQ(dialogs.texts(), QStringList{kQuestion});
    EXPECT_EQ(form->events()->count(), 124);
    EXPECT_EQ(form->archive().warning()->text(), kWarning);
    EXPECT_TRUE(form->archive().warning()->isVisibleTo(form.get()));
    EXPECT_FALSE(form->statusPanel(0)->text().isEmpty()); // the panels still show
    std::filesystem::remove(folder());
    form->MenuStopClick();
    dialogs.shown.clear();
    ASSERT_TRUE(readOut(*form));
    EXPECT_EQ(entries().size(), 1u);
    EXPECT_EQ(form->archive().warning()->text(), "");
}

} // namespace
