#pragma once

#include "AtomicFile.h"
#include "InputFile.h"

// How opening, saving or importing a file ended, for everyone above this layer.
enum class FileStatus {
    Ok,
    CannotOpen,    // missing, not permitted, not a regular file
    TooLarge,      // more than the purpose takes
    ReadFailed,    // a log file empty or cut (its whole blocks are kept), a dump not read whole
    CannotCreate,  // no file to save into
    WriteFailed,   // writing or replacing failed; the old file is untouched
    RangeRefused,  // import addresses outside the dump
    DecoderFailed, // decoding gave up (no memory left, say); nothing imported
    NotAnImage,    // a tablet image file of neither 512 nor 544 bytes
};

// The file layer's own steps in its one vocabulary.
inline FileStatus fileStatusOf(InputFile::Status status) {
    switch (status) {
    case InputFile::Status::Opened:
        return FileStatus::Ok;
    case InputFile::Status::TooLarge:
        return FileStatus::TooLarge;
    case InputFile::Status::ReadFailed:
        return FileStatus::ReadFailed;
    case InputFile::Status::CannotOpen:
    case InputFile::Status::NotAFile:
        break;
    }
    return FileStatus::CannotOpen;
}

inline FileStatus fileStatusOf(AtomicFile::Status status) {
    switch (status) {
    case AtomicFile::Status::Saved:
        return FileStatus::Ok;
    case AtomicFile::Status::CannotCreate:
        return FileStatus::CannotCreate;
    case AtomicFile::Status::WriteFailed:
        break;
    }
    return FileStatus::WriteFailed;
}
