#pragma once

#include <string>
#include <string_view>

// Windows code page 1251, the code page of the log file's texts. The program
// keeps its texts in UTF-8 and converts them here, at the file's edge.
//
// Every byte has a character: 0x98, which the code page leaves unassigned,
// stands for U+0098 as Windows maps it. So toUtf8 followed by fromUtf8 gives
// back any byte string unchanged.
//
// fromUtf8 writes '?' for a character the code page lacks, and for each byte
// of a malformed UTF-8 sequence, as Windows does for its default character.
namespace cp1251 {

std::string toUtf8(std::string_view bytes);
std::string fromUtf8(std::string_view utf8);

} // namespace cp1251
