#pragma once

#include <cstddef>

// Where a writer puts its bytes: a file, a buffer, or a test's failing device.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Takes all `size` bytes, or fails; after a failure nothing more is taken.
    virtual bool write(const void* data, size_t size) = 0;
};
