#pragma once

#include "Bus.h"
#include "MasterRegistry.h"
#include "OneWireMaster.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace onewiresim {

// The simulated adapter as a 1-Wire master: the bus of the adapter folder, with
// the bus time of a USB adapter at standard speed (ONEWIRE_SIM_TIMING=off
// drops it).
class SimMaster : public onewire::OneWireMaster {
public:
    explicit SimMaster(SimAdapter adapter) : bus_(std::move(adapter)) {}

    int reset() override;
    int touchByte(uint8_t byte) override;
    int touchBit(bool bit) override;
    std::string describe() const override;

    Bus& bus() { return bus_; }
    const Bus& bus() const { return bus_; }

    static constexpr auto kResetTime = std::chrono::microseconds(1000);
    static constexpr auto kStretchedResetTime = std::chrono::microseconds(3840);
    static constexpr auto kByteTime = std::chrono::microseconds(700);
    static constexpr auto kSlotTime = std::chrono::microseconds(70);
    // A set-up and a search take the time a USB adapter's would, found or not.
    static constexpr auto kSetupTime = std::chrono::microseconds(2000);
    static constexpr auto kSearchTime = std::chrono::microseconds(13000);
    // Sleeps for `duration` of bus time, unless ONEWIRE_SIM_TIMING=off.
    static void busTime(std::chrono::microseconds duration);
    static bool timed();

    // Its row in the master registry: the folder in $ONEWIRE_SIM_DIR (made
    // when missing) on its one port 0, and the faults set with onewire-sim.
    static std::unique_ptr<onewire::OneWireMaster> open(const onewire::PortName& port,
                                                        std::string& error);
    static bool port(int number, onewire::PortName& out);
    static bool present();
    static std::optional<int> setup(int number);
    static std::string place();
    static void pace(onewire::BusCall call, std::chrono::microseconds spent);

private:
    void spend(std::chrono::microseconds duration);

    Bus bus_;
    // Where the bus time of the calls so far ends. Each call's time runs on
    // from there, so a sleep that overshoots is made up by the next ones; the
    // master sleeps only once it is more than a reset ahead of the clock.
    std::chrono::steady_clock::time_point deadline_{};
};

} // namespace onewiresim
