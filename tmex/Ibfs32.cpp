// libIBFS32: the TMEX driver library of this platform. Exports the fourteen
// entry points the program looks up by name, on three kinds of adapter behind
// one 1-Wire master interface: the simulated adapter folder, a DS2480B serial
// adapter and a DS2490 USB adapter. Which port is the default is the driver's
// business (ONEWIRE_PORT, else what `onewire-port set` wrote, else auto).
#include "MasterFactory.h"
#include "OneWireCrc.h"
#include "RomSearch.h"
#include "SimMaster.h"
#include "Tmex.h"

#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

using namespace onewire;
using onewiresim::SimAdapter;
using onewiresim::SimMaster;

namespace {

constexpr const char* kDriverVersion = "IBFS32 1-Wire driver for Linux, Version 4.00";

struct TypeInfo {
    int16_t type;
    const char* version;
};
constexpr TypeInfo kTypes[] = {
    {kSerialPortType, "DS2480B serial adapter (DS9097U), Version 4.00"},
    {kUsbPortType, "DS9490 USB adapter (DS2490, libusb-1.0), Version 4.00"},
    {kSimPortType, "Simulated USB 1-Wire adapter, Version 4.00"},
};

const TypeInfo* typeInfo(int16_t type) {
    for (const TypeInfo& t : kTypes)
        if (t.type == type)
            return &t;
    return nullptr;
}

// The simulated search takes the time a USB adapter's would, found or not.
[[maybe_unused]] constexpr auto kSimSearchTime = std::chrono::microseconds(13000);

onewiresim::Fault simFault() {
    return SimAdapter(SimAdapter::defaultDir()).fault();
}

// One adapter, shared by the sessions on its port and released with the last.
struct Adapter {
    std::unique_ptr<OneWireMaster> master;
    PortName port;   // what it was opened as
    std::string dir; // the simulated adapter's folder when it was opened
    int sessions = 0;
};

struct Session {
    int16_t port;
    int16_t type;
};

using Key = std::pair<int16_t, int16_t>; // type, port

// The driver's process-wide state, as a DLL keeps it. Each call holds the lock
// for its work on the bus; every call on real hardware has a time limit.
class Driver {
public:
    static Driver& instance() {
        static Driver driver;
        return driver;
    }

    std::mutex mutex;

    int32_t open(int16_t port, int16_t type) {
        const int32_t handle = nextHandle_++;
        sessions_[handle] = Session{port, type};
        ++adapters_[Key{type, port}].sessions;
        return handle;
    }
    bool close(int32_t handle) {
        const auto it = sessions_.find(handle);
        if (it == sessions_.end())
            return false;
        const Key key{it->second.type, it->second.port};
        sessions_.erase(it);
        if (--adapters_[key].sessions <= 0)
            adapters_.erase(key); // the last session lets the device go
        return true;
    }
    const Session* find(int32_t handle) const {
        const auto it = sessions_.find(handle);
        return it == sessions_.end() ? nullptr : &it->second;
    }

    // The port a (type, number) pair names now; false when it names none.
    static bool portFor(int16_t type, int16_t number, PortName& port) {
        if (type == kUsbPortType) {
            port.kind = PortName::Kind::Usb;
            port.index = number;
            return true;
        }
        if (type == kSimPortType) {
            port.kind = PortName::Kind::Sim;
            return number == 0;
        }
        // serial port 0 is the device of the chosen port
        std::string source, error;
        const auto chosen = PortName::current(source, error);
        if (type != kSerialPortType || number != 0 || !chosen ||
            chosen->kind != PortName::Kind::Serial)
            return false;
        port = *chosen;
        return true;
    }

    // The session's master, opened again when it failed or the simulated
    // adapter moved, or (`recheck`) the port now names another device;
    // nullptr when the adapter cannot be had.
    OneWireMaster* master(const Session& s, std::string& error, bool recheck = false) {
        Adapter& a = adapters_[Key{s.type, s.port}];
        bool moved = s.type == kSimPortType && a.dir != SimAdapter::defaultDir().string();
        PortName port;
        const bool named = !recheck || portFor(s.type, s.port, port);
        if (recheck)
            moved = moved || !named || !(port == a.port);
        if (a.master && !a.master->broken() && !moved)
            return a.master.get();
        a.master.reset();
        if (!recheck && !portFor(s.type, s.port, port)) {
            error = "no such port";
            return nullptr;
        }
        if (!named) {
            error = "no such port";
            return nullptr;
        }
        a.master = MasterFactory::open(port, error);
        a.port = port;
        a.dir = SimAdapter::defaultDir().string();
        return a.master.get();
    }

private:
    std::map<Key, Adapter> adapters_;
    std::map<int32_t, Session> sessions_;
    int32_t nextHandle_ = 0x1001;
};

void copyText(char* out, const char* text) {
    if (out)
        std::memcpy(out, text, std::strlen(text) + 1);
}

// Runs `work` on the master of a valid session: -200 for an unknown handle,
// -17 when the adapter cannot be had.
template <typename Work> int16_t onBus(int32_t handle, Work work) {
    Driver& d = Driver::instance();
    std::lock_guard lock(d.mutex);
    const Session* s = d.find(handle);
    if (!s)
        return static_cast<int16_t>(tmex::kInvalidSession);
    std::string error;
    OneWireMaster* m = d.master(*s, error);
    if (!m)
        return tmex::kPortError;
    return static_cast<int16_t>(work(*m));
}

[[maybe_unused]] bool isSimSession(int32_t handle) {
    Driver& d = Driver::instance();
    std::lock_guard lock(d.mutex);
    const Session* s = d.find(handle);
    return s && s->type == kSimPortType;
}

} // namespace

TMEX_EXPORT int16_t TMEX_CALL TMReadDefaultPort(int16_t* portNum, int16_t* portType) {
    if (!portNum || !portType)
        return tmex::kInvalidArgument;
    std::string source, error;
    const auto port = PortName::current(source, error);
    if (!port) {
        *portNum = 0;
        *portType = 0;
        return -2; // no usable default
    }
    const PortName resolved = MasterFactory::resolve(*port);
    *portNum = MasterFactory::portNumber(resolved);
    *portType = MasterFactory::portType(resolved);
    return 1;
}

TMEX_EXPORT int16_t TMEX_CALL Get_Version(char* text) {
    copyText(text, kDriverVersion);
    return 1;
}

TMEX_EXPORT int16_t TMEX_CALL TMGetTypeVersion(int16_t portType, char* text) {
    const TypeInfo* info = typeInfo(portType);
    if (!info ||
        (portType == kSimPortType && simFault().kind == onewiresim::Fault::Kind::NoPortDriver))
        return static_cast<int16_t>(tmex::kNoBaseDriver);
    copyText(text, info->version);
    return 1;
}

TMEX_EXPORT int32_t TMEX_CALL TMExtendedStartSession(int16_t portNum, int16_t portType, void*) {
    if (portNum < 0 || portNum > 15 || portType < 0 || portType > 15)
        return tmex::kInvalidArgument;
    if (!typeInfo(portType) ||
        (portType == kSimPortType && simFault().kind == onewiresim::Fault::Kind::NoPortDriver))
        return tmex::kNoBaseDriver;
    Driver& d = Driver::instance();
    std::lock_guard lock(d.mutex);
    return d.open(portNum, portType);
}

TMEX_EXPORT int16_t TMEX_CALL TMEndSession(int32_t session) {
    Driver& d = Driver::instance();
    std::lock_guard lock(d.mutex);
    return d.close(session) ? 1 : 0;
}

// 1 when the adapter answers, 0 when it does not; the simulated adapter's
// set-up fault gives its own value.
TMEX_EXPORT int16_t TMEX_CALL TMSetup(int32_t session) {
    Driver& d = Driver::instance();
    std::unique_lock lock(d.mutex);
    const Session* s = d.find(session);
    if (!s)
        return static_cast<int16_t>(tmex::kInvalidSession);
    if (s->type == kSimPortType) {
        if (s->port != 0)
            return 3; // no adapter on that port
        const onewiresim::Fault fault = simFault();
        if (fault.kind == onewiresim::Fault::Kind::Setup)
            return static_cast<int16_t>(fault.value);
    }
    std::string error;
    const bool answers = d.master(*s, error, true) != nullptr;
    const bool sim = s->type == kSimPortType;
    lock.unlock();
    if (sim)
        SimMaster::busTime(std::chrono::microseconds(2000));
    return answers ? 1 : 0;
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
    const auto start = std::chrono::steady_clock::now();
    const int16_t result = onBus(session, [&](OneWireMaster& m) {
        return RomSearch::next(m, static_cast<uint8_t*>(state));
    });
    if (isSimSession(session))
        SimMaster::busTime(kSimSearchTime - std::chrono::duration_cast<std::chrono::microseconds>(
                                                std::chrono::steady_clock::now() - start));
    return result;
}

#endif

TMEX_EXPORT int16_t TMEX_CALL TMRom(int32_t session, void* state, int16_t* rom) {
    if (!state || !rom)
        return tmex::kInvalidArgument;
    Driver& d = Driver::instance();
    {
        std::lock_guard lock(d.mutex);
        if (!d.find(session))
            return static_cast<int16_t>(tmex::kInvalidSession);
    }
    uint8_t* buffered = static_cast<uint8_t*>(state) + RomSearch::kStateRom;
    if (rom[0] == 0) {
        for (int i = 0; i < 8; ++i)
            rom[i] = buffered[i];
    } else {
        for (int i = 0; i < 8; ++i)
            buffered[i] = static_cast<uint8_t>(rom[i]);
    }
    return 1;
}

TMEX_EXPORT int16_t TMEX_CALL TMAccess(int32_t session, void* state) {
    if (!state)
        return tmex::kInvalidArgument;
    return onBus(session, [&](OneWireMaster& m) {
        return RomSearch::access(m, static_cast<const uint8_t*>(state));
    });
}

#if !defined(IBFS32_WITHOUT_CRC_AND_RESET) && !defined(IBFS32_WITHOUT_RESET)
TMEX_EXPORT int16_t TMEX_CALL TMTouchReset(int32_t session) {
    return onBus(session, [](OneWireMaster& m) { return m.reset(); });
}

#endif

TMEX_EXPORT int16_t TMEX_CALL TMTouchByte(int32_t session, int16_t byte) {
    return onBus(session,
                 [&](OneWireMaster& m) { return m.touchByte(static_cast<uint8_t>(byte)); });
}

// A Universal Data Packet from one 32-byte page of the device in the state
// buffer: length byte, data, inverted CRC-16 (seeded with the page number).
// Returns the data length, -1 no device, -4 buffer too small, -20 bad packet.
TMEX_EXPORT int16_t TMEX_CALL TMReadPacket(int32_t session, void* state, int16_t page,
                                           uint8_t* buffer, int16_t max) {
    if (!state || !buffer || page < 0 || page > 16 || max < 0)
        return tmex::kInvalidArgument;
    uint8_t raw[32];
    const int16_t present = onBus(session, [&](OneWireMaster& m) {
        const int r = RomSearch::access(m, static_cast<uint8_t*>(state));
        if (r != 1)
            return r;
        const uint16_t address = static_cast<uint16_t>(page * 32);
        for (uint8_t b :
             {uint8_t{0xF0}, static_cast<uint8_t>(address), static_cast<uint8_t>(address >> 8)})
            if (const int w = m.touchByte(b); w < 0)
                return w;
        for (uint8_t& b : raw) {
            const int v = m.touchByte(0xFF);
            if (v < 0)
                return v;
            b = static_cast<uint8_t>(v);
        }
        return 1;
    });
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
