// The floor for velmora-decode: the least a printer of the same output does
// (the decoders over pieces of the dump, or the log reader, each event
// formatted into one buffer and written). No checks of its arguments: only
// what bench_decode_tool passes.
//   decode_floor events --variant V --now "YYYY-MM-DD hh:mm:ss" [--json] [--save-log OUT] FILE
//   decode_floor log FILE
#include "AtomicFile.h"
#include "DateTime.h"
#include "InputFile.h"
#include "LogFileReader.h"
#include "LogFileWriter.h"
#include "ParserFactory.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class Out {
public:
    explicit Out(bool json) : json_(json) { buffer_.reserve(kSize + 4096); }
    ~Out() { flush(); }

    void event(const EventInfo& e) {
        const std::string time = datetime::format(e.time);
        if (json_) {
            put("{\"number\":"), num(e.number), put(",\"position\":"), num(e.position);
            put(",\"time\":");
            if (std::isfinite(e.time)) {
                char t[40];
                put(t, static_cast<size_t>(std::snprintf(t, sizeof t, "%.17g", e.time)));
            } else {
                put("null");
            }
            put(",\"time_text\":"), str(time), put(",\"time_state\":"), num(e.timeState);
            put(",\"zero_time\":"), num(e.zeroTime), put(",\"category\":"), num(e.category);
            put(",\"code\":"), num(e.codeByte), put(",\"type\":"), str(e.typeText);
            put(",\"info\":"), str(e.infoText), put(",\"note\":"), str(e.noteText), put("}\n");
        } else {
            num(e.number), put("\t"), put(time), put("\t"), put(e.typeText), put("\t");
            put(e.infoText), put("\t"), put(e.noteText), put("\n");
        }
        if (buffer_.size() >= kSize)
            flush();
    }

    void flush() {
        for (size_t at = 0; at < buffer_.size();) {
            const ssize_t n = ::write(1, buffer_.data() + at, buffer_.size() - at);
            if (n <= 0)
                break;
            at += static_cast<size_t>(n);
        }
        buffer_.clear();
    }

private:
    static constexpr size_t kSize = 64 * 1024;

    void put(const char* s, size_t n) { buffer_.append(s, n); }
    void put(const char* s) { put(s, std::strlen(s)); }
    void put(const std::string& s) { put(s.data(), s.size()); }
    void num(int v) {
        char d[16];
        put(d, static_cast<size_t>(std::to_chars(d, d + sizeof d, v).ptr - d));
    }
    // The texts the decoders make need no escapes but the ones kept here.
    void str(const std::string& s) {
        buffer_ += '"';
        for (const char c : s) {
            if (c == '"' || c == '\\')
                buffer_ += '\\';
            buffer_ += c;
        }
        buffer_ += '"';
    }

    bool json_;
    std::string buffer_;
};

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argv[1];
    std::string variant, now, saveLog, path;
    bool json = false;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--variant")
            variant = argv[++i];
        else if (a == "--now")
            now = argv[++i];
        else if (a == "--save-log")
            saveLog = argv[++i];
        else if (a == "--json")
            json = true;
        else
            path = a;
    }
    InputFile file;
    if (file.open(path) != InputFile::Status::Opened)
        return 1;
    Out out(json);
    if (mode == "log")
        return LogFileReader::readEach(file, [&](EventInfo& e) { out.event(e); }) ==
                       LogFileReader::End::Clean
                   ? 0
                   : 1;
    datetime::Parts p;
    std::sscanf(now.c_str(), "%d-%d-%d %d:%d:%d", &p.year, &p.month, &p.day, &p.hour, &p.minute,
                &p.second);
    const auto parser =
        makeParser(*variantFromName(variant), datetime::fixedClock(*datetime::encodeDateTime(p)));
    TabletDataParserBase::Run run(0.0);
    EventCollection events;
    std::vector<uint8_t> piece(4 * 16384);
    for (;;) {
        const uint64_t n = std::min<uint64_t>(piece.size(), file.remaining() / 4 * 4);
        if (n == 0 || !file.read(piece.data(), n))
            break;
        const int first = events.count();
        parser->decodeMore(std::span(piece).first(n), run, events);
        for (int i = first; i < events.count(); ++i)
            out.event(events.at(i));
        if (saveLog.empty())
            events.clear();
    }
    out.flush();
    if (!saveLog.empty())
        return AtomicFile::save(
                   saveLog, [&](ByteSink& sink) { return LogFileWriter::write(sink, events); }) ==
                       AtomicFile::Status::Saved
                   ? 0
                   : 1;
    return 0;
}
