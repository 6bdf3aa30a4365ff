#pragma once

#include "TabletImage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

// The read command the program writes at tablet address 0 and a controller
// checks before it fills the tablet: 04, the serial key (least significant
// byte first), the command version, 00 and the CRC-8 of the seven bytes before
// it. It is also the first header of the tablet image.
namespace ReadCommandRecord {

constexpr size_t kSize = 8;
constexpr uint8_t kCommandByte = 0x04;
constexpr size_t kVersionOffset = 5;
constexpr size_t kCrcOffset = 7;

// The low 32 bits of the serial number (ROM bytes 1 to 4) rotated right by two.
uint32_t serialKey(std::span<const uint8_t, 8> rom);

// The record for this ROM code and version; `crc` builds the CRC one byte at a
// time (the driver's TMCRC where the caller has one), the program's own CRC-8
// when empty.
std::array<uint8_t, kSize> build(std::span<const uint8_t, 8> rom, uint8_t version,
                                 const TabletImage::Crc8Step& crc = {});

} // namespace ReadCommandRecord
