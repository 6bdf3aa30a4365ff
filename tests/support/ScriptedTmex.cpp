// A TMEX library for the tests of the program's binding: no bus, no devices.
// Its search can be made to block until the test releases it, as a driver
// stuck on a dead adapter would, and it counts the sessions left open. The
// test reaches its controls through the same library handle the program uses.
#include "Tmex.h"

#include <condition_variable>
#include <cstring>
#include <mutex>

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
};

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
    std::lock_guard lock(state().mutex);
    return state().searchResult == 1 ? 1 : 0;
}

TMEX_EXPORT int16_t TMEX_CALL TMTouchByte(int32_t, int16_t) {
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.touchesLeft == 0)
        return tmex::kPortError;
    if (s.touchesLeft > 0)
        --s.touchesLeft;
    return 0xFF;
}
