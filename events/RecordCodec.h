#pragma once

#include <cstdint>

// The fields of one 4-byte event record. The main and military controllers
// keep the code byte in bits 24-31 and seconds in bits 0-23; the garage
// controller keeps its detail in bits 24-31, a kind in bits 22-23 and 8-second
// units in bits 0-21.
struct RecordFields {
    uint8_t codeByte = 0; // bits 24 to 31
    uint8_t kind = 0;     // garage only
    uint32_t seconds = 0; // the time field in seconds
};

// How a variant packs its records: the one place that knows the bits.
struct RecordCodec {
    uint32_t (*encode)(const RecordFields& fields);
    RecordFields (*decode)(uint32_t word);
    int64_t counterRange; // seconds after which the controller's counter wraps
};

namespace recordcodec {
extern const RecordCodec kMainLayout;   // main and military
extern const RecordCodec kGarageLayout; // garage
} // namespace recordcodec
