#pragma once

#include <cstddef>
#include <cstdint>

// One block of the saved log file, one block per event, nothing before the first
// or after the last. Little-endian. The 48-byte fixed part:
//
//   offset width field
//        0     4 number (signed)
//        4     4 slot of the type text        - written 0, never read
//        8     4 slot of the information text - written 0, never read
//       12     4 slot of the note text        - written 0, never read
//       16     1 zero-time flag
//       17     1 time state
//       18     2 padding                      - written 0, never read
//       20     4 position (signed)
//       24     8 time, IEEE 754 double, days since 1899-12-30
//       32     1 category (signed)
//       33     3 padding                      - written 0, never read
//       36     4 slot of the raw copy         - written 0, never read
//       40     1 code byte
//       41     7 padding                      - written 0, never read
//
// then three texts, type, information and note, each as a 4-byte unsigned length
// and that many bytes in code page 1251, no terminating zero; a reader cuts a
// text at its first zero byte.
namespace logfile {

inline constexpr size_t kFixedPartSize = 48;
inline constexpr size_t kNumber = 0;
inline constexpr size_t kZeroTime = 16;
inline constexpr size_t kTimeState = 17;
inline constexpr size_t kPosition = 20;
inline constexpr size_t kTime = 24;
inline constexpr size_t kCategory = 32;
inline constexpr size_t kCodeByte = 40;

inline constexpr size_t kLengthSize = 4;
inline constexpr size_t kTextCount = 3;
// A block with three empty texts.
inline constexpr size_t kSmallestBlock = kFixedPartSize + kTextCount * kLengthSize;

} // namespace logfile
