#pragma once

#include "EventTableModel.h"
#include "TForm1.h"
#include "TabletDataLoader.h"
#include "TabletImage.h"
#include "UserDialogs.h"
#include "support/SimFolder.h"

#include <QApplication>
#include <QDialog>
#include <QTest>

#include <deque>
#include <functional>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << s.toStdString();
}

// Answers the program's message boxes and forms as a test scripts them, and
// keeps what was shown.
class ScriptedDialogs : public UserDialogs {
public:
    struct Shown {
        QWidget* owner;
        QString text;
        QString caption;
        Icon icon;
        Buttons buttons;
    };

    Answer show(const Message& m) override {
        shown.push_back({m.owner, m.text, m.caption, m.icon, m.buttons});
        if (!answers.empty()) {
            const Answer a = answers.front();
            answers.pop_front();
            return a;
        }
        return m.buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }
    int exec(QDialog& dialog) override {
        executed.push_back(dialog.objectName());
        return onExec ? onExec(dialog) : QDialog::Accepted;
    }
    QString chooseFile(const FileDialog& dialog) override {
        fileDialogs.push_back(dialog);
        if (fileNames.empty())
            return {};
        const QString name = fileNames.front();
        fileNames.pop_front();
        return name;
    }

    QStringList texts() const {
        QStringList t;
        for (const Shown& s : shown)
            t << s.text;
        return t;
    }

    std::vector<Shown> shown;
    std::deque<Answer> answers;
    std::function<int(QDialog&)> onExec;
    QStringList executed;
    // File dialogs shown, and the names they answer in turn (none left: cancel).
    std::vector<FileDialog> fileDialogs;
    std::deque<QString> fileNames;
};

// 2024-01-01 12:00:00 on the decoders' clock.
inline constexpr double kFixedNow = 45292.5;

class AppTest : public SimFolderTest {
protected:
    std::unique_ptr<TForm1> makeForm(const QString& library = IBFS32_PATH) {
        AppEnvironment env;
        env.dialogs = &dialogs;
        env.libraryPath = library;
        env.clock = datetime::fixedClock(kFixedNow);
        auto form = std::make_unique<TForm1>(env);
        form->createDialogs();
        return form;
    }

    // Start, and wait until the read-out completion has been handled.
    bool readOut(TForm1& form, int timeoutMs = 10000) {
        bool handled = false;
        auto c = QObject::connect(&form, &TForm1::readOutHandled, [&] { handled = true; });
        form.MenuStartClick();
        const bool ok = QTest::qWaitFor([&] { return handled; }, timeoutMs);
        QObject::disconnect(c);
        return ok;
    }

    // A tablet with exactly this memory, under the family code given.
    void craftedTablet(const std::string& name, const TabletImage& image,
                       const std::string& newArgs = "") {
        ASSERT_EQ(sim("new " + name + " " + newArgs), 0);
        const std::string file = (dir_ / (name + ".img")).string();
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.bytes().data()), 512);
        ASSERT_EQ(sim("load " + name + " " + file), 0);
        ASSERT_EQ(sim("put " + name), 0);
    }

    ScriptedDialogs dialogs;
};

// An image with valid checks: read command, device, time stamp 400 000 s, the
// records given newest first, the rest erased. (Only its 512 bytes are loaded:
// the tablet's own clock dates the list.)
inline TabletImage craftedImage(uint8_t device, const std::vector<uint32_t>& words) {
    TabletImage image;
    auto& b = image.bytes();
    const uint8_t command[7] = {0x04, 0x11, 0x22, 0x33, 0x44, 0x02, 0x00};
    std::copy(std::begin(command), std::end(command), b.begin());
    b[8] = device;
    const uint32_t stamp = 400000;
    for (int i = 0; i < 4; ++i)
        b[static_cast<size_t>(9 + i)] = static_cast<uint8_t>(stamp >> (8 * i));
    std::fill(b.begin() + 16, b.begin() + 512, 0xFF);
    size_t at = 16;
    for (uint32_t w : words) {
        for (int i = 0; i < 4; ++i)
            b[at++] = static_cast<uint8_t>(w >> (8 * i));
    }
    image.seal();
    return image;
}
