#pragma once

#include "ByteSource.h"

#include <cstring>
#include <span>

// Bytes already in memory, read front to back.
class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t remaining() const override { return bytes_.size() - pos_; }
    bool read(void* data, size_t size) override {
        if (size > remaining())
            return false;
        if (size != 0)
            std::memcpy(data, bytes_.data() + pos_, size);
        pos_ += size;
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};
