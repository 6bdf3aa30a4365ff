#pragma once

#include "UsbTransport.h"

#include <memory>
#include <string>
#include <vector>

struct libusb_context;
struct libusb_device_handle;

namespace onewire {

// The DS2490's transfers through libusb-1.0. Opening configures the device if
// needed, detaches the kernel's ds2490 driver for as long as it is held,
// selects alternate setting 3 (else 0) and clears the endpoints; closing gives
// the device back to the kernel.
class LibusbTransport : public UsbTransport {
public:
    ~LibusbTransport() override;

    struct Found {
        std::string name;    // "bus 1 device 5"
        std::string path;    // /dev/bus/usb/001/005
        std::string problem; // what stands in the way of opening it, empty if nothing
    };
    // Every DS2490 on the USB, in bus order; `error` when libusb cannot start.
    static std::vector<Found> list(std::string& error);
    // The `index`-th DS2490, opened and its interface claimed.
    static std::unique_ptr<LibusbTransport> open(int index, std::string& name, std::string& error);

    int control(uint8_t request, uint16_t value, uint16_t index) override;
    int status(uint8_t* data, int length) override;
    int bulkOut(const uint8_t* data, int length) override;
    int bulkIn(uint8_t* data, int length) override;

    static constexpr unsigned kTransferLimitMs = 500;
    // The alternate setting in use: 3, or 0 when 3 could not be selected.
    int altSetting() const { return altSetting_; }
    std::vector<std::string> details() const override;

private:
    LibusbTransport() = default;
    int afterFailure(uint8_t endpoint, int r);

    libusb_context* context_ = nullptr;
    libusb_device_handle* handle_ = nullptr;
    bool claimed_ = false;
    bool detached_ = false;
    int altSetting_ = 0;
};

} // namespace onewire
