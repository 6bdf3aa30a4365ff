#include "TabletDataLoaderHelper.h"

#include "Ds1994Commands.h"
#include "OneWireCrc.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <vector>

TabletDataLoaderHelper::TabletDataLoaderHelper(QString libraryPath) {
    library_.setFileName(libraryPath);
    // Unload lets go of this helper's hold only: another reader's thread may
    // still be inside the library, which must stay mapped.
    library_.setLoadHints(QLibrary::PreventUnloadHint);
}

TabletDataLoaderHelper::~TabletDataLoaderHelper() = default; // the library stays loaded

QString TabletDataLoaderHelper::defaultLibraryPath() {
#if defined(_WIN32)
    return QStringLiteral("IBFS32.DLL");
#else
    // Beside the executable (the build tree), else in the private library folder
    // of an installed program (bin/../lib/velmora).
    const QDir dir(QCoreApplication::instance() ? QCoreApplication::applicationDirPath()
                                                : QDir::currentPath());
    const QString beside = dir.filePath(QStringLiteral("libIBFS32.so"));
    const QString installed =
        QDir::cleanPath(dir.filePath(QStringLiteral("../lib/velmora/libIBFS32.so")));
    if (!QFileInfo::exists(beside) && QFileInfo::exists(installed))
        return installed;
    return beside;
#endif
}

void TabletDataLoaderHelper::clearEntryPoints() {
    TMGetTypeVersion = nullptr;
    TMReadDefaultPort = nullptr;
    TMExtendedStartSession = nullptr;
    TMEndSession = nullptr;
    Get_Version = nullptr;
    TMSetup = nullptr;
    TMCRC = nullptr;
    TMNext = nullptr;
    TMRom = nullptr;
    TMTouchByte = nullptr;
    TMTouchReset = nullptr;
    TMReadPacket = nullptr;
    TMExtendedReadPage = nullptr;
    TMAccess = nullptr;
}

bool TabletDataLoaderHelper::Load() {
    if (!library_.load())
        return false;
    auto resolve = [this](auto& entry, const char* name) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(library_.resolve(name));
        return entry != nullptr;
    };
    bool all = true;
    all &= resolve(TMGetTypeVersion, "TMGetTypeVersion");
    all &= resolve(TMReadDefaultPort, "TMReadDefaultPort");
    all &= resolve(TMExtendedStartSession, "TMExtendedStartSession");
    all &= resolve(TMEndSession, "TMEndSession");
    all &= resolve(Get_Version, "Get_Version");
    all &= resolve(TMSetup, "TMSetup");
    resolve(TMCRC, "TMCRC"); // the program has its own CRC-8
    all &= resolve(TMNext, "TMNext");
    all &= resolve(TMRom, "TMRom");
    all &= resolve(TMTouchByte, "TMTouchByte");
    resolve(TMTouchReset, "TMTouchReset");             // only the writer resets the bus
    resolve(TMReadPacket, "TMReadPacket");             // never called
    resolve(TMExtendedReadPage, "TMExtendedReadPage"); // never called
    all &= resolve(TMAccess, "TMAccess");
    return all;
}

void TabletDataLoaderHelper::Unload() {
    clearEntryPoints();
    library_.unload();
}

BindingStatus TabletDataLoaderHelper::OpenSession(Session& session) {
    if (!Load())
        return BindingStatus::LibraryFailure;
    TMReadDefaultPort(&session.portNumber, &session.portType);
    // A buffer larger than the driver may fill, always terminated.
    std::vector<char> text(tmex::kVersionTextSize + 1, '\0');
    Get_Version(text.data());
    const int16_t typeVersion = TMGetTypeVersion(session.portType, text.data());
    text.back() = '\0';
    session.versionText = QString::fromLocal8Bit(text.data());
    if (typeVersion < 0) {
        Unload();
        return BindingStatus::DriverFailure;
    }
    session.handle = TMExtendedStartSession(session.portNumber, session.portType, nullptr);
    session.open = session.handle > 0;
    const int16_t setup = TMSetup(session.handle);
    if (setup != 1 && setup != 2) {
        EndSession(session);
        Unload();
        return BindingStatus::SetupFailure;
    }
    return BindingStatus::Ok;
}

void TabletDataLoaderHelper::EndSession(Session& session) {
    if (session.open && TMEndSession)
        TMEndSession(session.handle);
    session.open = false;
}

BindingStatus TabletDataLoaderHelper::ReadMemory(int32_t session, uint16_t address,
                                                 std::span<uint8_t> out) {
    const uint8_t command[] = {ds1994::kReadMemory, static_cast<uint8_t>(address & 0xFF),
                               static_cast<uint8_t>(address >> 8)};
    for (uint8_t b : command)
        if (TMTouchByte(session, b) < 0)
            return BindingStatus::AdapterFailure;
    for (uint8_t& b : out) {
        const int16_t answer = TMTouchByte(session, ds1994::kReadSlot);
        if (answer < 0)
            return BindingStatus::AdapterFailure;
        b = static_cast<uint8_t>(answer);
    }
    return BindingStatus::Ok;
}

BindingStatus TabletDataLoaderHelper::ReadClock(int32_t session, const std::array<uint8_t, 8>& rom,
                                                std::array<uint8_t, 5>& buffer) {
    constexpr uint16_t kClockAddress = 0x202;
    // The ROM code goes into the state buffer; TMAccess then selects exactly
    // that device, whatever else lies on the adapter.
    std::array<int16_t, 8> words{};
    std::copy(rom.begin(), rom.end(), words.begin());
    const int16_t selected = TMRom(session, stateBuffer_.data(), words.data());
    if (selected < 0)
        return BindingStatus::AdapterFailure;
    if (selected != 1)
        return BindingStatus::NoDevice;
    bool answered = false;
    bool stable = false;
    for (int attempt = 0; attempt < 5 && !stable; ++attempt) {
        if (TMAccess(session, stateBuffer_.data()) != 1)
            continue;
        answered = true;
        std::array<uint8_t, 5> read{};
        if (ReadMemory(session, kClockAddress, read) != BindingStatus::Ok)
            return BindingStatus::AdapterFailure;
        // the fraction alone never asks for another read
        stable = std::equal(read.begin() + 1, read.end(), buffer.begin() + 1) &&
                 std::any_of(read.begin(), read.end(), [](uint8_t b) { return b != 0xFF; });
        buffer = read;
    }
    if (stable)
        return BindingStatus::Ok;
    return answered ? BindingStatus::Unstable : BindingStatus::NoDevice;
}

void TabletDataLoaderHelper::ClockToDate(TabletClock& clock, const std::array<uint8_t, 5>& buffer) {
    clock = TabletClock::fromBytes(buffer);
}

uint8_t TabletDataLoaderHelper::crc8Step(uint8_t seed, uint8_t byte) {
    if (TMCRC)
        return static_cast<uint8_t>(TMCRC(1, &byte, seed, 0));
    return onewire::crc8Byte(seed, byte);
}
