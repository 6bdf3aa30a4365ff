// libIBFS32: the TMEX driver library of this platform, backed by the simulated
// adapter. Exports the fourteen entry points the program looks up by name.
#include "Bus.h"
#include "OneWireCrc.h"
#include "SimAdapter.h"
#include "Tmex.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

using namespace onewiresim;

namespace {

constexpr const char* kDriverVersion = "IBFS32 simulated 1-Wire driver, Version 4.00";
constexpr const char* kUsbVersion = "DS9490 USB adapter (simulated), Version 4.00";

// Bus timing of a USB adapter at standard speed; ONEWIRE_SIM_TIMING=off drops it.
constexpr auto kResetTime = std::chrono::microseconds(1000);
constexpr auto kByteTime = std::chrono::microseconds(700);
constexpr auto kSearchTime = std::chrono::microseconds(13000);
constexpr auto kSetupTime = std::chrono::microseconds(2000);

void busTime(std::chrono::microseconds duration) {
    const char* timing = std::getenv("ONEWIRE_SIM_TIMING");
    if (timing && (std::strcmp(timing, "off") == 0 || std::strcmp(timing, "0") == 0))
        return;
    std::this_thread::sleep_for(duration);
}

struct Session {
    int16_t port;
    int16_t type;
};

// The driver's process-wide state, as a DLL keeps it: open sessions and the bus
// of the one adapter. Each call holds the lock for its work on the bus.
class Driver {
public:
    static Driver& instance() {
        static Driver driver;
        return driver;
    }

    std::mutex mutex;

    // The adapter folder is looked up again for every session, so a process
    // (a test) may move to another folder.
    Bus& bus() {
        if (!bus_)
            bus_ = makeBus();
        return *bus_;
    }
    void followAdapterFolder() {
        if (!bus_ || bus_->adapter().dir() != SimAdapter::defaultDir())
            bus_ = makeBus();
    }

private:
    static std::unique_ptr<Bus> makeBus() {
        SimAdapter adapter(SimAdapter::defaultDir());
        std::string error;
        adapter.ensureCreated(error); // a failure shows as an empty adapter
        return std::make_unique<Bus>(std::move(adapter));
    }

public:
    int32_t open(int16_t port, int16_t type) {
        const int32_t handle = nextHandle_++;
        sessions_[handle] = Session{port, type};
        return handle;
    }
    bool close(int32_t handle) { return sessions_.erase(handle) > 0; }
    const Session* find(int32_t handle) const {
        const auto it = sessions_.find(handle);
        return it == sessions_.end() ? nullptr : &it->second;
    }

private:
    std::unique_ptr<Bus> bus_;
    std::map<int32_t, Session> sessions_;
    int32_t nextHandle_ = 0x1001;
};

Fault currentFault() {
    return Driver::instance().bus().adapter().fault();
}

void copyText(char* out, const char* text) {
    if (out)
        std::memcpy(out, text, std::strlen(text) + 1);
}

// Runs `work` on the bus of a valid session; an unknown handle gives -200.
template <typename Work> int16_t onBus(int32_t handle, Work work) {
    Driver& d = Driver::instance();
    std::lock_guard lock(d.mutex);
    const Session* s = d.find(handle);
    if (!s)
        return static_cast<int16_t>(tmex::kInvalidSession);
    if (s->port != 0)
        return tmex::kPortError;
    return static_cast<int16_t>(work(d.bus()));
}

} // namespace

TMEX_EXPORT int16_t TMEX_CALL TMReadDefaultPort(int16_t* portNum, int16_t* portType) {
    if (!portNum || !portType)
        return tmex::kInvalidArgument;
    *portNum = 0;
    *portType = tmex::kUsbPortType;
    return 1;
}

TMEX_EXPORT int16_t TMEX_CALL Get_Version(char* text) {
    copyText(text, kDriverVersion);
    return 1;
}

TMEX_EXPORT int16_t TMEX_CALL TMGetTypeVersion(int16_t portType, char* text) {
    Driver& d = Driver::instance();
    std::lock_guard lock(d.mutex);
    d.followAdapterFolder();
    if (portType != tmex::kUsbPortType || currentFault().kind == Fault::Kind::NoPortDriver)
        return static_cast<int16_t>(tmex::kNoBaseDriver);
    copyText(text, kUsbVersion);
    return 1;
}

TMEX_EXPORT int32_t TMEX_CALL TMExtendedStartSession(int16_t portNum, int16_t portType, void*) {
    Driver& d = Driver::instance();
    std::lock_guard lock(d.mutex);
    if (portNum < 0 || portNum > 15 || portType < 0 || portType > 15)
        return tmex::kInvalidArgument;
    d.followAdapterFolder();
    if (portType != tmex::kUsbPortType || currentFault().kind == Fault::Kind::NoPortDriver)
        return tmex::kNoBaseDriver;
    return d.open(portNum, portType);
}

TMEX_EXPORT int16_t TMEX_CALL TMEndSession(int32_t session) {
    Driver& d = Driver::instance();
    std::lock_guard lock(d.mutex);
    return d.close(session) ? 1 : 0;
}

TMEX_EXPORT int16_t TMEX_CALL TMSetup(int32_t session) {
    Driver& d = Driver::instance();
    int16_t result = 1;
    {
        std::lock_guard lock(d.mutex);
        const Session* s = d.find(session);
        if (!s)
            return static_cast<int16_t>(tmex::kInvalidSession);
        const Fault fault = currentFault();
        if (s->port != 0)
            result = 3; // no adapter on that port
        else if (fault.kind == Fault::Kind::Setup)
            result = static_cast<int16_t>(fault.value);
    }
    busTime(kSetupTime);
    return result;
}

#if !defined(IBFS32_WITHOUT_CRC_AND_RESET) && !defined(IBFS32_WITHOUT_CRC)
TMEX_EXPORT int16_t TMEX_CALL TMCRC(int16_t length, uint8_t* buffer, uint16_t seed, int16_t type) {
    if (length < 0 || (length > 0 && !buffer))
        return tmex::kInvalidArgument;
    const size_t n = static_cast<size_t>(length);
    if (type == 0)
        return onewire::crc8(buffer, n, static_cast<uint8_t>(seed));
    if (type == 1)
        // CRC-16 results above 0x7FFF come back as negative shorts, as on Win32;
        // callers take the low 16 bits.
        return static_cast<int16_t>(onewire::crc16(buffer, n, seed));
    return tmex::kInvalidArgument;
}

#endif

#ifndef IBFS32_WITHOUT_NEXT
TMEX_EXPORT int16_t TMEX_CALL TMNext(int32_t session, void* state) {
    if (!state)
        return tmex::kInvalidArgument;
    const int16_t result =
        onBus(session, [&](Bus& bus) { return bus.next(static_cast<uint8_t*>(state)); });
    busTime(kSearchTime);
    return result;
}

#endif

TMEX_EXPORT int16_t TMEX_CALL TMRom(int32_t session, void* state, int16_t* rom) {
    if (!state || !rom)
        return tmex::kInvalidArgument;
    return onBus(session, [&](Bus&) {
        uint8_t* buffered = static_cast<uint8_t*>(state) + Bus::kStateRom;
        if (rom[0] == 0) {
            for (int i = 0; i < 8; ++i)
                rom[i] = buffered[i];
        } else {
            for (int i = 0; i < 8; ++i)
                buffered[i] = static_cast<uint8_t>(rom[i]);
        }
        return 1;
    });
}

TMEX_EXPORT int16_t TMEX_CALL TMAccess(int32_t session, void* state) {
    if (!state)
        return tmex::kInvalidArgument;
    const int16_t result =
        onBus(session, [&](Bus& bus) { return bus.access(static_cast<uint8_t*>(state)); });
    busTime(kResetTime + 9 * kByteTime);
    return result;
}

#if !defined(IBFS32_WITHOUT_CRC_AND_RESET) && !defined(IBFS32_WITHOUT_RESET)
TMEX_EXPORT int16_t TMEX_CALL TMTouchReset(int32_t session) {
    const int16_t result = onBus(session, [](Bus& bus) { return bus.reset(); });
    busTime(kResetTime);
    return result;
}

#endif

TMEX_EXPORT int16_t TMEX_CALL TMTouchByte(int32_t session, int16_t byte) {
    const int16_t result =
        onBus(session, [&](Bus& bus) { return bus.touch(static_cast<uint8_t>(byte)); });
    busTime(kByteTime);
    return result;
}

// A Universal Data Packet from one 32-byte page of the device in the state
// buffer: length byte, data, inverted CRC-16 (seeded with the page number).
// Returns the data length, -1 no device, -4 buffer too small, -20 bad packet.
TMEX_EXPORT int16_t TMEX_CALL TMReadPacket(int32_t session, void* state, int16_t page,
                                           uint8_t* buffer, int16_t max) {
    if (!state || !buffer || page < 0 || page > 16 || max < 0)
        return tmex::kInvalidArgument;
    uint8_t raw[32];
    const int16_t present = onBus(session, [&](Bus& bus) {
        if (!bus.access(static_cast<uint8_t*>(state)))
            return 0;
        const uint16_t address = static_cast<uint16_t>(page * 32);
        bus.touch(0xF0);
        bus.touch(static_cast<uint8_t>(address));
        bus.touch(static_cast<uint8_t>(address >> 8));
        for (uint8_t& b : raw)
            b = bus.touch(0xFF);
        return 1;
    });
    busTime(kResetTime + 44 * kByteTime);
    if (present != 1)
        return present < 0 ? present : tmex::kNoDevice;
    const int length = raw[0];
    if (length > 29)
        return tmex::kCrcError;
    uint16_t crc =
        onewire::crc16(raw, static_cast<size_t>(length) + 1, static_cast<uint16_t>(page));
    crc = static_cast<uint16_t>(~crc);
    if ((raw[length + 1] | raw[length + 2] << 8) != crc)
        return tmex::kCrcError;
    if (length > max)
        return tmex::kBufferTooSmall;
    std::memcpy(buffer, raw + 1, static_cast<size_t>(length));
    return static_cast<int16_t>(length);
}

// NVRAM parts have no extended page reads; the vendor's library says the same.
TMEX_EXPORT int16_t TMEX_CALL TMExtendedReadPage(int32_t, void*, int16_t, uint8_t*, int16_t) {
    return tmex::kFunctionNotSupported;
}
