#pragma once

#include "Ds2490.h"
#include "OneWireMaster.h"
#include "UsbTransport.h"

#include <chrono>
#include <memory>
#include <string>

namespace onewire {

// A DS2490 USB to 1-Wire bridge (DS9490R) as a 1-Wire master, through its
// communication commands: 1-Wire reset with the result read from the status
// endpoint, BIT I/O and BYTE I/O with the bit or byte read back from EP3, a
// search step by SEARCH ACCESS. A failed transfer is an error result after
// which the bridge is flushed and EP3 emptied; a bridge that cannot be
// flushed leaves the master unusable (`broken`) until it is opened again.
// Nothing waits without limit.
class Ds2490Master : public OneWireMaster {
public:
    Ds2490Master(std::unique_ptr<UsbTransport> usb, std::string name)
        : usb_(std::move(usb)), name_(std::move(name)) {}

    // Resets the bridge, sets regular speed and reads its status once.
    bool init(std::string& error);

    int reset() override;
    int touchByte(uint8_t byte) override;
    int touchBit(bool bit) override;
    // Bit and complement read in one go, the direction written without a
    // read-back: four transfers a ROM bit instead of six.
    int triplet(bool preferred, Triplet& out) override;
    // One SEARCH ACCESS command a search step; the bit-wise search once the
    // bridge has refused it.
    int search(uint8_t command, const Rom& preference, SearchPass& out) override;
    bool searchesInTheBridge() const { return searchAccess_; }
    std::string describe() const override { return "DS2490 " + name_; }

    bool broken() const override { return broken_; }
    // How often the bridge was flushed after a failed transfer.
    int recoveries() const { return recoveries_; }
    std::vector<std::string> details() const override { return usb_->details(); }

    // How long the bridge may stay busy with one command.
    static constexpr std::chrono::milliseconds kCommandLimit{1000};

private:
    int command(uint8_t type, uint16_t value, uint16_t index);
    int waitIdle(ds2490::Status& last);
    int readBack(uint8_t* bytes, int count);
    int fail(int code);
    bool recover();

    std::unique_ptr<UsbTransport> usb_;
    std::string name_;
    bool broken_ = false;
    bool recovering_ = false;
    bool ep0Full_ = false;
    int recoveries_ = 0;
    bool searchAccess_ = true;
};

} // namespace onewire
