#pragma once

#include <cstdint>
#include <string>

// The messages of opening, saving and importing files, shared by the program and
// its tools.
namespace filemessages {

inline constexpr const char* kOpenForReadingFailed = "Ошибка открытия файла для чтения.";
inline constexpr const char* kOpenForSavingFailed = "Ошибка открытия файла для сохранения.";
inline constexpr const char* kSaveFailed = "Ошибка сохранения данных.";
// A log file that is empty or ends inside a block.
inline constexpr const char* kReadFailed = "Ошибка чтения данных.";
// A bin file that cannot be read whole (no full stop, unlike the log file's).
inline constexpr const char* kDumpReadFailed = "Ошибка чтения данных";

// A file larger than the program takes for its purpose.
std::string tooLarge(uint64_t size, uint64_t limit);

} // namespace filemessages
