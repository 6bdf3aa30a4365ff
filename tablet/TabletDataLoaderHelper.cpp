#include "TabletDataLoaderHelper.h"

#include "OneWireCrc.h"

#include <QCoreApplication>
#include <QDir>

#include <chrono>
#include <vector>

TabletDataLoaderHelper::TabletDataLoaderHelper(QString libraryPath) {
    library_.setFileName(libraryPath);
}

TabletDataLoaderHelper::~TabletDataLoaderHelper() = default; // the library stays loaded

QString TabletDataLoaderHelper::defaultLibraryPath() {
#if defined(_WIN32)
    return QStringLiteral("IBFS32.DLL");
#else
    const QString dir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return dir + QStringLiteral("/libIBFS32.so");
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
    resolve(TMCRC, "TMCRC"); // optional: the program has its own CRC-8
    all &= resolve(TMNext, "TMNext");
    all &= resolve(TMRom, "TMRom");
    all &= resolve(TMTouchByte, "TMTouchByte");
    resolve(TMTouchReset, "TMTouchReset"); // optional: only the writer needs it
    all &= resolve(TMReadPacket, "TMReadPacket");
    all &= resolve(TMExtendedReadPage, "TMExtendedReadPage");
    all &= resolve(TMAccess, "TMAccess");
    return all;
}

void TabletDataLoaderHelper::Unload() {
    clearEntryPoints();
    library_.unload();
}

TabletDataLoaderHelper::OpenResult TabletDataLoaderHelper::OpenSession(Session& session) {
    if (!Load())
        return OpenResult::LibraryFailure;
    TMReadDefaultPort(&session.portNumber, &session.portType);
    // A buffer larger than the driver may fill, always terminated.
    std::vector<char> text(tmex::kVersionTextSize + 1, '\0');
    Get_Version(text.data());
    const int16_t typeVersion = TMGetTypeVersion(session.portType, text.data());
    text.back() = '\0';
    session.versionText = QString::fromLocal8Bit(text.data());
    if (typeVersion < 0) {
        Unload();
        return OpenResult::DriverFailure;
    }
    session.handle = TMExtendedStartSession(session.portNumber, session.portType, nullptr);
    session.setupResult = TMSetup(session.handle);
    if (session.setupResult != 1 && session.setupResult != 2) {
        Unload();
        return OpenResult::SetupFailure;
    }
    return OpenResult::Opened;
}

int16_t TabletDataLoaderHelper::ReadClock(int32_t session, std::array<uint8_t, 5>& buffer) {
    if (!TMNext || TMNext(session, stateBuffer_.data()) != 1)
        return -1;
    bool stable = false;
    for (int attempt = 0; attempt < 5 && !stable; ++attempt) {
        if (TMAccess(session, stateBuffer_.data()) != 1)
            continue;
        TMTouchByte(session, 0xF0);
        TMTouchByte(session, 0x02);
        TMTouchByte(session, 0x02);
        stable = true;
        for (size_t j = 0; j < buffer.size(); ++j) {
            const uint8_t b = static_cast<uint8_t>(TMTouchByte(session, 0xFF));
            if (b != buffer[j]) {
                buffer[j] = b;
                if (j >= 1)
                    stable = false; // the fraction alone never asks for another read
            }
        }
    }
    return stable ? 1 : 0;
}

void TabletDataLoaderHelper::ClockToDate(TabletClock& clock, const std::array<uint8_t, 5>& b) {
    clock.hundredths = static_cast<uint16_t>((b[0] + 2) * 99 / 255);
    // Every counter value is a date: no cut-off turns current clocks into 1970.
    const uint32_t s = b[1] | b[2] << 8 | b[3] << 16 | static_cast<uint32_t>(b[4]) << 24;
    const uint32_t m = s / 60;
    clock.seconds = static_cast<uint16_t>(s % 60);
    const uint32_t h = m / 60;
    clock.minutes = static_cast<uint16_t>(m % 60);
    const uint32_t d = h / 24;
    clock.hours = static_cast<uint16_t>(h % 24);
    // The proleptic calendar, exact past 2100 too (not every fourth year leaps).
    const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{d}}};
    clock.day = static_cast<uint16_t>(static_cast<unsigned>(date.day()));
    clock.month = static_cast<uint16_t>(static_cast<unsigned>(date.month()));
    clock.year = static_cast<uint16_t>(static_cast<int>(date.year()) % 100);
}

uint8_t TabletDataLoaderHelper::crc8Step(uint8_t seed, uint8_t byte) {
    if (TMCRC)
        return static_cast<uint8_t>(TMCRC(1, &byte, seed, 0));
    return onewire::crc8Byte(seed, byte);
}
