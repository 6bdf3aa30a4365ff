#pragma once

#include "Bus.h"
#include "OneWireMaster.h"

#include <chrono>

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
    // Sleeps for the bus time owed, in steps of at least a millisecond.
    static void busTime(std::chrono::microseconds duration);

private:
    void spend(std::chrono::microseconds duration);

    Bus bus_;
    std::chrono::microseconds owed_{0};
};

} // namespace onewiresim
