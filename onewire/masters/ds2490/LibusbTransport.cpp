#include "LibusbTransport.h"

#include "Ds2490.h"
#include "Status.h"

#include <cstdio>
#include <libusb-1.0/libusb.h>

namespace onewire {

namespace {

int fromLibusb(int r) {
    if (r >= 0)
        return r;
    return r == LIBUSB_ERROR_TIMEOUT ? kErrTimeout : kErrPort;
}

bool isDs2490(libusb_device* device) {
    libusb_device_descriptor d{};
    return libusb_get_device_descriptor(device, &d) == 0 && d.idVendor == ds2490::kVendorId &&
           d.idProduct == ds2490::kProductId;
}

std::string nameOf(libusb_device* device) {
    return "bus " + std::to_string(libusb_get_bus_number(device)) + " device " +
           std::to_string(libusb_get_device_address(device));
}

std::string pathOf(libusb_device* device) {
    char path[64];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u",
                  static_cast<unsigned>(libusb_get_bus_number(device)),
                  static_cast<unsigned>(libusb_get_device_address(device)));
    return path;
}

std::string problemOf(int r, const std::string& path) {
    switch (r) {
    case LIBUSB_ERROR_ACCESS:
        return "no permission on " + path +
               " (install the udev rule, then plug the adapter in again)";
    case LIBUSB_ERROR_BUSY:
        return "another program holds it";
    case LIBUSB_ERROR_NO_DEVICE:
        return "it was unplugged";
    default:
        return libusb_strerror(static_cast<libusb_error>(r));
    }
}

// The DS2490s of a context, in bus order, with the list they came from.
struct DeviceList {
    libusb_device** all = nullptr;
    std::vector<libusb_device*> ds2490;
    explicit DeviceList(libusb_context* context) {
        const ssize_t n = libusb_get_device_list(context, &all);
        for (ssize_t i = 0; i < n; ++i)
            if (isDs2490(all[i]))
                ds2490.push_back(all[i]);
    }
    ~DeviceList() {
        if (all)
            libusb_free_device_list(all, 1);
    }
};

} // namespace

std::vector<LibusbTransport::Found> LibusbTransport::list(std::string& error) {
    std::vector<Found> found;
    libusb_context* context = nullptr;
    if (const int r = libusb_init(&context); r != 0) {
        error =
            std::string("libusb cannot start: ") + libusb_strerror(static_cast<libusb_error>(r));
        return found;
    }
    {
        DeviceList devices(context);
        for (libusb_device* device : devices.ds2490) {
            Found f{nameOf(device), pathOf(device), {}};
            libusb_device_handle* handle = nullptr;
            if (const int r = libusb_open(device, &handle); r != 0)
                f.problem = problemOf(r, f.path);
            else
                libusb_close(handle);
            found.push_back(f);
        }
    }
    libusb_exit(context);
    return found;
}

std::unique_ptr<LibusbTransport> LibusbTransport::open(int index, std::string& name,
                                                       std::string& error) {
    std::unique_ptr<LibusbTransport> t(new LibusbTransport);
    if (const int r = libusb_init(&t->context_); r != 0) {
        t->context_ = nullptr;
        error =
            std::string("libusb cannot start: ") + libusb_strerror(static_cast<libusb_error>(r));
        return nullptr;
    }
    DeviceList devices(t->context_);
    if (index < 0 || index >= static_cast<int>(devices.ds2490.size())) {
        error = devices.ds2490.empty() ? "no DS2490 USB adapter is plugged in"
                                       : "there is no DS2490 number " + std::to_string(index);
        return nullptr;
    }
    libusb_device* device = devices.ds2490[static_cast<size_t>(index)];
    name = nameOf(device);
    if (const int r = libusb_open(device, &t->handle_); r != 0) {
        t->handle_ = nullptr;
        error = "cannot open the DS2490 on " + name + ": " + problemOf(r, pathOf(device));
        return nullptr;
    }
    // An unconfigured device has no interface to claim.
    int configuration = 0;
    if (const int r = libusb_get_configuration(t->handle_, &configuration); r != 0) {
        error = "cannot read the configuration of the DS2490 on " + name + ": " +
                problemOf(r, pathOf(device));
        return nullptr;
    }
    if (configuration == 0) {
        if (const int r = libusb_set_configuration(t->handle_, 1); r != 0) {
            error = "cannot configure the DS2490 on " + name + ": " + problemOf(r, pathOf(device));
            return nullptr;
        }
    }
    // The kernel's ds2490 module claims the adapter when it is loaded.
    if (libusb_kernel_driver_active(t->handle_, 0) == 1) {
        if (const int r = libusb_detach_kernel_driver(t->handle_, 0); r != 0) {
            error = "cannot detach the kernel's ds2490 driver from " + name + ": " +
                    problemOf(r, pathOf(device));
            return nullptr;
        }
        t->detached_ = true;
    }
    if (const int r = libusb_claim_interface(t->handle_, 0); r != 0) {
        error = "cannot claim the DS2490 on " + name + ": " + problemOf(r, pathOf(device));
        return nullptr;
    }
    t->claimed_ = true;
    // Alternate setting 3: the status endpoint polled every millisecond and
    // 64-byte bulk packets; setting 0 works as well, only slower.
    if (libusb_set_interface_alt_setting(t->handle_, 0, 3) == 0) {
        t->altSetting_ = 3;
    } else if (const int r = libusb_set_interface_alt_setting(t->handle_, 0, 0); r == 0) {
        t->altSetting_ = 0;
    } else {
        error = "cannot select an alternate setting of the DS2490 on " + name + ": " +
                problemOf(r, pathOf(device));
        return nullptr;
    }
    // An endpoint left halted by an earlier program's timeout stays so until cleared.
    for (uint8_t endpoint :
         {ds2490::kStatusEndpoint, ds2490::kDataOutEndpoint, ds2490::kDataInEndpoint})
        if (const int r = libusb_clear_halt(t->handle_, endpoint); r != 0) {
            error = "cannot clear the endpoints of the DS2490 on " + name + ": " +
                    problemOf(r, pathOf(device));
            return nullptr;
        }
    return t;
}

std::vector<std::string> LibusbTransport::details() const {
    return {altSetting_ == 3 ? std::string("alternate setting 3")
                             : std::string("alternate setting 0 (setting 3 failed: slower)")};
}

LibusbTransport::~LibusbTransport() {
    if (handle_) {
        if (claimed_)
            libusb_release_interface(handle_, 0);
        if (detached_)
            libusb_attach_kernel_driver(handle_, 0);
        libusb_close(handle_);
    }
    if (context_)
        libusb_exit(context_);
}

int LibusbTransport::control(uint8_t request, uint16_t value, uint16_t index) {
    return fromLibusb(libusb_control_transfer(handle_, ds2490::kRequestType, request, value, index,
                                              nullptr, 0, kTransferLimitMs));
}

int LibusbTransport::afterFailure(uint8_t endpoint, int r) {
    if (r == LIBUSB_ERROR_PIPE || r == LIBUSB_ERROR_TIMEOUT)
        libusb_clear_halt(handle_, endpoint); // the next transfer can go through
    return fromLibusb(r);
}

int LibusbTransport::status(uint8_t* data, int length) {
    int done = 0;
    const int r = libusb_interrupt_transfer(handle_, ds2490::kStatusEndpoint, data, length, &done,
                                            kTransferLimitMs);
    return r == 0 ? done : afterFailure(ds2490::kStatusEndpoint, r);
}

int LibusbTransport::bulkOut(const uint8_t* data, int length) {
    int done = 0;
    const int r = libusb_bulk_transfer(handle_, ds2490::kDataOutEndpoint,
                                       const_cast<uint8_t*>(data), length, &done, kTransferLimitMs);
    return r == 0 ? done : afterFailure(ds2490::kDataOutEndpoint, r);
}

int LibusbTransport::bulkIn(uint8_t* data, int length) {
    int done = 0;
    const int r = libusb_bulk_transfer(handle_, ds2490::kDataInEndpoint, data, length, &done,
                                       kTransferLimitMs);
    return r == 0 ? done : afterFailure(ds2490::kDataInEndpoint, r);
}

} // namespace onewire
