#include "LogFileWriter.h"

#include "Cp1251.h"
#include "LogFileLayout.h"

#include <cstring>
#include <functional>
#include <limits>
#include <string_view>
#include <vector>

static_assert(std::tuple_size_v<LogFileWriter::FixedPart> == logfile::kFixedPartSize);

namespace {

// What goes to the sink at once: large enough that a file sink passes it
// straight on.
constexpr size_t kBufferSize = 256 * 1024;
// Slots of the conversion cache. The texts of a list come from a few thousand
// distinct ones, which nearly all stay once converted.
constexpr size_t kCacheSlots = 4096;

template <typename T> void putLe(uint8_t* part, size_t offset, T value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof value);
    for (size_t i = 0; i < sizeof value; ++i)
        part[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
}

void putLength(uint8_t* out, uint32_t length) {
    for (size_t i = 0; i < logfile::kLengthSize; ++i)
        out[i] = static_cast<uint8_t>(length >> (8 * i));
}

bool writeText(ByteSink& sink, const std::string& utf8) {
    const std::string bytes = cp1251::fromUtf8(utf8);
    if (bytes.size() > std::numeric_limits<uint32_t>::max())
        return false;
    uint8_t le[logfile::kLengthSize];
    putLength(le, static_cast<uint32_t>(bytes.size()));
    return sink.write(le, sizeof le) && (bytes.empty() || sink.write(bytes.data(), bytes.size()));
}

// Each text's code-page form, converted once per distinct text object it has
// seen (a slot holds the last text that hashed to it, and keeps it alive).
class Cp1251Cache {
public:
    Cp1251Cache() : slots_(kCacheSlots) {}

    const std::string& bytesOf(const EventText& text) {
        if (text.empty())
            return empty_;
        // the text's address, its low bits spread over the slots
        const auto address = reinterpret_cast<uintptr_t>(text.c_str());
        Slot& slot = slots_[(address * 0x9E3779B97F4A7C15u >> 40) % kCacheSlots];
        if (!slot.text.sharedWith(text)) {
            slot.text = text;
            slot.bytes = cp1251::fromUtf8(text);
        }
        return slot.bytes;
    }

private:
    struct Slot {
        EventText text;
        std::string bytes;
    };
    std::vector<Slot> slots_;
    const std::string empty_;
};

// Blocks gathered in one buffer, handed to the sink whenever it is full.
class BlockBuffer {
public:
    explicit BlockBuffer(ByteSink& sink) : sink_(sink) { buffer_.reserve(2 * kBufferSize); }

    void put(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        buffer_.insert(buffer_.end(), p, p + size);
    }
    bool putText(const std::string& bytes) {
        if (bytes.size() > std::numeric_limits<uint32_t>::max())
            return false;
        uint8_t le[logfile::kLengthSize];
        putLength(le, static_cast<uint32_t>(bytes.size()));
        put(le, sizeof le);
        put(bytes.data(), bytes.size());
        return true;
    }
    // After each block: the sink gets the buffer once it is full.
    bool blockDone() { return buffer_.size() < kBufferSize || flush(); }
    bool flush() {
        const bool ok = buffer_.empty() || sink_.write(buffer_.data(), buffer_.size());
        buffer_.clear();
        return ok;
    }

private:
    ByteSink& sink_;
    std::vector<uint8_t> buffer_;
};

} // namespace

LogFileWriter::FixedPart LogFileWriter::fixedPart(const EventInfo& e) {
    FixedPart part{};
    putLe(part.data(), logfile::kNumber, e.number);
    putLe(part.data(), logfile::kZeroTime, e.zeroTime);
    putLe(part.data(), logfile::kTimeState, e.timeState);
    putLe(part.data(), logfile::kPosition, e.position);
    putLe(part.data(), logfile::kTime, e.time);
    putLe(part.data(), logfile::kCategory, e.category);
    putLe(part.data(), logfile::kCodeByte, e.codeByte);
    return part;
}

bool LogFileWriter::writeEvent(ByteSink& sink, const EventInfo& e) {
    const FixedPart part = fixedPart(e);
    return sink.write(part.data(), part.size()) && writeText(sink, e.typeText) &&
           writeText(sink, e.infoText) && writeText(sink, e.noteText);
}

bool LogFileWriter::write(ByteSink& sink, const EventCollection& events) {
    Cp1251Cache cache;
    BlockBuffer buffer(sink);
    for (const EventInfo& e : events) {
        const FixedPart part = fixedPart(e);
        buffer.put(part.data(), part.size());
        // each text copied before the next lookup, which may take over its slot
        if (!buffer.putText(cache.bytesOf(e.typeText)) ||
            !buffer.putText(cache.bytesOf(e.infoText)) ||
            !buffer.putText(cache.bytesOf(e.noteText)) || !buffer.blockDone())
            return false;
    }
    return buffer.flush();
}
