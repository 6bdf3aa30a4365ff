#include "InputFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr size_t kBufferSize = 64 * 1024;
}

InputFile::~InputFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

InputFile::Status InputFile::open(const std::string& path, uint64_t maxSize) {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    size_ = position_ = 0;
    bufferAt_ = bufferEnd_ = 0;
    failed_ = false;
    error_ = 0;
    limit_ = maxSize;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        error_ = errno;
        return Status::CannotOpen;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error_ = errno;
        ::close(fd);
        return Status::CannotOpen;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return Status::NotAFile;
    }
    size_ = static_cast<uint64_t>(st.st_size);
    if (size_ > maxSize) {
        ::close(fd);
        return Status::TooLarge;
    }
    // Regular files ignore O_NONBLOCK; drop it all the same.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    return Status::Opened;
}

bool InputFile::readAt(uint64_t offset, uint8_t* data, size_t size) {
    while (size != 0) {
        const size_t piece = size < kPiece ? size : kPiece;
        const ssize_t n = ::pread(fd_, data, piece, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error_ = n < 0 ? errno : 0;
            return false;
        }
        data += n;
        offset += static_cast<uint64_t>(n);
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool InputFile::readRange(uint64_t offset, uint64_t length, std::vector<uint8_t>& out) {
    out.clear();
    if (fd_ < 0 || offset > size_ || length > size_ - offset)
        return false;
    out.resize(length);
    if (!readAt(offset, out.data(), out.size())) {
        out.clear();
        out.shrink_to_fit();
        return false;
    }
    return true;
}

bool InputFile::read(void* data, size_t size) {
    if (fd_ < 0 || failed_ || size > remaining())
        return false;
    auto* out = static_cast<uint8_t*>(data);
    const uint64_t fileAt = position_ + (bufferEnd_ - bufferAt_);
    const size_t buffered = std::min(size, bufferEnd_ - bufferAt_);
    if (buffered != 0)
        std::memcpy(out, buffer_.data() + bufferAt_, buffered);
    bufferAt_ += buffered;
    out += buffered;
    size_t left = size - buffered;
    if (left >= kBufferSize) {
        // a large text goes straight to its place
        if (!readAt(fileAt, out, left))
            return fail();
        left = 0;
    } else if (left != 0) {
        buffer_.resize(kBufferSize);
        const size_t fill = static_cast<size_t>(std::min<uint64_t>(kBufferSize, size_ - fileAt));
        if (!readAt(fileAt, buffer_.data(), fill))
            return fail();
        bufferAt_ = 0;
        bufferEnd_ = fill;
        std::memcpy(out, buffer_.data(), left);
        bufferAt_ = left;
    }
    position_ += size;
    return true;
}

std::string InputFile::describe(Status status, const std::string& path) const {
    switch (status) {
    case Status::Opened:
        break;
    case Status::CannotOpen:
        return "cannot open " + path + ": " + std::strerror(error_);
    case Status::NotAFile:
        return path + " is not a regular file";
    case Status::TooLarge:
        return path + " holds " + std::to_string(size_) + " bytes, more than the " +
               std::to_string(limit_) + " this input can have";
    case Status::ReadFailed:
        return "cannot read " + path + ": " +
               (error_ != 0 ? std::strerror(error_) : "it ended before its size");
    }
    return {};
}
