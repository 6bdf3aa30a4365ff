#pragma once

#include "ByteSource.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

// A file named by a user or a script, so not trusted: it is opened without
// blocking (a FIFO cannot hang the open), must be a regular file (not a folder,
// device or FIFO) and is measured before anything is read from it; then only
// what is asked for is read, in pieces.
class InputFile : public ByteSource {
public:
    static constexpr uint64_t kNoLimit = std::numeric_limits<uint64_t>::max();
    static constexpr size_t kPiece = 1 << 20;

    enum class Status {
        Opened,
        CannotOpen, // missing, not permitted, ... (see error())
        NotAFile,   // a folder, device, FIFO or socket
        TooLarge,   // more than the caller's limit
        ReadFailed, // the device failed, or the file shrank under us (see error())
    };

    InputFile() = default;
    ~InputFile() override;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens `path` when it is a regular file of at most `maxSize` bytes.
    Status open(const std::string& path, uint64_t maxSize = kNoLimit);
    uint64_t size() const { return size_; }
    // errno of the last failure; 0 when a file ended before its measured size.
    int error() const { return error_; }

    // The bytes [offset, offset + length) into `out`, which is sized to them;
    // false when the range is not inside the file or the read failed.
    bool readRange(uint64_t offset, uint64_t length, std::vector<uint8_t>& out);
    bool readAll(std::vector<uint8_t>& out) { return readRange(0, size_, out); }

    // Sequential reading, buffered, from the start of the file.
    uint64_t remaining() const override { return size_ - position_; }
    bool read(void* data, size_t size) override;

    // An English description of a failed status, for the tools' messages.
    std::string describe(Status status, const std::string& path) const;

private:
    bool readAt(uint64_t offset, uint8_t* data, size_t size);
    // A failed sequential read leaves the reader spent; remaining() stays.
    bool fail() {
        failed_ = true;
        return false;
    }

    int fd_ = -1;
    uint64_t size_ = 0;
    uint64_t limit_ = kNoLimit;
    int error_ = 0;
    uint64_t position_ = 0; // of the sequential reader
    bool failed_ = false;
    std::vector<uint8_t> buffer_;
    size_t bufferAt_ = 0, bufferEnd_ = 0;
};
