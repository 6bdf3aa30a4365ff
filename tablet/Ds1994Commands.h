#pragma once

#include <cstdint>

// The 1-Wire commands the program sends to a tablet, and the byte that reads a
// time slot (the master sends ones; the device pulls the zeros).
namespace ds1994 {

constexpr uint8_t kSkipRom = 0xCC;
constexpr uint8_t kReadMemory = 0xF0;
constexpr uint8_t kWriteScratchpad = 0x0F;
constexpr uint8_t kReadScratchpad = 0xAA;
constexpr uint8_t kCopyScratchpad = 0x55;
constexpr uint8_t kReadSlot = 0xFF;
constexpr uint8_t kFamily = 0x04; // the first byte of a DS1994's ROM code

} // namespace ds1994
