#pragma once

#include "OneWireMaster.h"

#include <cstdint>

namespace onewire {

// The DS2480B serial 1-Wire line driver's command set (DS2480B datasheet and
// Maxim application note 192); shared by the master and the emulator the tests
// put behind a pseudo-terminal.
//
// Every communication command runs at flexible speed: the set-up writes the
// slew rate, write-1 low time and sample offset, and the DS2480B applies those
// only at flexible speed (at regular speed it keeps its fixed standard timing).
// The bus stays at standard speed either way; flexible timing is what keeps a
// long cable to the tablet reliable.
namespace ds2480b {

constexpr uint8_t kDataMode = 0xE1;
constexpr uint8_t kCommandMode = 0xE3; // in data mode: twice sends 0xE3 on the bus
constexpr uint8_t kSpeedMask = 0x0C;   // s s: 00 regular, 01 flexible, 10 overdrive
constexpr uint8_t kFlexibleSpeed = 0x04;
constexpr uint8_t kReset = 0xC1 | kFlexibleSpeed; // 1 1 0 x s s 0 1
constexpr uint8_t kBit = 0x81 | kFlexibleSpeed;   // 1 0 0 d s s 0 1
constexpr uint8_t kBitOne = 0x10;                 // d
constexpr uint8_t kAcceleratorOn = 0xB1 | kFlexibleSpeed;
constexpr uint8_t kAcceleratorOff = 0xA1 | kFlexibleSpeed;
constexpr uint8_t kPulseTerminate = 0xF1;

// Reset response 1 1 p v v v r r: 12 V programming voltage present p, chip
// revision v, result r. Only bits 7-6 tell a reset answer; p is 1 on adapters
// with programming voltage (ED instead of CD).
constexpr uint8_t kResetResponseMask = 0xC0;
constexpr uint8_t kResetResponse = 0xC0;
constexpr uint8_t kProgrammingVoltage = 0x20;
constexpr uint8_t kRevisionMask = 0x1C;
constexpr uint8_t kChipRevision = 0x0C; // DS2480B: revision 3
enum ResetResult : uint8_t { kShorted = 0, kPresence = 1, kAlarmingPresence = 2, kNoPresence = 3 };

// Configuration: 0 p p p v v v 1 writes value v of parameter p; 0 0 0 0 p p p 1
// reads it. The answer repeats the command with bit 0 cleared, a read answers
// the value in bits 1..3.
constexpr uint8_t configWrite(uint8_t parameter, uint8_t value) {
    return static_cast<uint8_t>(parameter << 4 | value << 1 | 1);
}
constexpr uint8_t configRead(uint8_t parameter) {
    return static_cast<uint8_t>(parameter << 1 | 1);
}
constexpr uint8_t kSlewRate = 1;      // PDSRC
constexpr uint8_t kWrite1LowTime = 4; // W1LT
constexpr uint8_t kSampleOffset = 5;  // DSO/W0RT
constexpr uint8_t kBaudRate = 7;      // RBR, value 0: 9600 baud

// The set-up of application note 192 for a bus of some length: slew rate
// 1.37 V/us, write-1 low time 10 us, sample offset 8 us; then the baud rate is
// read back and a bit is read, which proves a DS2480B answers.
struct ConfigStep {
    uint8_t command;
    uint8_t answer;
    uint8_t answerMask;
};
constexpr ConfigStep kSetup[] = {
    {configWrite(kSlewRate, 3), configWrite(kSlewRate, 3) & 0xFE, 0xFF},
    {configWrite(kWrite1LowTime, 2), configWrite(kWrite1LowTime, 2) & 0xFE, 0xFF},
    {configWrite(kSampleOffset, 5), configWrite(kSampleOffset, 5) & 0xFE, 0xFF},
    {configRead(kBaudRate), 0x00, 0xFF},
    {kBit | kBitOne, (kBit | kBitOne) & 0xFC, 0xFC},
};

// The search accelerator's 16 bytes: two bits per ROM bit n, at 2n and 2n+1;
// the master sends the direction r at 2n+1, the DS2480B answers the
// discrepancy flag d at 2n and the direction taken r' at 2n+1.
void encodeSearch(const Rom& preference, uint8_t out[16]);
// Decodes an answer: 1 and the ROM found, 0 when no device answered (r'63 and
// d63 both set, as the datasheet marks an error).
int decodeSearch(const uint8_t in[16], OneWireMaster::SearchPass& out);

} // namespace ds2480b
} // namespace onewire
