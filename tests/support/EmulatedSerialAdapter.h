#pragma once

#include "Ds2480bEmulator.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

// A pseudo-terminal with a DS2480B emulator on its far side, serving on a
// thread: the driver opens `device()` as it would /dev/ttyUSB0. `silent`
// makes it a serial device that never answers.
class EmulatedSerialAdapter {
public:
    EmulatedSerialAdapter(onewire::OneWireMaster& wire, bool silent = false);
    ~EmulatedSerialAdapter();
    EmulatedSerialAdapter(const EmulatedSerialAdapter&) = delete;
    EmulatedSerialAdapter& operator=(const EmulatedSerialAdapter&) = delete;

    const std::string& device() const { return device_; }
    bool ok() const { return master_ >= 0; }
    // Runs `f` on the emulator while its thread holds it.
    template <typename F> auto withEmulator(F f) {
        std::lock_guard lock(mutex_);
        return f(emulator_);
    }

private:
    void serve();

    int master_ = -1;
    int slave_ = -1; // held open so the terminal never hangs up between sessions
    std::string device_;
    bool silent_;
    std::mutex mutex_;
    Ds2480bEmulator emulator_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
