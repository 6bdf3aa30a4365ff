#pragma once

#include "BindingStatus.h"
#include "TabletClock.h"
#include "Tmex.h"

#include <QLibrary>
#include <QString>

#include <array>
#include <cstdint>
#include <span>

// The binding to the TMEX driver library, loaded at run time by name: IBFS32.DLL
// on Windows, libIBFS32.so beside the executable or in ../lib/velmora here.
class TabletDataLoaderHelper {
public:
    struct Session {
        int16_t portNumber = 0;
        int16_t portType = 0;
        int32_t handle = 0;
        bool open = false;   // started and not yet ended
        QString versionText; // the port type's driver version after OpenSession
    };

    explicit TabletDataLoaderHelper(QString libraryPath = defaultLibraryPath());
    ~TabletDataLoaderHelper();
    TabletDataLoaderHelper(const TabletDataLoaderHelper&) = delete;
    TabletDataLoaderHelper& operator=(const TabletDataLoaderHelper&) = delete;

    static QString defaultLibraryPath();

    // Looks up all fourteen entry points; false when the library does not load
    // or one that the program calls is missing (TMCRC, TMTouchReset,
    // TMReadPacket and TMExtendedReadPage may be absent).
    bool Load();
    void Unload();
    bool loaded() const { return library_.isLoaded(); }

    // Load, default port, versions, session, setup. The driver and setup
    // failures unload the library again; a session started is ended first.
    BindingStatus OpenSession(Session& session);
    void EndSession(Session& session);

    // The memory read command from `address`, then as many bytes as `out`
    // holds, on the device the bus has just selected. AdapterFailure as soon
    // as the adapter answers a byte with an error; nothing after it is sent.
    BindingStatus ReadMemory(int32_t session, uint16_t address, std::span<uint8_t> out);
    // One byte on the bus; a negative result is the adapter's error.
    int16_t touchByte(int32_t session, uint8_t byte) { return TMTouchByte(session, byte); }

    // Reads the clock bytes at 0x202 of the device with this ROM code (Match
    // ROM) into `buffer` until a read agrees with the one before it, at most five
    // times; the first read is compared with what `buffer` holds when called.
    // Ok stable, Unstable, NoDevice, AdapterFailure. A clock of all 0xFF bytes
    // is what an empty bus reads, never a stable clock.
    BindingStatus ReadClock(int32_t session, const std::array<uint8_t, 8>& rom,
                            std::array<uint8_t, 5>& buffer);
    static void ClockToDate(TabletClock& clock, const std::array<uint8_t, 5>& buffer);

    // One CRC-8 step, through the driver's TMCRC when it has one.
    uint8_t crc8Step(uint8_t seed, uint8_t byte);
    bool hasTouchReset() const { return TMTouchReset != nullptr; }

    // The entry points, named as the library exports them.
    tmex::TMGetTypeVersionFn TMGetTypeVersion = nullptr;
    tmex::TMReadDefaultPortFn TMReadDefaultPort = nullptr;
    tmex::TMExtendedStartSessionFn TMExtendedStartSession = nullptr;
    tmex::TMEndSessionFn TMEndSession = nullptr;
    tmex::Get_VersionFn Get_Version = nullptr;
    tmex::TMSetupFn TMSetup = nullptr;
    tmex::TMCRCFn TMCRC = nullptr;
    tmex::TMNextFn TMNext = nullptr;
    tmex::TMRomFn TMRom = nullptr;
    tmex::TMTouchByteFn TMTouchByte = nullptr;
    tmex::TMTouchResetFn TMTouchReset = nullptr;
    tmex::TMReadPacketFn TMReadPacket = nullptr;
    tmex::TMExtendedReadPageFn TMExtendedReadPage = nullptr;
    tmex::TMAccessFn TMAccess = nullptr;

private:
    void clearEntryPoints();

    QLibrary library_;
    std::array<uint8_t, tmex::kStateBufferSize> stateBuffer_{};
};
