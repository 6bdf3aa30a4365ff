#include "ReadoutArchive.h"

#include "AtomicFile.h"
#include "DateTime.h"
#include "InputFile.h"
#include "LittleEndian.h"
#include "ParserFactory.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kMagic[8] = {'V', 'L', 'M', 'R', 'R', 'E', 'A', 'D'};
constexpr const char* kExtension = ".readout";
constexpr size_t kRom = 12;
constexpr size_t kTime = 20;
constexpr size_t kDevice = 28;
constexpr size_t kDay = 29;
constexpr size_t kMonth = 30;
constexpr size_t kYear = 32;
constexpr size_t kEvents = 34;
constexpr size_t kVariant = 36;
constexpr size_t kVersion = 52;
constexpr size_t kCrc = 92;
// Names tried for read-outs of one tablet within one second.
constexpr int kNameTries = 1000;

constexpr std::array<uint32_t, 256> makeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = makeCrcTable();

uint32_t crc32(uint32_t crc, const uint8_t* data, size_t size) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = kCrcTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

// Everything the checksum covers: the header without its checksum, and the image.
uint32_t fileCrc(const uint8_t* file) {
    const uint32_t head = crc32(0, file, kCrc);
    return crc32(head, file + ReadoutArchive::kHeaderSize, TabletImage::kSize);
}

void putText(uint8_t* field, size_t size, const std::string& text) {
    std::memcpy(field, text.data(), std::min(size, text.size()));
}

// A text field: bytes up to the first zero, and only zeros after it.
std::optional<std::string> getText(const uint8_t* field, size_t size) {
    const auto* end = std::find(field, field + size, uint8_t{0});
    if (std::any_of(end, field + size, [](uint8_t b) { return b != 0; }))
        return std::nullopt;
    return std::string(reinterpret_cast<const char*>(field), static_cast<size_t>(end - field));
}

std::string hex(const uint8_t* bytes, size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%.2X", bytes[i]);
        text += digits;
    }
    return text;
}

// The folder and every folder above it, made when missing; private to the user
// as a data folder should be.
bool makeFolders(const std::string& path) {
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/')
            continue;
        const std::string part = path.substr(0, at);
        if (::mkdir(part.c_str(), 0700) == 0)
            continue;
        struct stat st {};
        if (errno != EEXIST || ::stat(part.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return false;
    }
    return true;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

ReadoutArchive::Status fromSave(AtomicFile::Status status) {
    switch (status) {
    case AtomicFile::Status::Saved:
        return ReadoutArchive::Status::Done;
    case AtomicFile::Status::CannotCreate:
        return ReadoutArchive::Status::CannotCreate;
    case AtomicFile::Status::WriteFailed:
        break;
    }
    return ReadoutArchive::Status::WriteFailed;
}

} // namespace

std::string ReadoutArchive::defaultFolder() {
    return defaultFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

std::string ReadoutArchive::defaultFolder(const char* xdgDataHome, const char* home) {
    // a relative XDG_DATA_HOME is to be ignored
    if (xdgDataHome && xdgDataHome[0] == '/')
        return std::string(xdgDataHome) + "/velmora/readouts";
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share/velmora/readouts";
    return {};
}

std::array<uint8_t, ReadoutArchive::kFileSize>
ReadoutArchive::encode(const TabletImage& image, const ReadoutRecord& record, int eventCount) {
    std::array<uint8_t, kFileSize> file{};
    uint8_t* f = file.data();
    std::memcpy(f, kMagic, sizeof kMagic);
    le::write16(f + 8, kFormatVersion);
    le::write16(f + 10, kHeaderSize);
    std::copy(record.rom.begin(), record.rom.end(), f + kRom);
    uint64_t time = 0;
    std::memcpy(&time, &record.readOutTime, sizeof time);
    le::write32(f + kTime, static_cast<uint32_t>(time));
    le::write32(f + kTime + 4, static_cast<uint32_t>(time >> 32));
    f[kDevice] = record.deviceNumber;
    f[kDay] = static_cast<uint8_t>(record.tabletDay);
    f[kMonth] = static_cast<uint8_t>(record.tabletMonth);
    le::write16(f + kYear, static_cast<uint16_t>(record.tabletYear));
    le::write16(f + kEvents, static_cast<uint16_t>(std::clamp(eventCount, 0, 0xFFFF)));
    putText(f + kVariant, kVariantField, record.variant);
    putText(f + kVersion, kVersionField, record.programVersion);
    std::copy(image.bytes().begin(), image.bytes().end(), f + kHeaderSize);
    le::write32(f + kCrc, fileCrc(f));
    return file;
}

std::optional<ReadoutEntry> ReadoutArchive::decode(std::span<const uint8_t> bytes,
                                                   TabletImage* image) {
    if (bytes.size() != kFileSize)
        return std::nullopt;
    const uint8_t* f = bytes.data();
    if (std::memcmp(f, kMagic, sizeof kMagic) != 0 || le::read16(f + 8) != kFormatVersion ||
        le::read16(f + 10) != kHeaderSize || le::read32(f + kCrc) != fileCrc(f))
        return std::nullopt;
    ReadoutEntry entry;
    ReadoutRecord& r = entry.record;
    std::copy_n(f + kRom, r.rom.size(), r.rom.begin());
    const uint64_t time = le::read32(f + kTime) | uint64_t{le::read32(f + kTime + 4)} << 32;
    std::memcpy(&r.readOutTime, &time, sizeof time);
    r.deviceNumber = f[kDevice];
    r.tabletDay = f[kDay];
    r.tabletMonth = f[kMonth];
    r.tabletYear = le::read16(f + kYear);
    entry.eventCount = le::read16(f + kEvents);
    auto variant = getText(f + kVariant, kVariantField);
    auto version = getText(f + kVersion, kVersionField);
    if (!std::isfinite(r.readOutTime) || !variant || !version)
        return std::nullopt;
    r.variant = std::move(*variant);
    r.programVersion = std::move(*version);
    entry.serial = hex(f + kHeaderSize + 1, 6);
    if (image)
        *image = TabletImage(bytes.subspan(kHeaderSize, TabletImage::kSize));
    return entry;
}

int ReadoutArchive::eventCount(const TabletImage& image, const ReadoutRecord& record) {
    const auto variant = variantFromName(record.variant);
    if (!variant)
        return 0;
    try {
        // the read-out's own time as "now": the count is what that read-out showed
        const auto decoder = makeParser(*variant, datetime::fixedClock(record.readOutTime));
        return decoder->decodeImage(image.bytes(), TabletImage::kHeadersAndEvents)->count();
    } catch (...) {
        return 0;
    }
}

std::string ReadoutArchive::fileName(const ReadoutRecord& record) {
    datetime::Parts t;
    if (const auto parts = datetime::decode(record.readOutTime))
        t = *parts;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.4d%.2d%.2d-%.2d%.2d%.2d-", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return stamp + hex(record.rom.data(), record.rom.size()) + kExtension;
}

ReadoutArchive::Status ReadoutArchive::store(const TabletImage& image, const ReadoutRecord& record,
                                             std::string* file) const {
    if (folder_.empty() || !makeFolders(folder_))
        return Status::CannotCreate;
    const auto bytes = encode(image, record, eventCount(image, record));
    const std::string name = fileName(record);
    const std::string stem = folder_ + "/" + name.substr(0, name.size() - std::strlen(kExtension));
    for (int n = 1; n <= kNameTries; ++n) {
        const std::string path =
            n == 1 ? stem + kExtension : stem + "-" + std::to_string(n) + kExtension;
        if (exists(path))
            continue;
        const Status status = fromSave(AtomicFile::save(
            path, [&](ByteSink& sink) { return sink.write(bytes.data(), bytes.size()); }));
        if (status == Status::Done && file)
            *file = path;
        return status;
    }
    return Status::CannotCreate;
}

ReadoutArchive::Status ReadoutArchive::read(const std::string& path, ReadoutEntry& entry,
                                            TabletImage* image) const {
    entry = ReadoutEntry{};
    entry.file = path;
    entry.damaged = true;
    InputFile input;
    // opened without blocking, refused unread when not a regular file of this size
    const InputFile::Status opened = input.open(path, kFileSize);
    if (opened == InputFile::Status::CannotOpen)
        return Status::CannotRead;
    std::vector<uint8_t> bytes;
    if (opened != InputFile::Status::Opened || input.size() != kFileSize || !input.readAll(bytes))
        return Status::Damaged;
    auto decoded = decode(bytes, image);
    if (!decoded)
        return Status::Damaged;
    entry = std::move(*decoded);
    entry.file = path;
    return Status::Done;
}

std::vector<ReadoutEntry> ReadoutArchive::list() const {
    std::vector<ReadoutEntry> entries;
    DIR* dir = folder_.empty() ? nullptr : ::opendir(folder_.c_str());
    if (!dir)
        return entries;
    const int fd = ::dirfd(dir);
    while (entries.size() < kMostEntries) {
        errno = 0;
        const dirent* d = ::readdir(dir);
        if (!d)
            break;
        // hidden names: ".", "..", and the temporary files of a save under way
        if (d->d_name[0] == '.')
            continue;
        struct stat st {};
        const std::string path = folder_ + "/" + d->d_name;
        ReadoutEntry entry;
        if (::fstatat(fd, d->d_name, &st, 0) == 0) {
            if (S_ISDIR(st.st_mode))
                continue;
            // a FIFO or a device is never opened
            if (S_ISREG(st.st_mode))
                read(path, entry, nullptr);
        }
        if (entry.file.empty()) {
            entry.file = path;
            entry.damaged = true;
        }
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const ReadoutEntry& a, const ReadoutEntry& b) {
        if (a.damaged != b.damaged)
            return !a.damaged;
        if (a.damaged)
            return a.file < b.file;
        if (a.record.readOutTime != b.record.readOutTime)
            return a.record.readOutTime > b.record.readOutTime;
        return a.file > b.file;
    });
    return entries;
}

ReadoutArchive::Status ReadoutArchive::load(const ReadoutEntry& entry, TabletImage& image) const {
    ReadoutEntry again;
    TabletImage found;
    const Status status = read(entry.file, again, &found);
    if (status == Status::Done)
        image = found;
    return status;
}

ReadoutArchive::Status ReadoutArchive::remove(const ReadoutEntry& entry) const {
    const std::string prefix = folder_ + "/";
    if (folder_.empty() || entry.file.size() <= prefix.size() ||
        entry.file.compare(0, prefix.size(), prefix) != 0 ||
        entry.file.find('/', prefix.size()) != std::string::npos ||
        entry.file[prefix.size()] == '.')
        return Status::CannotRemove;
    if (::unlink(entry.file.c_str()) != 0 && errno != ENOENT)
        return Status::CannotRemove;
    return Status::Done;
}

ReadoutArchive::Status ReadoutArchive::saveImageAs(const ReadoutEntry& entry,
                                                   const std::string& path) const {
    TabletImage image;
    const Status status = load(entry, image);
    if (status != Status::Done)
        return status;
    return fromSave(AtomicFile::save(path, [&](ByteSink& sink) {
        return sink.write(image.bytes().data(), image.bytes().size());
    }));
}
