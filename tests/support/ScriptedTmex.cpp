// A TMEX library for the tests of the program's binding: no bus, no devices.
// Its search can be made to block until the test releases it, as a driver
// stuck on a dead adapter would, and it counts the sessions left open. The
// device a search finds reads 0xFF everywhere but in its clock bytes
// (0x202..0x206), which take the values a test scripts, one per read of them.
// The test reaches its controls through the same library handle the program uses.
#include "Tmex.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

struct State {
    std::mutex mutex;
    std::condition_variable released;
    bool blockSearch = false;
    bool searching = false;
    int16_t setupResult = 1;
    int16_t searchResult = 0;
    long searches = 0;
    int openSessions = 0;
    int32_t nextHandle = 1;
    int16_t romResult = 1;
    long touchesLeft = -1; // bytes answered before the adapter fails; -1 never
    long accesses = 0;
    // The memory read command: bytes of it seen since the device was selected
    // (3: reading), and the address of the next byte.
    int commandBytes = 0;
    unsigned address = 0;
    std::vector<std::array<uint8_t, 5>> clocks; // the last one stays
    size_t clockReads = 0;
};

constexpr unsigned kClockAddress = 0x202;

// The next byte of a memory read; a read of the clock's last byte moves the
// script on.
uint8_t memoryByte(State& s) {
    const unsigned at = s.address++;
    if (s.clocks.empty() || at < kClockAddress || at >= kClockAddress + 5)
        return 0xFF;
    const auto& clock = s.clocks[std::min(s.clockReads, s.clocks.size() - 1)];
    if (at == kClockAddress + 4)
        ++s.clockReads;
    return clock[at - kClockAddress];
}

State& state() {
    static State s;
    return s;
}

} // namespace

extern "C" __attribute__((visibility("default"))) void scriptedTmexBlockSearch(bool block) {
    State& s = state();
    {
        std::lock_guard lock(s.mutex);
        s.blockSearch = block;
    }
    s.released.notify_all();
}

extern "C" __attribute__((visibility("default"))) void scriptedTmexSetupResult(int16_t result) {
    std::lock_guard lock(state().mutex);
    state().setupResult = result;
}

// What the search answers from now on: 0 nothing found, negative an adapter error.
extern "C" __attribute__((visibility("default"))) void scriptedTmexSearchResult(int16_t result) {
    std::lock_guard lock(state().mutex);
    state().searchResult = result;
}

extern "C" __attribute__((visibility("default"))) void scriptedTmexRomResult(int16_t result) {
    std::lock_guard lock(state().mutex);
    state().romResult = result;
}

// The adapter answers this many bytes more, then fails every one (-1: never).
extern "C" __attribute__((visibility("default"))) void scriptedTmexTouchesLeft(long bytes) {
    std::lock_guard lock(state().mutex);
    state().touchesLeft = bytes;
}

// The clock values successive reads of the clock bytes give (5 bytes each:
// fraction, seconds least significant first); none: 0xFF.
extern "C" __attribute__((visibility("default"))) void scriptedTmexClocks(const uint8_t* values,
                                                                          int count) {
    std::lock_guard lock(state().mutex);
    State& s = state();
    s.clocks.assign(static_cast<size_t>(count), {});
    for (int i = 0; i < count; ++i)
        std::copy_n(values + 5 * i, 5, s.clocks[static_cast<size_t>(i)].begin());
    s.clockReads = 0;
    s.accesses = 0;
}

extern "C" __attribute__((visibility("default"))) long scriptedTmexAccesses() {
    std::lock_guard lock(state().mutex);
    return state().accesses;
}

extern "C" __attribute__((visibility("default"))) long scriptedTmexSearches() {
    std::lock_guard lock(state().mutex);
    return state().searches;
}

extern "C" __attribute__((visibility("default"))) bool scriptedTmexSearching() {
    std::lock_guard lock(state().mutex);
    return state().searching;
}

extern "C" __attribute__((visibility("default"))) int scriptedTmexOpenSessions() {
    std::lock_guard lock(state().mutex);
    return state().openSessions;
}

TMEX_EXPORT int16_t TMEX_CALL TMReadDefaultPort(int16_t* portNum, int16_t* portType) {
    *portNum = 0;
    *portType = 6; // a DS9490, as TMEX numbers it
    return 1;
}

TMEX_EXPORT int16_t TMEX_CALL Get_Version(char* text) {
    std::strcpy(text, "scripted TMEX");
    return 1;
}

TMEX_EXPORT int16_t TMEX_CALL TMGetTypeVersion(int16_t, char* text) {
    std::strcpy(text, "scripted USB port");
    return 1;
}

TMEX_EXPORT int32_t TMEX_CALL TMExtendedStartSession(int16_t, int16_t, void*) {
    std::lock_guard lock(state().mutex);
    ++state().openSessions;
    return state().nextHandle++;
}

TMEX_EXPORT int16_t TMEX_CALL TMEndSession(int32_t) {
    std::lock_guard lock(state().mutex);
    --state().openSessions;
    return 1;
}

TMEX_EXPORT int16_t TMEX_CALL TMSetup(int32_t) {
    std::lock_guard lock(state().mutex);
    return state().setupResult;
}

// Finds nothing; while the search is blocked it does not return.
TMEX_EXPORT int16_t TMEX_CALL TMNext(int32_t, void*) {
    State& s = state();
    std::unique_lock lock(s.mutex);
    ++s.searches;
    s.commandBytes = 0;
    s.searching = true;
    s.released.wait(lock, [&s] { return !s.blockSearch; });
    s.searching = false;
    return s.searchResult;
}

TMEX_EXPORT int16_t TMEX_CALL TMRom(int32_t, void*, int16_t*) {
    std::lock_guard lock(state().mutex);
    return state().romResult;
}

// The device a search found answers; none otherwise.
TMEX_EXPORT int16_t TMEX_CALL TMAccess(int32_t, void*) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    ++s.accesses;
    s.commandBytes = 0;
    return s.searchResult == 1 ? 1 : 0;
}

TMEX_EXPORT int16_t TMEX_CALL TMTouchByte(int32_t, int16_t byte) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.touchesLeft == 0)
        return tmex::kPortError;
    if (s.touchesLeft > 0)
        --s.touchesLeft;
    switch (s.commandBytes) {
    case 0:
        s.commandBytes = byte == 0xF0 ? 1 : 4;
        return 0xFF;
    case 1:
        s.address = static_cast<uint8_t>(byte);
        s.commandBytes = 2;
        return 0xFF;
    case 2:
        s.address |= static_cast<unsigned>(static_cast<uint8_t>(byte)) << 8;
        s.commandBytes = 3;
        return 0xFF;
    case 3:
        return memoryByte(s);
    default:
        return 0xFF;
    }
}
