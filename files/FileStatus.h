#pragma once

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
