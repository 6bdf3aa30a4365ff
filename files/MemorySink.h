#pragma once

#include "ByteSink.h"

#include <cstdint>
#include <vector>

// Collects what is written, in memory.
class MemorySink : public ByteSink {
public:
    bool write(const void* data, size_t size) override {
        const auto* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + size);
        return true;
    }
    std::vector<uint8_t> bytes;
};
