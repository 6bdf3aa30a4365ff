#include "FileMessages.h"

namespace filemessages {

std::string tooLarge(uint64_t size, uint64_t limit) {
    return "Файл слишком велик: " + std::to_string(size) + " байт, допустимо не более " +
           std::to_string(limit) + ".";
}

} // namespace filemessages
