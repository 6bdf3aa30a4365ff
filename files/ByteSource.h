#pragma once

#include <cstddef>
#include <cstdint>

// Where a reader takes its bytes from. The source knows how much is left before
// it is read, so a reader can refuse a length that runs past the end without
// allocating for it.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t remaining() const = 0;
    // Delivers exactly `size` bytes, or fails (fewer left, or the device failed).
    virtual bool read(void* data, size_t size) = 0;
};
