#include "LogFileWriter.h"

#include "Cp1251.h"
#include "LogFileLayout.h"

#include <cstring>
#include <limits>

static_assert(std::tuple_size_v<LogFileWriter::FixedPart> == logfile::kFixedPartSize);

namespace {

template <typename T> void putLe(LogFileWriter::FixedPart& part, size_t offset, T value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof value);
    for (size_t i = 0; i < sizeof value; ++i)
        part[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
}

bool writeText(ByteSink& sink, const std::string& utf8) {
    const std::string bytes = cp1251::fromUtf8(utf8);
    if (bytes.size() > std::numeric_limits<uint32_t>::max())
        return false;
    const auto length = static_cast<uint32_t>(bytes.size());
    uint8_t le[logfile::kLengthSize];
    for (size_t i = 0; i < sizeof le; ++i)
        le[i] = static_cast<uint8_t>(length >> (8 * i));
    return sink.write(le, sizeof le) && (bytes.empty() || sink.write(bytes.data(), bytes.size()));
}

} // namespace

LogFileWriter::FixedPart LogFileWriter::fixedPart(const EventInfo& e) {
    FixedPart part{};
    putLe(part, logfile::kNumber, e.number);
    putLe(part, logfile::kZeroTime, e.zeroTime);
    putLe(part, logfile::kTimeState, e.timeState);
    putLe(part, logfile::kPosition, e.position);
    putLe(part, logfile::kTime, e.time);
    putLe(part, logfile::kCategory, e.category);
    putLe(part, logfile::kCodeByte, e.codeByte);
    return part;
}

bool LogFileWriter::writeEvent(ByteSink& sink, const EventInfo& e) {
    const FixedPart part = fixedPart(e);
    return sink.write(part.data(), part.size()) && writeText(sink, e.typeText) &&
           writeText(sink, e.infoText) && writeText(sink, e.noteText);
}

bool LogFileWriter::write(ByteSink& sink, const EventCollection& events) {
    for (const EventInfo& e : events)
        if (!writeEvent(sink, e))
            return false;
    return true;
}
