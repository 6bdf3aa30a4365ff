#include "CsvWriter.h"

#include "AtomicFile.h"
#include "ExportColumns.h"

namespace {

constexpr char kSeparator = ';';
constexpr std::string_view kRecordEnd = "\r\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Rows are gathered up to this size before they go to the sink.
constexpr size_t kChunk = 64 * 1024;

} // namespace

void CsvWriter::appendField(std::string& out, std::string_view text) {
    if (text.find_first_of("\";\r\n") == std::string_view::npos) {
        out.append(text);
        return;
    }
    out.push_back('"');
    for (char c : text) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

bool CsvWriter::write(ByteSink& sink, std::string_view title, const EventCollection* events) {
    std::string out(kByteOrderMark);
    // The title row has as many fields as the others.
    appendField(out, title);
    out.append(exportcolumns::kCount - 1, kSeparator);
    out.append(kRecordEnd);
    for (size_t c = 0; c < exportcolumns::kCount; ++c) {
        if (c != 0)
            out.push_back(kSeparator);
        appendField(out, exportcolumns::kColumns[c].header);
    }
    out.append(kRecordEnd);
    if (events)
        for (const EventInfo& e : *events) {
            for (size_t c = 0; c < exportcolumns::kCount; ++c) {
                if (c != 0)
                    out.push_back(kSeparator);
                appendField(out, exportcolumns::kColumns[c].text(e));
            }
            out.append(kRecordEnd);
            if (out.size() >= kChunk) {
                if (!sink.write(out.data(), out.size()))
                    return false;
                out.clear();
            }
        }
    return sink.write(out.data(), out.size());
}

FileStatus CsvWriter::save(const std::string& path, std::string_view title,
                           const EventCollection* events) {
    return fileStatusOf(
        AtomicFile::save(path, [&](ByteSink& sink) { return write(sink, title, events); }));
}
