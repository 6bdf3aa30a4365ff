#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace onewire {

// The DS2490 USB to 1-Wire bridge's commands and status registers, from its
// datasheet ("USB to 1-Wire Bridge Chip", appendices 1 to 4); shared by the
// master and the bridge model of the tests.
namespace ds2490 {

constexpr uint16_t kVendorId = 0x04FA;
constexpr uint16_t kProductId = 0x2490;
constexpr uint8_t kRequestType = 0x40; // vendor, host to device
constexpr uint8_t kStatusEndpoint = 0x81;
constexpr uint8_t kDataOutEndpoint = 0x02;
constexpr uint8_t kDataInEndpoint = 0x83;

// bRequest: the three command types
constexpr uint8_t kControlCommand = 0x00;
constexpr uint8_t kCommCommand = 0x01;
constexpr uint8_t kModeCommand = 0x02;

// control commands (wValue)
constexpr uint16_t kResetDevice = 0x0000;
constexpr uint16_t kFlushCommands = 0x0007;
constexpr uint16_t kFlushReceive = 0x0008;
constexpr uint16_t kFlushTransmit = 0x0009;

// mode commands (wValue, the setting in wIndex)
constexpr uint16_t kModePulseEnable = 0x0000;
constexpr uint16_t kModeSpeedChangeEnable = 0x0001;
constexpr uint16_t kModeSpeed = 0x0002;
constexpr uint16_t kSpeedRegular = 0x00;

// communication commands (wValue) and their embedded bits
constexpr uint16_t kOneWireReset = 0x0042;
constexpr uint16_t kBitIo = 0x0020;
constexpr uint16_t kByteIo = 0x0052;
// A whole search step in the bridge: the path to take at disagreements goes
// to EP2 (8 bytes), the ROM found and where the devices disagreed come from
// EP3 (8 + 8 bytes with RTS); wIndex holds the search command in its low byte
// and the number of devices in its high byte.
constexpr uint16_t kSearchAccess = 0x00F4;
constexpr uint16_t kRst = 0x0100; // a 1-Wire reset first
constexpr uint16_t kSm = 0x0008;  // SEARCH ACCESS: 1 only search, 0 leave the device selected
constexpr uint16_t kRts = 0x4000; // SEARCH ACCESS: the discrepancies too
constexpr uint16_t kIm = 0x0001;  // execute at once
constexpr uint16_t kD = 0x0008;   // the bit to write (BIT I/O)
constexpr uint16_t kSe = 0x0008;  // speed change with a reset
constexpr uint16_t kIcp = 0x0200; // no result feedback (inside a macro)
constexpr uint16_t kNtf = 0x0400; // result feedback also without an error
constexpr uint16_t kF = 0x0800;   // clear the buffers after an error
// The command itself, without its embedded bits.
constexpr uint16_t commandOf(uint16_t value) {
    return value & 0x00F6;
}

// status packet from EP1: 16 state registers, then result codes
constexpr size_t kStateRegisters = 16;
constexpr size_t kStatusFlags = 0x08;
constexpr size_t kCommandBufferCount = 0x0B;
constexpr size_t kDataOutCount = 0x0C;
constexpr size_t kDataInCount = 0x0D;
constexpr uint8_t kFlagIdle = 0x20;
constexpr uint8_t kFlagHalt = 0x10;
constexpr uint8_t kFlagEp0Full = 0x80;
// result code bits
constexpr uint8_t kResultNoPresence = 0x01;  // NRS
constexpr uint8_t kResultShort = 0x02;       // SH
constexpr uint8_t kResultAlarm = 0x04;       // APP: alarming presence
constexpr uint8_t kResultCompare = 0x10;     // CMP
constexpr uint8_t kResultCrc = 0x20;         // CRC
constexpr uint8_t kResultEndOfSearch = 0x80; // EOS
constexpr uint8_t kDeviceDetected = 0xA5;    // not a result: a device arrived
constexpr size_t kMaxStatus = 32;            // registers and up to 16 result codes

struct Status {
    bool valid = false; // at least the 16 registers came
    uint8_t flags = 0;
    uint8_t commandBufferCount = 0;
    uint8_t dataInCount = 0;
    std::vector<uint8_t> results; // result codes, device-detect codes left out

    bool idle() const { return valid && (flags & kFlagIdle) && commandBufferCount == 0; }
    uint8_t resultBits() const;
};
// Any bytes: a packet shorter than the registers is not valid; result codes
// past kMaxStatus are ignored.
Status parseStatus(const uint8_t* data, size_t length);

// Reset result from the result codes of a 1-Wire reset: 0 no presence,
// 1 presence, 2 alarming presence, 3 shorted.
int resetResult(const Status& status);

} // namespace ds2490
} // namespace onewire
