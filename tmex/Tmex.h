#pragma once

// The TMEX driver interface as the program calls it: the fourteen entry points
// of IBFS32.DLL, looked up by name at run time. On Win32 they are __stdcall;
// `short` is 16 bits and `long` 32 bits there, hence the fixed-width types.
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define TMEX_CALL __stdcall
#else
#define TMEX_CALL
#endif

#if defined(_WIN32)
#define TMEX_EXPORT extern "C" __declspec(dllexport)
#else
#define TMEX_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace tmex {

constexpr int kStateBufferSize = 5120;
constexpr int kVersionTextSize = 2000;

// Results named by the TMEX documentation.
constexpr int16_t kNoDevice = -1;
constexpr int16_t kBufferTooSmall = -4;
constexpr int16_t kFunctionNotSupported = -13;
constexpr int16_t kPortError = -17;
constexpr int16_t kCrcError = -20;
constexpr int16_t kInvalidArgument = -26;
constexpr int32_t kInvalidSession = -200;
constexpr int32_t kNoBaseDriver = -201;

using TMGetTypeVersionFn = int16_t(TMEX_CALL*)(int16_t portType, char* text);
using TMReadDefaultPortFn = int16_t(TMEX_CALL*)(int16_t* portNum, int16_t* portType);
using TMExtendedStartSessionFn = int32_t(TMEX_CALL*)(int16_t portNum, int16_t portType,
                                                     void* options);
using TMEndSessionFn = int16_t(TMEX_CALL*)(int32_t session);
using Get_VersionFn = int16_t(TMEX_CALL*)(char* text);
using TMSetupFn = int16_t(TMEX_CALL*)(int32_t session);
using TMCRCFn = int16_t(TMEX_CALL*)(int16_t length, uint8_t* buffer, uint16_t seed, int16_t type);
using TMNextFn = int16_t(TMEX_CALL*)(int32_t session, void* state);
using TMRomFn = int16_t(TMEX_CALL*)(int32_t session, void* state, int16_t* rom);
using TMTouchByteFn = int16_t(TMEX_CALL*)(int32_t session, int16_t byte);
using TMTouchResetFn = int16_t(TMEX_CALL*)(int32_t session);
using TMReadPacketFn = int16_t(TMEX_CALL*)(int32_t session, void* state, int16_t page,
                                           uint8_t* buffer, int16_t max);
using TMExtendedReadPageFn = int16_t(TMEX_CALL*)(int32_t session, void* state, int16_t page,
                                                 uint8_t* buffer, int16_t mspace);
using TMAccessFn = int16_t(TMEX_CALL*)(int32_t session, void* state);

} // namespace tmex
