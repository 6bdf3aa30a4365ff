// The program with the driver on a serial DS2480B adapter: the emulator of the
// adapter behind a pseudo-terminal, the simulated bus behind the emulator.
#include "AppTestSupport.h"
#include "SimMaster.h"
#include "support/EmulatedSerialAdapter.h"

namespace {

class RealAdapter : public AppTest {};

struct Row {
    std::string text;
    double time;
};

std::vector<Row> tableOf(TForm1& form) {
    std::vector<Row> rows;
    if (const EventCollection* events = form.events())
        for (int i = 0; i < events->count(); ++i)
            rows.push_back({events->at(i).infoText, events->at(i).time});
    return rows;
}

TEST_F(RealAdapter, SerialReadOutShowsTheSameTableAsTheSimulatedAdapter) {
    filledTablet("t", "--variant main --seed 3", "--serial 0A1B2C3D4E00");
    auto onSim = makeForm();
    ASSERT_TRUE(readOut(*onSim));
    const auto expected = tableOf(*onSim);
    ASSERT_GT(expected.size(), 10u);
    onSim->close();

    onewiresim::SimMaster wire{onewiresim::SimAdapter(dir_)};
    EmulatedSerialAdapter adapter(wire);
    ASSERT_TRUE(adapter.ok());
    setenv("ONEWIRE_PORT", ("serial:" + adapter.device()).c_str(), 1);
    dialogs.shown.clear();
    auto onSerial = makeForm();
    ASSERT_TRUE(dialogs.shown.empty()) << dialogs.texts().join("|").toStdString();
    EXPECT_TRUE(onSerial->versionText().contains("DS2480B"));
    ASSERT_TRUE(readOut(*onSerial));
    EXPECT_EQ(dialogs.texts(), QStringList{"Данные считаны. Отобразить информацию о событиях?"});
    EXPECT_EQ(onSerial->readOutResult(), 4);
    const auto table = tableOf(*onSerial);
    ASSERT_EQ(table.size(), expected.size());
    for (size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].text, expected[i].text) << i;
        EXPECT_NEAR(table[i].time, expected[i].time, 5.0 / 86400) << i;
    }
    EXPECT_GT(adapter.withEmulator([](Ds2480bEmulator& e) { return e.searches; }), 0);
    onSerial->close();
}

TEST_F(RealAdapter, ASerialDeviceThatDoesNotAnswerIsTheSetupFailure) {
    onewiresim::SimMaster wire{onewiresim::SimAdapter(dir_)};
    EmulatedSerialAdapter silent(wire, true);
    setenv("ONEWIRE_PORT", ("serial:" + silent.device()).c_str(), 1);
    auto form = makeForm();
    ASSERT_EQ(dialogs.texts(), QStringList{"TMEX Setup Flag is not 1 or 2"});
    EXPECT_EQ(dialogs.shown[0].caption, "Error");
    EXPECT_EQ(dialogs.shown[0].owner, form.get());
    EXPECT_TRUE(form->closeAtStart());
}

} // namespace
