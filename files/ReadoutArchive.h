#pragma once

#include "TabletImage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// What is kept with the image of one read-out.
struct ReadoutRecord {
    std::array<uint8_t, 8> rom{}; // the tablet's ROM code, family code first
    double readOutTime = 0.0;     // when it was read: a day count, local time
    uint8_t deviceNumber = TabletImage::kDeviceNumberUnset;
    std::string variant; // the decoder's name ("main", "garage", "military"), or empty
    int tabletYear = 0, tabletMonth = 0, tabletDay = 0; // the tablet's date; 0 when not read
    std::string programVersion;

    bool operator==(const ReadoutRecord&) const = default;
};

// One file of the archive as the list shows it.
struct ReadoutEntry {
    std::string file;     // its path
    bool damaged = false; // not an archive file, or changed since it was written:
                          // nothing below is known
    ReadoutRecord record;
    std::string serial; // the image's bytes 1 to 6 as twelve hex digits, as the
                        // tablet's serial number is shown
    int eventCount = 0; // as the record's variant decodes the image
};

// Every read-out the program accepted, kept as its raw image with a small
// record, one file per read-out in one folder. The program only ever reads
// back a fixed number of bytes from a file there, so a damaged or foreign file
// costs the list one short read; whatever is not an archive file is listed as
// damaged, and folders and hidden names are skipped.
//
// The file (all numbers little-endian), 640 bytes:
//   0   8  magic "VLMRREAD"
//   8   2  format version, 1
//  10   2  offset of the image, 96
//  12   8  ROM code, family code first
//  20   8  read-out date-time: the IEEE-754 double day count
//  28   1  device number (byte 8 of the image when it was read)
//  29   1  tablet day       30  1  tablet month       31  1  zero
//  32   2  tablet year
//  34   2  number of events the variant decodes from the image
//  36  16  variant name, ASCII, padded with zero bytes
//  52  32  program version, padded with zero bytes
//  84   8  zero
//  92   4  CRC-32 (as zlib's crc32) of bytes 0 to 91 and 96 to 639
//  96 544  the tablet image from address 0, as the reader copied it
// The name is "yyyymmdd-hhmmss-<ROM code in hex>.readout" of the read-out
// time, with "-2", "-3", ... before the extension when that name is taken.
class ReadoutArchive {
public:
    static constexpr size_t kHeaderSize = 96;
    static constexpr size_t kFileSize = kHeaderSize + TabletImage::kSize;
    static constexpr uint16_t kFormatVersion = 1;
    static constexpr size_t kVariantField = 16;
    static constexpr size_t kVersionField = 32;
    // A folder holding more names than this is listed up to it.
    static constexpr size_t kMostEntries = 100000;

    enum class Status {
        Done,
        CannotCreate, // the folder or the file cannot be made (not writable, no room)
        WriteFailed,  // writing failed; nothing is left behind
        CannotRead,   // the file is gone or cannot be opened
        Damaged,      // not an archive file, or changed since it was written
        CannotRemove,
    };

    // `folder` need not exist yet; store() makes it.
    explicit ReadoutArchive(std::string folder) : folder_(std::move(folder)) {}
    const std::string& folder() const { return folder_; }

    // $XDG_DATA_HOME/velmora/readouts, or ~/.local/share/velmora/readouts when
    // that is unset or not absolute; empty when neither is known.
    static std::string defaultFolder();
    static std::string defaultFolder(const char* xdgDataHome, const char* home);

    // Writes a new file atomically; its path goes to `file`.
    Status store(const TabletImage& image, const ReadoutRecord& record,
                 std::string* file = nullptr) const;
    // Every file of the folder, newest read-out first, then the damaged ones
    // by name; empty when the folder cannot be read.
    std::vector<ReadoutEntry> list() const;
    // The image of an entry, read and checked again.
    Status load(const ReadoutEntry& entry, TabletImage& image) const;
    // Removes an entry's file; only files directly in this folder.
    Status remove(const ReadoutEntry& entry) const;
    // The entry's 544-byte image as a file of its own, written atomically.
    Status saveImageAs(const ReadoutEntry& entry, const std::string& path) const;

    // The file's bytes; the record's texts are cut to their fields.
    static std::array<uint8_t, kFileSize> encode(const TabletImage& image,
                                                 const ReadoutRecord& record, int eventCount);
    // An entry (without its file) and the image from a file's bytes; none when
    // they are not an archive file of this format.
    static std::optional<ReadoutEntry> decode(std::span<const uint8_t> bytes,
                                              TabletImage* image = nullptr);
    // What the record's variant decodes from the image; 0 without a variant.
    static int eventCount(const TabletImage& image, const ReadoutRecord& record);
    // The file name a record gets before any "-2" for a name taken.
    static std::string fileName(const ReadoutRecord& record);

private:
    Status read(const std::string& path, ReadoutEntry& entry, TabletImage* image) const;

    std::string folder_;
};
