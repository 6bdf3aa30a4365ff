#pragma once

#include "TabletClock.h"
#include "Tmex.h"

#include <QLibrary>
#include <QString>

#include <array>
#include <cstdint>

// The binding to the TMEX driver library, loaded at run time by name: IBFS32.DLL
// on Windows, libIBFS32.so beside the executable here.
class TabletDataLoaderHelper {
public:
    enum class OpenResult { Opened, LibraryFailure, DriverFailure, SetupFailure };

    struct Session {
        int16_t portNumber = 0;
        int16_t portType = 0;
        int32_t handle = 0;
        int16_t setupResult = -1;
        QString versionText; // the port type's driver version after OpenSession
    };

    explicit TabletDataLoaderHelper(QString libraryPath = defaultLibraryPath());
    ~TabletDataLoaderHelper();
    TabletDataLoaderHelper(const TabletDataLoaderHelper&) = delete;
    TabletDataLoaderHelper& operator=(const TabletDataLoaderHelper&) = delete;

    static QString defaultLibraryPath();

    // False when the library does not load or an entry point other than
    // TMTouchReset and TMCRC is missing.
    bool Load();
    void Unload();
    bool loaded() const { return library_.isLoaded(); }

    // Load, default port, versions, session, setup; the driver and setup
    // failures unload the library again.
    OpenResult OpenSession(Session& session);

    // Reads the clock bytes at 0x202 into `buffer` until two reads agree:
    // 1 stable, 0 not stable after five attempts, -1 no device.
    int16_t ReadClock(int32_t session, std::array<uint8_t, 5>& buffer);
    static void ClockToDate(TabletClock& clock, const std::array<uint8_t, 5>& buffer);

    // One CRC-8 step, through the driver's TMCRC when it has one.
    uint8_t crc8Step(uint8_t seed, uint8_t byte);
    bool hasTouchReset() const { return TMTouchReset != nullptr; }

    uint8_t* stateBuffer() { return stateBuffer_.data(); }

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
