#include "AtomicFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kBufferSize = 256 * 1024;
constexpr int kNameTries = 100;
// Room for the temporary name's dot and suffix within a file name's 255 bytes.
constexpr size_t kLongestBase = 200;
// As the system's own limit on links followed in one path.
constexpr int kMostLinks = 40;

bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size != 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a chain of symbolic links ends at, also when it does not exist yet
// (a dangling link names the file to create); none for a loop.
std::optional<std::string> followLinks(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < kMostLinks; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        char link[PATH_MAX];
        const ssize_t n = ::readlink(current.c_str(), link, sizeof link - 1);
        if (n <= 0)
            return std::nullopt;
        const std::string to(link, static_cast<size_t>(n));
        current = to[0] == '/' ? to : folderOf(current) + "/" + to;
    }
    return std::nullopt;
}

// Replacing a file goes by the folder's rights, not the file's: a file its owner
// made read-only is refused here as opening it for writing would be. A file
// without any write bit counts as read-only also for the superuser.
bool userMayWrite(const std::string& path, const struct stat& st) {
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return false;
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

} // namespace

class AtomicFile::FileSink : public ByteSink {
public:
    explicit FileSink(int fd) : fd_(fd) { buffer_.reserve(kBufferSize); }
    ~FileSink() override { close(); }

    bool write(const void* data, size_t size) override {
        if (failed_)
            return false;
        const auto* p = static_cast<const uint8_t*>(data);
        if (buffer_.size() + size > kBufferSize && !flush())
            return false;
        if (size >= kBufferSize) {
            if (!writeAll(fd_, p, size))
                failed_ = true;
            return !failed_;
        }
        buffer_.insert(buffer_.end(), p, p + size);
        return true;
    }

    bool flush() {
        if (!failed_ && !buffer_.empty() && !writeAll(fd_, buffer_.data(), buffer_.size()))
            failed_ = true;
        buffer_.clear();
        return !failed_;
    }

    // Everything on the disk and the file closed.
    bool finish() {
        const bool written = flush() && ::fsync(fd_) == 0;
        return close() && written;
    }

    bool close() {
        if (fd_ < 0)
            return true;
        const bool ok = ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

private:
    int fd_;
    bool failed_ = false;
    std::vector<uint8_t> buffer_;
};

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {}

AtomicFile::~AtomicFile() {
    discard();
}

bool AtomicFile::create() {
    discard();
    if (path_.empty())
        return false;
    const auto resolved = followLinks(path_);
    if (!resolved)
        return false;
    target_ = *resolved;
    struct stat st {};
    const bool exists = ::lstat(target_.c_str(), &st) == 0;
    if (exists && (!S_ISREG(st.st_mode) || !userMayWrite(target_, st)))
        return false;

    const std::string stem =
        folderOf(target_) + "/." + baseOf(target_).substr(0, kLongestBase) + ".";
    std::random_device seed;
    std::mt19937 rng(seed());
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        std::string name = stem;
        for (int i = 0; i < 8; ++i)
            name += kLetters[rng() % (sizeof kLetters - 1)];
        // 0666 under the umask, as any new file; a replaced file keeps its mode
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        temporary_ = name;
        sink_ = std::make_unique<FileSink>(fd);
        if (exists && ::fchmod(fd, st.st_mode & 07777) != 0) {
            discard();
            return false;
        }
        return true;
    }
    return false;
}

ByteSink& AtomicFile::sink() {
    return *sink_;
}

bool AtomicFile::commit() {
    if (!sink_)
        return false;
    if (!sink_->finish() || ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        discard();
        return false;
    }
    sink_.reset();
    temporary_.clear();
    // the rename itself on the disk; the data are safe whatever this gives
    const int folder = ::open(folderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

void AtomicFile::discard() {
    if (sink_) {
        sink_->close();
        sink_.reset();
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
}

AtomicFile::Status AtomicFile::save(const std::string& path,
                                    const std::function<bool(ByteSink&)>& write) {
    AtomicFile file(path);
    if (!file.create())
        return Status::CannotCreate;
    if (!write(file.sink()) || !file.commit())
        return Status::WriteFailed;
    return Status::Saved;
}
