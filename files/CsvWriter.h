#pragma once

#include "ByteSink.h"
#include "EventCollection.h"
#include "FileStatus.h"

#include <string>
#include <string_view>

// The event list as a CSV file for spreadsheets: UTF-8 with a byte order mark
// (so that they read it as UTF-8), fields separated by semicolons, each record
// ended by CR LF. The export's rows: the title in the first field of the first
// row, the header row, then one row per event in list order.
class CsvWriter {
public:
    // False when the sink failed.
    static bool write(ByteSink& sink, std::string_view title, const EventCollection* events);
    // Replaces the file only by a complete new one: Ok, CannotCreate, WriteFailed.
    static FileStatus save(const std::string& path, std::string_view title,
                           const EventCollection* events);
    // A field as RFC 4180 writes it: in quotes, with its quotes doubled, when
    // it holds a quote, the separator, a carriage return or a line feed.
    static void appendField(std::string& out, std::string_view text);
};
