#include "RecordCodec.h"

namespace recordcodec {
namespace {

uint32_t encodeMain(const RecordFields& f) {
    return static_cast<uint32_t>(f.codeByte) << 24 | (f.seconds & 0x00FFFFFF);
}

RecordFields decodeMain(uint32_t word) {
    return {static_cast<uint8_t>(word >> 24), 0, word & 0x00FFFFFF};
}

uint32_t encodeGarage(const RecordFields& f) {
    return static_cast<uint32_t>(f.codeByte) << 24 | static_cast<uint32_t>(f.kind & 0x03) << 22 |
           ((f.seconds / 8) & 0x003FFFFF);
}

RecordFields decodeGarage(uint32_t word) {
    return {static_cast<uint8_t>(word >> 24), static_cast<uint8_t>((word >> 22) & 0x03),
            (word & 0x003FFFFF) * 8};
}

} // namespace

const RecordCodec kMainLayout = {encodeMain, decodeMain, int64_t(1) << 24};
const RecordCodec kGarageLayout = {encodeGarage, decodeGarage, (int64_t(1) << 22) * 8};

} // namespace recordcodec
