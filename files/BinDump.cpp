#include "BinDump.h"

InputFile::Status BinDump::load(const std::string& path) {
    data_.clear();
    fileSize_ = 0;
    InputFile file;
    const InputFile::Status status = file.open(path, kMaxSize);
    fileSize_ = file.size();
    if (status != InputFile::Status::Opened)
        return status;
    return file.readAll(data_) ? InputFile::Status::Opened : InputFile::Status::ReadFailed;
}

std::optional<std::span<const uint8_t>> BinDump::range(int32_t start, int32_t end) const {
    if (start < 0 || end <= start || static_cast<uint64_t>(end) > data_.size())
        return std::nullopt;
    return std::span<const uint8_t>(data_).subspan(static_cast<size_t>(start),
                                                   static_cast<size_t>(end - start));
}

int32_t BinDump::parseAddress(std::string_view text) {
    size_t i = 0;
    const auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
    if (negative)
        value = 0u - value;
    return static_cast<int32_t>(value);
}

std::string BinDump::fileName(std::string_view path) {
    const size_t separator = path.find_last_of("/\\");
    return std::string(separator == std::string_view::npos ? path : path.substr(separator + 1));
}
