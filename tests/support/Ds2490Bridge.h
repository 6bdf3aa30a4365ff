#pragma once

#include "Ds2490.h"
#include "OneWireMaster.h"
#include "UsbTransport.h"

#include <deque>
#include <vector>

// A model of the DS2490 at the USB transfer seam, in front of a 1-Wire bus
// (any master stands for the wire): control, mode and the communication
// commands the driver uses, executed at once; the state registers and result
// codes on the status endpoint; bytes read from the bus on EP3. Unknown
// requests stall, as the datasheet says the chip does.
class Ds2490Bridge : public onewire::UsbTransport {
public:
    explicit Ds2490Bridge(onewire::OneWireMaster& wire) : wire_(wire) {}

    int control(uint8_t request, uint16_t value, uint16_t index) override;
    int status(uint8_t* data, int length) override;
    int bulkOut(const uint8_t* data, int length) override;
    int bulkIn(uint8_t* data, int length) override;

    bool unplugged = false;      // every transfer fails, as after the cable was pulled
    bool announceDevice = false; // a device-detect code before the next result
    int commands = 0;
    // One-shot misbehaviour: a byte that reaches EP3 after its read timed out, a stall on EP1, a
    // lost setup packet (EP0F in the next status), a reset whose result never comes.
    bool staleByte = false;
    bool stallStatus = false;
    bool ep0Full = false;
    bool dropResetResult = false;
    bool refuseSearchAccess = false; // SEARCH ACCESS stalls, as an unknown command would
    int transfers = 0;               // every transfer, of each kind
    int searchAccesses = 0;
    std::vector<uint16_t> controls; // the control commands (bRequest 0) received

private:
    onewire::OneWireMaster& wire_;
    uint8_t speed_ = 0;
    std::deque<uint8_t> in_;
    int searchAccess(uint16_t value, uint16_t index, bool feedback);

    std::deque<uint8_t> out_; // bytes from EP2 not yet taken by a command
    std::vector<uint8_t> late_;
    std::vector<uint8_t> results_;
};
