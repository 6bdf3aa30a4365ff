#pragma once

#include "MemoryButton.h"
#include "ParserFactory.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace onewiresim {

struct ControllerOptions {
    Variant variant = Variant::Garage;
    int device = -1;              // -1: the variant's own, from the variant table
    std::optional<uint32_t> seed; // a reproducible random history covering every code
    int events = -1;              // how many records carry events; the rest stay erased
};

// Why the read command on a tablet is not valid for it; empty when it is.
std::string readCommandProblem(const MemoryButton& tablet);

// The event memory as the controller keeps it: records newest first, and the
// counter's value at the moment of the touch.
struct EventMemory {
    std::array<uint8_t, 496> area{};
    int64_t counterNow = 0;
};

EventMemory buildEventMemory(const ControllerOptions& options);

// Touches a tablet to the controller: checks the read command and, when it is
// valid, writes device number, time stamp, event checksum, CRC 2 and events.
bool touchController(MemoryButton& tablet, const ControllerOptions& options, double now,
                     std::string& error);

} // namespace onewiresim
