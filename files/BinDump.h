#pragma once

#include "InputFile.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A raw memory dump kept in a file, decoded by an import as 4-byte records.
class BinDump {
public:
    // 2 097 152 records; their events take about 700 MB.
    static constexpr uint64_t kMaxSize = 8u << 20;

    // Reads the whole file, a regular file of at most kMaxSize bytes.
    InputFile::Status load(const std::string& path);
    const std::vector<uint8_t>& data() const { return data_; }
    uint32_t size() const { return static_cast<uint32_t>(data_.size()); }
    // The size the file was found to have, also when it was too large to load.
    uint64_t fileSize() const { return fileSize_; }

    // The bytes [start, end) when 0 <= start < end <= size, otherwise none: an
    // empty range (start equal to end, both fields blank) holds no record to
    // import and is refused as one outside the file is.
    std::optional<std::span<const uint8_t>> range(int32_t start, int32_t end) const;

    // An address field: leading white space, one optional sign, then decimal
    // digits accumulated in 32-bit arithmetic with wrap-around up to the first
    // non-digit; no digits give 0. (" 16" 16, "16abc" 16, "0x10" 0, "-4" -4.)
    static int32_t parseAddress(std::string_view text);
    // The name after its last folder separator, "/" or "\".
    static std::string fileName(std::string_view path);

private:
    std::vector<uint8_t> data_;
    uint64_t fileSize_ = 0;
};
