#pragma once

#include "EventInfo.h"

#include <array>
#include <cstddef>
#include <string>

// The columns every export of the list writes, in order, below a title row:
// each column's header and the event's text in it.
namespace exportcolumns {

struct Column {
    const char* header;
    std::string (*text)(const EventInfo& event);
};

inline constexpr size_t kCount = 4;
extern const std::array<Column, kCount> kColumns;

} // namespace exportcolumns
