#pragma once

#include "EventText.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// One decoded event, a plain value that copies cheaply: its texts are shared
// with every other event that shows them. Texts are UTF-8 in memory; the log
// file and the export convert them at their edges.
struct EventInfo {
    enum TimeState : uint8_t { Normal = 0, NeedsCorrection = 1, EditedByHand = 2 };

    int32_t number = 0; // position + 1; dropped records leave gaps
    EventText typeText;
    EventText infoText;
    EventText noteText;
    uint8_t zeroTime = 0;
    uint8_t timeState = Normal;
    int32_t position = 0;
    double time = 0.0;
    int8_t category = 0;
    // The raw record, kept by the garage decoder for its segment search; records
    // opened from a log file have none.
    std::optional<std::array<uint8_t, 4>> raw;
    uint8_t codeByte = 0;
    // The record's four bytes were all 0xFF: memory the controller has not
    // written since it was erased. Only a decoder can tell; a record opened
    // from a log file is never taken for one.
    bool erased = false;
};

// Four bytes of erased memory.
inline bool isErasedRecord(const uint8_t* raw) {
    return raw[0] == 0xFF && raw[1] == 0xFF && raw[2] == 0xFF && raw[3] == 0xFF;
}

namespace eventtext {
inline constexpr const char* kNeedsCorrection = "Время требует корректировки";
inline constexpr const char* kEditedByHand = "Время отредактировано вручную";

// The notes as the events share them.
const EventText& needsCorrectionNote();
const EventText& editedByHandNote();

// The code byte as eight binary digits, most significant bit first.
std::string codeByteText(uint8_t code);
} // namespace eventtext
