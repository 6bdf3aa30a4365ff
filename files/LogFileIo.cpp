#include "LogFileIo.h"

#include "AtomicFile.h"
#include "InputFile.h"
#include "LogFileReader.h"
#include "LogFileWriter.h"
#include "SegmentRule.h"

#include <exception>

LogFileIo::Opened LogFileIo::openLogFile(const std::string& path, datetime::Clock clock) {
    Opened result;
    InputFile file;
    const InputFile::Status status = file.open(path, LogFileReader::kMaxFileSize);
    result.fileSize = file.size();
    if (status != InputFile::Status::Opened) {
        // a file that opens but cannot be measured is one that cannot be opened
        result.status =
            status == InputFile::Status::TooLarge ? FileStatus::TooLarge : FileStatus::CannotOpen;
        return result;
    }
    EventCollection events;
    const LogFileReader::End end = LogFileReader::read(file, events);
    result.status = LogFileReader::isReadError(end) ? FileStatus::ReadFailed : FileStatus::Ok;
    // a file without one whole block gives no list, so none on display is replaced
    if (events.empty() && result.status != FileStatus::Ok)
        return result;
    std::shared_ptr<const TabletDataParserBase> rule =
        makeParser(segmentRuleVariant(events), std::move(clock));
    result.log.emplace(std::move(events), std::move(rule), EventLog::Origin::File);
    result.log->setSource({.fileName = path});
    return result;
}

FileStatus LogFileIo::saveLogFile(const std::string& path, EventLog& log) {
    const AtomicFile::Status status = AtomicFile::save(
        path, [&](ByteSink& sink) { return LogFileWriter::write(sink, log.events()); });
    if (status == AtomicFile::Status::Saved)
        log.markSaved();
    return fileStatusOf(status);
}

FileStatus LogFileIo::loadDump(const std::string& path, BinDump& dump) {
    return fileStatusOf(dump.load(path));
}

LogFileIo::Imported LogFileIo::importDump(const BinDump& dump, int32_t start, int32_t end,
                                          Variant variant, datetime::Clock clock) {
    Imported result;
    const auto range = dump.range(start, end);
    if (!range)
        return result;
    try {
        std::shared_ptr<const TabletDataParserBase> decoder = makeParser(variant, std::move(clock));
        double base = 0.0;
        auto events = decoder->decodeEvents(*range, base);
        result.log.emplace(std::move(*events), std::move(decoder), EventLog::Origin::Import);
        result.log->setSource({.variant = variant});
        result.status = FileStatus::Ok;
    } catch (const std::exception&) {
        result.log.reset();
        result.status = FileStatus::DecoderFailed;
    }
    return result;
}
