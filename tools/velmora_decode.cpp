// velmora-decode: the headless decoder for archived dumps and scripted checks.
#include "AtomicFile.h"
#include "BinDump.h"
#include "DateTime.h"
#include "ExitCode.h"
#include "FileMessages.h"
#include "ImageCheckMessages.h"
#include "InputFile.h"
#include "LogFileReader.h"
#include "LogFileWriter.h"
#include "ParserFactory.h"
#include "TabletImage.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* kUsage =
    "usage:\n"
    "  velmora-decode events --variant main|garage|military [--start N] [--end N]\n"
    "                        [--base DAYS] [--now \"YYYY-MM-DD hh:mm:ss\"] [--json]\n"
    "                        [--save-log OUT] FILE\n"
    "  velmora-decode image [--variant main|garage|military] [--now \"YYYY-MM-DD hh:mm:ss\"]\n"
    "                       [--json] [--save-log OUT] FILE\n"
    "  velmora-decode log [--json] FILE\n";

struct Options {
    std::string mode;
    std::optional<Variant> variant;
    std::optional<unsigned long long> start, end;
    double base = 0.0;
    std::optional<double> now;
    bool json = false;
    std::string saveLog;
    std::string file;
};

int usageError(const std::string& message) {
    std::cerr << "velmora-decode: " << message << "\n" << kUsage;
    return kExitUsage;
}

std::optional<unsigned long long> parseCount(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 18)
        return std::nullopt;
    return std::stoull(text);
}

std::optional<double> parseDouble(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<double> parseNow(const std::string& text) {
    datetime::Parts p;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &p.year, &p.month, &p.day, &p.hour,
                    &p.minute, &p.second, &tail) != 6)
        return std::nullopt;
    if (p.hour > 23 || p.minute > 59 || p.second > 59 || p.hour < 0 || p.minute < 0 || p.second < 0)
        return std::nullopt;
    return datetime::encodeDateTime(p);
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", c);
                out += esc;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

void printEvents(const EventCollection& events, bool json) {
    for (const EventInfo& e : events) {
        const std::string timeText = datetime::format(e.time);
        if (!json) {
            std::cout << e.number << '\t' << timeText << '\t' << e.typeText << '\t' << e.infoText
                      << '\t' << e.noteText << '\n';
            continue;
        }
        char time[40] = "null";
        if (std::isfinite(e.time))
            std::snprintf(time, sizeof time, "%.17g", e.time);
        std::cout << "{\"number\":" << e.number << ",\"position\":" << e.position
                  << ",\"time\":" << time << ",\"time_text\":" << jsonString(timeText)
                  << ",\"time_state\":" << int(e.timeState) << ",\"zero_time\":" << int(e.zeroTime)
                  << ",\"category\":" << int(e.category) << ",\"code\":" << int(e.codeByte)
                  << ",\"type\":" << jsonString(e.typeText)
                  << ",\"info\":" << jsonString(e.infoText)
                  << ",\"note\":" << jsonString(e.noteText) << "}\n";
    }
}

std::string errorPrefix() {
    return "velmora-decode: ";
}

// Opens an input for reading, with a message when it is not one.
bool openInput(InputFile& file, const std::string& path, uint64_t maxSize = InputFile::kNoLimit) {
    const InputFile::Status status = file.open(path, maxSize);
    if (status == InputFile::Status::Opened)
        return true;
    std::cerr << errorPrefix() << file.describe(status, path) << "\n";
    return false;
}

int saveLog(const std::string& path, const EventCollection& events) {
    const auto status =
        AtomicFile::save(path, [&](ByteSink& sink) { return LogFileWriter::write(sink, events); });
    switch (status) {
    case AtomicFile::Status::Saved:
        return kExitOk;
    case AtomicFile::Status::CannotCreate:
        std::cerr << filemessages::kOpenForSavingFailed << " " << path << "\n";
        break;
    case AtomicFile::Status::WriteFailed:
        std::cerr << filemessages::kSaveFailed << " " << path << "\n";
        break;
    }
    return kExitSaveFailed;
}

int parseArgs(int argc, char** argv, Options& o) {
    if (argc < 2)
        return usageError("no command given");
    o.mode = argv[1];
    if (o.mode != "events" && o.mode != "image" && o.mode != "log")
        return usageError("unknown command '" + o.mode + "'");
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (arg == "--json") {
            o.json = true;
        } else if (arg == "--save-log" && o.mode != "log") {
            if (!value(o.saveLog) || o.saveLog.empty())
                return usageError("--save-log takes a file name");
        } else if (arg == "--variant" && o.mode != "log") {
            if (!value(v) || !(o.variant = variantFromName(v)))
                return usageError("--variant takes main, garage or military");
        } else if (arg == "--start" && o.mode == "events") {
            if (!value(v) || !(o.start = parseCount(v)))
                return usageError("--start takes a byte offset");
        } else if (arg == "--end" && o.mode == "events") {
            if (!value(v) || !(o.end = parseCount(v)))
                return usageError("--end takes a byte offset");
        } else if (arg == "--base" && o.mode == "events") {
            std::optional<double> base;
            if (!value(v) || !(base = parseDouble(v)))
                return usageError("--base takes a day count");
            o.base = *base;
        } else if (arg == "--now" && o.mode != "log") {
            if (!value(v) || !(o.now = parseNow(v)))
                return usageError("--now takes \"YYYY-MM-DD hh:mm:ss\"");
        } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
            return usageError("unknown option '" + arg + "'");
        } else if (o.file.empty()) {
            o.file = arg;
        } else {
            return usageError("more than one file given");
        }
    }
    if (o.file.empty())
        return usageError("no file given");
    if (o.mode == "events" && !o.variant)
        return usageError("events needs --variant");
    return -1;
}

int finish(const Options& o, const EventCollection& events) {
    printEvents(events, o.json);
    return o.saveLog.empty() ? kExitOk : saveLog(o.saveLog, events);
}

int runEvents(const Options& o, const datetime::Clock& clock) {
    InputFile file;
    if (!openInput(file, o.file))
        return kExitUsage;
    const unsigned long long size = file.size();
    const unsigned long long start = o.start.value_or(0);
    const unsigned long long end = o.end.value_or(size);
    if (start > size || end > size) {
        std::cerr << errorPrefix() << "the range " << start << ".." << end
                  << " lies outside the file of " << size << " bytes\n";
        return kExitUsage;
    }
    if (end < start) {
        std::cerr << errorPrefix() << "the end " << end << " lies before the start " << start
                  << "\n";
        return kExitUsage;
    }
    if (end - start > BinDump::kMaxSize) {
        std::cerr << errorPrefix() << "the range " << start << ".." << end << " holds "
                  << end - start << " bytes, more than the " << BinDump::kMaxSize
                  << " a dump can have\n";
        return kExitUsage;
    }
    std::vector<uint8_t> data;
    if (!file.readRange(start, end - start, data)) {
        std::cerr << errorPrefix() << file.describe(InputFile::Status::ReadFailed, o.file) << "\n";
        return kExitUsage;
    }
    double base = o.base;
    const auto parser = makeParser(*o.variant, clock);
    return finish(o, *parser->decodeEvents(data, base));
}

int runImage(const Options& o, const datetime::Clock& clock) {
    InputFile file;
    if (!openInput(file, o.file))
        return kExitUsage;
    if (file.size() != TabletImage::kSize && file.size() != TabletImage::kHeadersAndEvents) {
        std::cerr << errorPrefix() << o.file << " holds " << file.size()
                  << " bytes; a tablet image has 544 (or 512 without the register page)\n";
        return kExitUsage;
    }
    std::vector<uint8_t> data;
    if (!file.readAll(data)) {
        std::cerr << errorPrefix() << file.describe(InputFile::Status::ReadFailed, o.file) << "\n";
        return kExitUsage;
    }
    const TabletImage image(data); // a 512-byte image gets a zero register page
    const auto check = image.validate();
    if (check != TabletImage::Check::Passed) {
        std::cerr << imageCheckMessage(check) << "\n";
        return kExitCheckFailed;
    }
    std::ostream& header = o.json ? std::cerr : std::cout;
    header << image.serialNumberText() << "\n" << image.deviceNumberText() << "\n";
    const Variant variant = o.variant.value_or(variantForDeviceNumber(image.deviceNumber()));
    const auto parser = makeParser(variant, clock);
    return finish(o, *parser->decodeImage(image.bytes(), TabletImage::kHeadersAndEvents));
}

// A saved log file as the program opens it: every whole block, then the read
// error when the file is empty or ends inside a block.
int runLog(const Options& o) {
    InputFile file;
    if (!openInput(file, o.file, LogFileReader::kMaxFileSize))
        return kExitUsage;
    EventCollection events;
    const auto end = LogFileReader::read(file, events);
    printEvents(events, o.json);
    if (!LogFileReader::isReadError(end))
        return kExitOk;
    std::cout.flush();
    std::cerr << filemessages::kReadFailed << "\n";
    return kExitLogCut;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    if (const int rc = parseArgs(argc, argv, o); rc >= 0)
        return rc;
    const datetime::Clock clock =
        o.now ? datetime::fixedClock(*o.now) : datetime::systemLocalClock();
    const int rc = o.mode == "events"  ? runEvents(o, clock)
                   : o.mode == "image" ? runImage(o, clock)
                                       : runLog(o);
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "velmora-decode: writing the output failed\n";
        return kExitUsage;
    }
    return rc;
}
