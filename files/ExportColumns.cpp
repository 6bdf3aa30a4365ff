#include "ExportColumns.h"

#include "DateTime.h"

namespace exportcolumns {

const std::array<Column, kCount> kColumns = {{
    {"№", [](const EventInfo& e) { return std::to_string(e.number); }},
    {"Время", [](const EventInfo& e) { return datetime::format(e.time); }},
    {"Информация", [](const EventInfo& e) { return e.infoText.str(); }},
    {"Примечание", [](const EventInfo& e) { return e.noteText.str(); }},
}};

} // namespace exportcolumns
