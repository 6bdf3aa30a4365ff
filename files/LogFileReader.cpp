#include "LogFileReader.h"

#include "Cp1251.h"
#include "LogFileLayout.h"

#include <array>
#include <cstring>
#include <string>

namespace {

template <typename T> T getLe(const uint8_t* part, size_t offset) {
    uint64_t bits = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
        bits |= static_cast<uint64_t>(part[offset + i]) << (8 * i);
    T value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Takes `size` bytes when the source still holds them: a cut is found before
// anything is read or allocated for it.
bool take(ByteSource& source, void* data, size_t size, LogFileReader::End& end) {
    if (source.remaining() < size) {
        end = LogFileReader::End::Cut;
        return false;
    }
    if (!source.read(data, size)) {
        end = LogFileReader::End::Failed;
        return false;
    }
    return true;
}

// `bytes` is the caller's scratch buffer, reused from text to text.
bool readText(ByteSource& source, std::string& text, std::string& bytes, LogFileReader::End& end) {
    uint8_t le[logfile::kLengthSize];
    if (!take(source, le, sizeof le, end))
        return false;
    const uint32_t length = getLe<uint32_t>(le, 0);
    if (source.remaining() < length) {
        end = LogFileReader::End::Cut;
        return false;
    }
    bytes.resize(length);
    if (!take(source, bytes.data(), length, end))
        return false;
    text = cp1251::toUtf8(std::string_view(bytes.data(), std::strlen(bytes.c_str())));
    return true;
}

} // namespace

LogFileReader::End LogFileReader::read(ByteSource& source, EventCollection& events) {
    return readEach(source, [&events](EventInfo& e) { events.append(std::move(e)); });
}

LogFileReader::End LogFileReader::readEach(ByteSource& source,
                                           const std::function<void(EventInfo&)>& each) {
    if (source.remaining() == 0)
        return End::Empty;
    std::string scratch;
    while (source.remaining() != 0) {
        End end = End::Clean;
        std::array<uint8_t, logfile::kFixedPartSize> part;
        if (!take(source, part.data(), part.size(), end))
            return end;
        EventInfo e;
        e.number = getLe<int32_t>(part.data(), logfile::kNumber);
        e.zeroTime = getLe<uint8_t>(part.data(), logfile::kZeroTime);
        e.timeState = getLe<uint8_t>(part.data(), logfile::kTimeState);
        e.position = getLe<int32_t>(part.data(), logfile::kPosition);
        e.time = getLe<double>(part.data(), logfile::kTime);
        e.category = getLe<int8_t>(part.data(), logfile::kCategory);
        e.codeByte = getLe<uint8_t>(part.data(), logfile::kCodeByte);
        if (!readText(source, e.typeText, scratch, end) ||
            !readText(source, e.infoText, scratch, end) ||
            !readText(source, e.noteText, scratch, end))
            return end;
        each(e);
    }
    return End::Clean;
}
