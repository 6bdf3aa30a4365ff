#include "LibusbStandIn.h"

#include "Ds2490Bridge.h"
#include "SimMaster.h"
#include "Status.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <libusb-1.0/libusb.h>
#include <sstream>

// The opaque libusb objects, as the stand-in keeps them.
struct libusb_context {
    int unused = 0;
};
struct libusb_device {
    LibusbStandIn::Device d;
};
struct libusb_device_handle {
    libusb_device* device = nullptr;
};

namespace {

// In a process of its own (a tool built on the stand-in) the stand-in is set
// up from the environment: the bridge model in front of the simulated adapter
// in LIBUSB_STANDIN_SIM_DIR, and the calls in LIBUSB_STANDIN_FAIL (separated
// by commas) failing with LIBUSB_ERROR_IO.
void setUpFromEnvironment(LibusbStandIn& s) {
    const char* dir = std::getenv("LIBUSB_STANDIN_SIM_DIR");
    if (!dir)
        return;
    s.reset();
    static onewiresim::SimMaster wire{onewiresim::SimAdapter(dir)};
    static Ds2490Bridge bridge(wire);
    s.model = &bridge;
    std::istringstream failing(
        std::getenv("LIBUSB_STANDIN_FAIL") ? std::getenv("LIBUSB_STANDIN_FAIL") : "");
    for (std::string call; std::getline(failing, call, ',');)
        s.fail(call, LIBUSB_ERROR_IO);
}

} // namespace

LibusbStandIn& LibusbStandIn::instance() {
    static LibusbStandIn standIn = [] {
        LibusbStandIn s;
        setUpFromEnvironment(s);
        return s;
    }();
    return standIn;
}

void LibusbStandIn::reset() {
    *this = LibusbStandIn();
    devices = {Device{}};
}

void LibusbStandIn::fail(const std::string& call, int error, int times) {
    failures_[call] = Failure{error, times};
}

std::vector<std::string> LibusbStandIn::setupCalls() const {
    std::vector<std::string> setup;
    for (const std::string& c : calls)
        if (c.rfind("control ", 0) != 0 && c.rfind("bulk ", 0) != 0 &&
            c.rfind("interrupt ", 0) != 0)
            setup.push_back(c);
    return setup;
}

int LibusbStandIn::enter(const std::string& call) {
    calls.push_back(call);
    const auto f = failures_.find(call);
    if (f == failures_.end() || f->second.times == 0)
        return 0;
    if (f->second.times > 0)
        --f->second.times;
    return f->second.error;
}

namespace {

LibusbStandIn& standIn() {
    return LibusbStandIn::instance();
}

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// A model's status as libusb would give it.
int toLibusb(int r) {
    if (r >= 0)
        return r;
    return r == onewire::kErrTimeout ? LIBUSB_ERROR_TIMEOUT : LIBUSB_ERROR_PIPE;
}

int transfer(const std::string& call, unsigned char endpoint, unsigned char* data, int length,
             int* transferred) {
    *transferred = 0;
    LibusbStandIn& s = standIn();
    if (const int r = s.enter(call); r != 0) {
        if (r == LIBUSB_ERROR_PIPE)
            s.halted.push_back(endpoint);
        return r;
    }
    if (std::find(s.halted.begin(), s.halted.end(), endpoint) != s.halted.end())
        return LIBUSB_ERROR_PIPE;
    if (!s.model)
        return LIBUSB_ERROR_NO_DEVICE;
    int r = 0;
    if (endpoint == 0x81)
        r = s.model->status(data, length);
    else if (endpoint == 0x83)
        r = s.model->bulkIn(data, length);
    else if (endpoint == 0x02)
        r = s.model->bulkOut(data, length);
    else
        return LIBUSB_ERROR_INVALID_PARAM;
    if (r < 0) {
        if (r != onewire::kErrTimeout)
            s.halted.push_back(endpoint);
        return toLibusb(r);
    }
    *transferred = r;
    return 0;
}

} // namespace

extern "C" {

int LIBUSB_CALL libusb_init(libusb_context** ctx) {
    if (const int r = standIn().enter("init"); r != 0)
        return r;
    *ctx = new libusb_context;
    ++standIn().openContexts;
    return 0;
}

void LIBUSB_CALL libusb_exit(libusb_context* ctx) {
    standIn().enter("exit");
    --standIn().openContexts;
    delete ctx;
}

const char* LIBUSB_CALL libusb_strerror(int errcode) {
    switch (errcode) {
    case LIBUSB_ERROR_IO:
        return "Input/Output Error";
    case LIBUSB_ERROR_PIPE:
        return "Pipe error";
    case LIBUSB_ERROR_TIMEOUT:
        return "Operation timed out";
    case LIBUSB_ERROR_NOT_FOUND:
        return "Entity not found";
    default:
        return "Other error";
    }
}

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context*, libusb_device*** list) {
    if (const int r = standIn().enter("get_device_list"); r != 0)
        return r;
    const auto& devices = standIn().devices;
    *list = new libusb_device*[devices.size() + 1];
    for (size_t i = 0; i < devices.size(); ++i)
        (*list)[i] = new libusb_device{devices[i]};
    (*list)[devices.size()] = nullptr;
    ++standIn().openLists;
    return static_cast<ssize_t>(devices.size());
}

void LIBUSB_CALL libusb_free_device_list(libusb_device** list, int unref_devices) {
    standIn().enter("free_device_list " + std::to_string(unref_devices));
    for (libusb_device** d = list; *d; ++d)
        delete *d; // the stand-in's devices live in their list only
    delete[] list;
    --standIn().openLists;
}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* dev,
                                             struct libusb_device_descriptor* desc) {
    *desc = {};
    desc->bLength = LIBUSB_DT_DEVICE_SIZE;
    desc->bDescriptorType = LIBUSB_DT_DEVICE;
    desc->bcdUSB = 0x0110;
    desc->bMaxPacketSize0 = 8;
    desc->idVendor = dev->d.vendor;
    desc->idProduct = dev->d.product;
    desc->bNumConfigurations = 1;
    return 0;
}

uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device* dev) {
    return dev->d.bus;
}

uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device* dev) {
    return dev->d.address;
}

int LIBUSB_CALL libusb_open(libusb_device* dev, libusb_device_handle** dev_handle) {
    if (const int r = standIn().enter("open " + std::to_string(dev->d.bus) + "." +
                                      std::to_string(dev->d.address));
        r != 0)
        return r;
    *dev_handle = new libusb_device_handle{dev};
    ++standIn().openHandles;
    return 0;
}

void LIBUSB_CALL libusb_close(libusb_device_handle* dev_handle) {
    standIn().enter("close");
    --standIn().openHandles;
    delete dev_handle;
}

int LIBUSB_CALL libusb_get_configuration(libusb_device_handle*, int* config) {
    if (const int r = standIn().enter("get_configuration"); r != 0)
        return r;
    *config = standIn().configuration;
    return 0;
}

int LIBUSB_CALL libusb_set_configuration(libusb_device_handle*, int configuration) {
    if (const int r = standIn().enter("set_configuration " + std::to_string(configuration)); r != 0)
        return r;
    standIn().configuration = configuration;
    return 0;
}

int LIBUSB_CALL libusb_kernel_driver_active(libusb_device_handle*, int interface_number) {
    if (const int r = standIn().enter("kernel_driver_active " + std::to_string(interface_number));
        r != 0)
        return r;
    return standIn().kernelDriver ? 1 : 0;
}

int LIBUSB_CALL libusb_detach_kernel_driver(libusb_device_handle*, int interface_number) {
    if (const int r = standIn().enter("detach_kernel_driver " + std::to_string(interface_number));
        r != 0)
        return r;
    standIn().kernelDriver = false;
    return 0;
}

int LIBUSB_CALL libusb_attach_kernel_driver(libusb_device_handle*, int interface_number) {
    if (const int r = standIn().enter("attach_kernel_driver " + std::to_string(interface_number));
        r != 0)
        return r;
    standIn().kernelDriver = true;
    return 0;
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle*, int interface_number) {
    return standIn().enter("claim_interface " + std::to_string(interface_number));
}

int LIBUSB_CALL libusb_release_interface(libusb_device_handle*, int interface_number) {
    return standIn().enter("release_interface " + std::to_string(interface_number));
}

int LIBUSB_CALL libusb_set_interface_alt_setting(libusb_device_handle*, int interface_number,
                                                 int alternate_setting) {
    return standIn().enter("set_interface_alt_setting " + std::to_string(interface_number) + " " +
                           std::to_string(alternate_setting));
}

int LIBUSB_CALL libusb_clear_halt(libusb_device_handle*, unsigned char endpoint) {
    if (const int r = standIn().enter("clear_halt " + hex(endpoint, 2)); r != 0)
        return r;
    auto& halted = standIn().halted;
    halted.erase(std::remove(halted.begin(), halted.end(), endpoint), halted.end());
    return 0;
}

int LIBUSB_CALL libusb_control_transfer(libusb_device_handle*, uint8_t request_type,
                                        uint8_t bRequest, uint16_t wValue, uint16_t wIndex,
                                        unsigned char* data, uint16_t wLength, unsigned int) {
    LibusbStandIn& s = standIn();
    const std::string call =
        "control " + hex(bRequest, 2) + " " + hex(wValue, 4) + " " + hex(wIndex, 4);
    if (request_type != 0x40 || data || wLength) {
        s.enter(call + " malformed");
        return LIBUSB_ERROR_INVALID_PARAM;
    }
    if (const int r = s.enter(call); r != 0)
        return r;
    if (!s.model)
        return LIBUSB_ERROR_NO_DEVICE;
    return toLibusb(s.model->control(bRequest, wValue, wIndex));
}

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle*, unsigned char endpoint,
                                     unsigned char* data, int length, int* transferred,
                                     unsigned int) {
    return transfer("bulk " + hex(endpoint, 2), endpoint, data, length, transferred);
}

int LIBUSB_CALL libusb_interrupt_transfer(libusb_device_handle*, unsigned char endpoint,
                                          unsigned char* data, int length, int* transferred,
                                          unsigned int) {
    return transfer("interrupt " + hex(endpoint, 2), endpoint, data, length, transferred);
}

} // extern "C"
