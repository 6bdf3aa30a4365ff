#pragma once

#include "OneWireMaster.h"
#include "SerialLine.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace onewire {

// A DS2480B serial line driver (DS9097U and USB-serial adapters built on it)
// as a 1-Wire master. Every exchange has a time limit: a device that does not
// answer in time is kTimeout, a wrong answer kPortError; either leaves the
// master unusable (`broken`) until it is opened again.
class Ds2480bMaster : public OneWireMaster {
public:
    // Opens the device, resets the DS2480B and checks that it answers.
    static std::unique_ptr<Ds2480bMaster> open(const std::string& device, std::string& error);

    int reset() override;
    int touchByte(uint8_t byte) override;
    int touchBit(bool bit) override;
    int searchPass(const Rom& preference, SearchPass& out) override;
    std::string describe() const override { return "DS2480B on " + device_; }

    bool broken() const override { return broken_; }
    // Chip revision and 12 V programming voltage, from the last reset answer.
    std::vector<std::string> details() const override;

    // How long one answer may take: 16 bytes at 9600 baud are 17 ms.
    static constexpr std::chrono::milliseconds kAnswerLimit{250};
    // How long a DS1994 with a pending alarm may hold the bus after a reset.
    static constexpr std::chrono::milliseconds kAlarmSettle{5};

private:
    explicit Ds2480bMaster(std::string device) : device_(std::move(device)) {}
    bool setup(bool calibrate, std::string& error);
    bool toMode(bool data);
    bool send(const uint8_t* data, size_t length);
    int receive(uint8_t* data, size_t length);
    int fail(int code);
    int resetOnce();

    std::string device_;
    SerialLine line_;
    bool dataMode_ = false;
    bool broken_ = false;
    std::optional<uint8_t> lastResetAnswer_;
};

} // namespace onewire
