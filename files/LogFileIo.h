#pragma once

#include "BinDump.h"
#include "DateTime.h"
#include "EventLog.h"
#include "FileStatus.h"
#include "ParserFactory.h"

#include <cstdint>
#include <optional>
#include <string>

// Opening, saving and importing the list, each to or from an event log.
class LogFileIo {
public:
    struct Opened {
        FileStatus status = FileStatus::CannotOpen;
        // The whole blocks read: also after ReadFailed, which still shows them;
        // none when not one block was whole.
        std::optional<EventLog> log;
        uint64_t fileSize = 0; // as found, also when too large
    };
    // A saved log file, its segment rule chosen by what its records carry.
    static Opened openLogFile(const std::string& path, datetime::Clock clock);

    // Replaces the file only by a complete new one; a saved log is marked so.
    static FileStatus saveLogFile(const std::string& path, EventLog& log);

    // A bin dump read whole into `dump`: Ok, CannotOpen, TooLarge, ReadFailed.
    static FileStatus loadDump(const std::string& path, BinDump& dump);

    struct Imported {
        FileStatus status = FileStatus::RangeRefused;
        std::optional<EventLog> log;
    };
    // The bytes [start, end) of a dump decoded by a variant's decoder with time
    // base 0; its segment rule goes with the list.
    static Imported importDump(const BinDump& dump, int32_t start, int32_t end, Variant variant,
                               datetime::Clock clock);
};
