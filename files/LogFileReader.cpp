#include "LogFileReader.h"

#include "Cp1251.h"
#include "LogFileLayout.h"

#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

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

// The texts of one file, each made once: a list's texts come from a few
// thousand distinct ones. A file of ever new texts stops filling the pool.
class TextPool {
public:
    EventText textOf(std::string_view bytes) {
        if (bytes.empty())
            return {};
        const auto it = pool_.find(bytes);
        if (it != pool_.end())
            return it->second;
        EventText text(cp1251::toUtf8(bytes));
        if (pool_.size() < kMaxTexts)
            pool_.emplace(std::string(bytes), text);
        return text;
    }

private:
    static constexpr size_t kMaxTexts = 65536;
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, EventText, Hash, std::equal_to<>> pool_;
};

// `bytes` is the caller's scratch buffer, reused from text to text.
bool readText(ByteSource& source, EventText& text, std::string& bytes, TextPool& pool,
              LogFileReader::End& end) {
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
    text = pool.textOf(std::string_view(bytes.data(), std::strlen(bytes.c_str())));
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
    TextPool pool;
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
        if (!readText(source, e.typeText, scratch, pool, end) ||
            !readText(source, e.infoText, scratch, pool, end) ||
            !readText(source, e.noteText, scratch, pool, end))
            return end;
        each(e);
    }
    return End::Clean;
}
