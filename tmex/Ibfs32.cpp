// libIBFS32: the TMEX driver library of this platform. Exports the fourteen
// entry points the program looks up by name, on every master of the 1-Wire
// master registry (the simulated adapter folder, a DS2480B serial adapter, a
// DS2490 USB adapter) alike. Which port is the default is the driver's
// business (ONEWIRE_PORT, else what `onewire-port set` wrote, else auto).
#include "MasterRegistry.h"
#include "RomSearch.h"
#include "Tmex.h"

#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

using namespace onewire;

namespace {

constexpr const char* kDriverVersion = "IBFS32 1-Wire driver for Linux, Version 4.00";
// A master that did not answer in time.
constexpr int16_t kTimeoutResult = -25;

// A master's result as TMEX gives it: values pass, statuses become TMEX codes.
int16_t tmexResult(int result) {
    switch (result) {
    case kErrPort:
        return tmex::kPortError;
    case kErrTimeout:
        return kTimeoutResult;
    default:
        return result < 0 ? tmex::kPortError : static_cast<int16_t>(result);
    }
}

// The row serving a port type whose port driver is present; nullptr otherwise.
const MasterRow* servedType(int16_t type) {
    const MasterRow* row = MasterRegistry::byPortType(type);
    return row && (!row->present || row->present()) ? row : nullptr;
}

// One adapter, shared by the sessions on its port and released with the last.
struct Adapter {
    std::unique_ptr<OneWireMaster> master;
    PortName port;     // what it was opened as
    std::string place; // where its port stood when it was opened
    int sessions = 0;
};

struct Session {
    int16_t port;
    int16_t type;
    const MasterRow* row;
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

    int32_t open(int16_t port, const MasterRow& row) {
        const int16_t type = row.portType;
        const int32_t handle = nextHandle_++;
        sessions_[handle] = Session{port, type, &row};
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

    // The session's master, opened again when it failed or its port moved,
    // or (`recheck`) the port now names another device; nullptr when the
    // adapter cannot be had.
    OneWireMaster* master(const Session& s, std::string& error, bool recheck = false) {
        Adapter& a = adapters_[Key{s.type, s.port}];
        const std::string place = s.row->place ? s.row->place() : std::string();
        bool moved = a.place != place;
        PortName port;
        const bool named = !recheck || s.row->port(s.port, port);
        if (recheck)
            moved = moved || !named || !(port == a.port);
        if (a.master && !a.master->broken() && !moved)
            return a.master.get();
        a.master.reset();
        if (!recheck && !s.row->port(s.port, port)) {
            error = "no such port";
            return nullptr;
        }
        if (!named) {
            error = "no such port";
            return nullptr;
        }
        a.master = s.row->open(port, error);
        a.port = port;
        a.place = place;
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
    return tmexResult(work(*m));
}

// The row of a valid session; nullptr for an unknown handle.
const MasterRow* rowOf(int32_t handle) {
    Driver& d = Driver::instance();
    std::lock_guard lock(d.mutex);
    const Session* s = d.find(handle);
    return s ? s->row : nullptr;
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
    const PortName resolved = MasterRegistry::resolve(*port);
    const MasterRow* row = MasterRegistry::byKind(resolved.kind);
    *portNum = static_cast<int16_t>(resolved.index);
    *portType = row ? row->portType : 0;
    return 1;
}

TMEX_EXPORT int16_t TMEX_CALL Get_Version(char* text) {
    copyText(text, kDriverVersion);
    return 1;
}

TMEX_EXPORT int16_t TMEX_CALL TMGetTypeVersion(int16_t portType, char* text) {
    const MasterRow* row = servedType(portType);
    if (!row)
        return static_cast<int16_t>(tmex::kNoBaseDriver);
    copyText(text, row->version);
    return 1;
}

TMEX_EXPORT int32_t TMEX_CALL TMExtendedStartSession(int16_t portNum, int16_t portType, void*) {
    if (portNum < 0 || portNum > 15 || portType < 0 || portType > 15)
        return tmex::kInvalidArgument;
    const MasterRow* row = servedType(portType);
    if (!row)
        return tmex::kNoBaseDriver;
    Driver& d = Driver::instance();
    std::lock_guard lock(d.mutex);
    return d.open(portNum, *row);
}

TMEX_EXPORT int16_t TMEX_CALL TMEndSession(int32_t session) {
    Driver& d = Driver::instance();
    std::lock_guard lock(d.mutex);
    return d.close(session) ? 1 : 0;
}

// 1 when the adapter answers, 0 when it does not; a master may answer the
// set-up itself (no adapter on that port, a set-up fault).
TMEX_EXPORT int16_t TMEX_CALL TMSetup(int32_t session) {
    Driver& d = Driver::instance();
    std::unique_lock lock(d.mutex);
    const Session* s = d.find(session);
    if (!s)
        return static_cast<int16_t>(tmex::kInvalidSession);
    const MasterRow* row = s->row;
    if (row->setup)
        if (const auto answer = row->setup(s->port))
            return static_cast<int16_t>(*answer);
    std::string error;
    const bool answers = d.master(*s, error, true) != nullptr;
    lock.unlock();
    if (row->pace)
        row->pace(BusCall::Setup, std::chrono::microseconds(0));
    return answers ? 1 : 0;
}

TMEX_EXPORT int16_t TMEX_CALL TMCRC(int16_t length, uint8_t* buffer, uint16_t seed, int16_t type) {
    if (length < 0 || (length > 0 && !buffer))
        return tmex::kInvalidArgument;
    const size_t n = static_cast<size_t>(length);
    if (type == 0)
        return Crc::crc8(buffer, n, static_cast<uint8_t>(seed));
    if (type == 1)
        // CRC-16 results above 0x7FFF come back as negative shorts, as on Win32;
        // callers take the low 16 bits.
        return static_cast<int16_t>(Crc::crc16(buffer, n, seed));
    return tmex::kInvalidArgument;
}

TMEX_EXPORT int16_t TMEX_CALL TMNext(int32_t session, void* state) {
    if (!state)
        return tmex::kInvalidArgument;
    const auto start = std::chrono::steady_clock::now();
    const int16_t result = onBus(session, [&](OneWireMaster& m) {
        return RomSearch::next(m, static_cast<uint8_t*>(state));
    });
    if (const MasterRow* row = rowOf(session); row && row->pace)
        row->pace(BusCall::Search, std::chrono::duration_cast<std::chrono::microseconds>(
                                       std::chrono::steady_clock::now() - start));
    return result;
}

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

TMEX_EXPORT int16_t TMEX_CALL TMTouchReset(int32_t session) {
    return onBus(session, [](OneWireMaster& m) { return m.reset(); });
}

TMEX_EXPORT int16_t TMEX_CALL TMTouchByte(int32_t session, int16_t byte) {
    return onBus(session,
                 [&](OneWireMaster& m) { return m.touchByte(static_cast<uint8_t>(byte)); });
}

// Looked up by the program but never called: packets and extended pages are
// not read through this driver.
TMEX_EXPORT int16_t TMEX_CALL TMReadPacket(int32_t, void*, int16_t, uint8_t*, int16_t) {
    return tmex::kFunctionNotSupported;
}

// NVRAM parts have no extended page reads; the vendor's library says the same.
TMEX_EXPORT int16_t TMEX_CALL TMExtendedReadPage(int32_t, void*, int16_t, uint8_t*, int16_t) {
    return tmex::kFunctionNotSupported;
}
