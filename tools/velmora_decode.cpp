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

#include <algorithm>
#include <charconv>
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
    "  velmora-decode log [--json] FILE\n"
    "  velmora-decode --help\n";

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

// Prints events as they come, through one buffer that goes to std::cout
// whenever it is full and at the end.
class Printer {
public:
    explicit Printer(bool json) : json_(json) { out_.reserve(2 * kFlushAt); }
    ~Printer() { flush(); }
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    void print(const EventCollection& events) {
        for (const EventInfo& e : events)
            print(e);
    }

    void print(const EventInfo& e) {
        const std::string timeText = datetime::format(e.time);
        if (!json_) {
            number(e.number);
            out_ += '\t';
            out_ += timeText;
            out_ += '\t';
            out_ += e.typeText;
            out_ += '\t';
            out_ += e.infoText;
            out_ += '\t';
            out_ += e.noteText;
            out_ += '\n';
        } else {
            char time[40] = "null";
            if (std::isfinite(e.time))
                std::snprintf(time, sizeof time, "%.17g", e.time);
            out_ += "{\"number\":";
            number(e.number);
            out_ += ",\"position\":";
            number(e.position);
            out_ += ",\"time\":";
            out_ += time;
            out_ += ",\"time_text\":";
            jsonString(timeText);
            out_ += ",\"time_state\":";
            number(e.timeState);
            out_ += ",\"zero_time\":";
            number(e.zeroTime);
            out_ += ",\"category\":";
            number(e.category);
            out_ += ",\"code\":";
            number(e.codeByte);
            out_ += ",\"type\":";
            jsonString(e.typeText);
            out_ += ",\"info\":";
            jsonString(e.infoText);
            out_ += ",\"note\":";
            jsonString(e.noteText);
            out_ += "}\n";
        }
        if (out_.size() >= kFlushAt)
            flush();
    }

    void flush() {
        std::cout.write(out_.data(), static_cast<std::streamsize>(out_.size()));
        out_.clear();
    }

private:
    static constexpr size_t kFlushAt = 64 * 1024;

    void number(int value) {
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        out_.append(digits, end);
    }

    void jsonString(const std::string& s) {
        out_ += '"';
        for (unsigned char c : s) {
            switch (c) {
            case '"':
                out_ += "\\\"";
                break;
            case '\\':
                out_ += "\\\\";
                break;
            case '\n':
                out_ += "\\n";
                break;
            case '\r':
                out_ += "\\r";
                break;
            case '\t':
                out_ += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char esc[8];
                    std::snprintf(esc, sizeof esc, "\\u%04x", c);
                    out_ += esc;
                } else {
                    out_ += static_cast<char>(c);
                }
            }
        }
        out_ += '"';
    }

    bool json_;
    std::string out_;
};

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
    if (o.mode == "--help") {
        std::cout << kUsage;
        return kExitOk;
    }
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

// Records decoded and printed at a time: the list is never held whole unless
// it is to be saved.
constexpr size_t kRecordsPerPiece = 16384;

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
    const auto parser = makeParser(*o.variant, clock);
    TabletDataParserBase::Run run(o.base);
    const bool keep = !o.saveLog.empty();
    EventCollection events;
    if (keep)
        events.reserve((end - start) / 4);
    Printer printer(o.json);
    std::vector<uint8_t> piece;
    const unsigned long long records = (end - start) / 4;
    for (unsigned long long at = 0; at < records; at += kRecordsPerPiece) {
        const unsigned long long count =
            std::min<unsigned long long>(kRecordsPerPiece, records - at);
        if (!file.readRange(start + 4 * at, 4 * count, piece)) {
            printer.flush();
            std::cout.flush();
            std::cerr << errorPrefix() << file.describe(InputFile::Status::ReadFailed, o.file)
                      << "\n";
            return kExitUsage;
        }
        const int first = events.count();
        parser->decodeMore(piece, run, events);
        for (int i = first; i < events.count(); ++i)
            printer.print(events.at(i));
        if (!keep)
            events.clear();
    }
    printer.flush();
    return keep ? saveLog(o.saveLog, events) : kExitOk;
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
    const auto events = parser->decodeImage(image.bytes(), TabletImage::kHeadersAndEvents);
    Printer(o.json).print(*events);
    return o.saveLog.empty() ? kExitOk : saveLog(o.saveLog, *events);
}

// A saved log file as the program opens it: every whole block, then the read
// error when the file is empty or ends inside a block.
int runLog(const Options& o) {
    InputFile file;
    if (!openInput(file, o.file, LogFileReader::kMaxFileSize))
        return kExitUsage;
    LogFileReader::End end;
    {
        Printer printer(o.json);
        end = LogFileReader::readEach(file, [&](EventInfo& e) { printer.print(e); });
    }
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
