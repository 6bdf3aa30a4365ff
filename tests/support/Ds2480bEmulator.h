#pragma once

#include "OneWireMaster.h"

#include <cstdint>
#include <vector>

// A DS2480B as its datasheet describes it, in front of a 1-Wire bus (any
// master stands for the wire): the timing byte after power-up, command and
// data mode with the 0xE3 escape, reset with its presence answer, single bits,
// bytes, configuration parameters and the search accelerator.
class Ds2480bEmulator {
public:
    explicit Ds2480bEmulator(onewire::OneWireMaster& wire) : wire_(wire) {}

    // One byte from the host; what the DS2480B sends back is appended.
    void receive(uint8_t byte, std::vector<uint8_t>& answers);

    // Counters the tests look at.
    int resets = 0;
    int searches = 0;
    // Every byte taken in command mode, configuration and the timing byte
    // included.
    std::vector<uint8_t> commands;

    // What the adapter is: 12 V programming voltage present (answers ED, not
    // CD), a bus shorted for good.
    bool programmingVoltage = false;
    bool shorted = false;

private:
    void command(uint8_t byte, std::vector<uint8_t>& answers);
    void data(uint8_t byte, std::vector<uint8_t>& answers);
    void search(std::vector<uint8_t>& answers);

    onewire::OneWireMaster& wire_;
    bool calibrated_ = false;
    bool dataMode_ = false;
    bool escape_ = false; // 0xE3 seen in data mode
    bool accelerator_ = false;
    uint8_t parameters_[8] = {};
    std::vector<uint8_t> searchBytes_;
};
