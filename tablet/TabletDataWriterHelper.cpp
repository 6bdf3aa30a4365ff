#include "TabletDataWriterHelper.h"

#include "Ds1994Commands.h"
#include "ReadCommandRecord.h"

namespace {

// A failure that ends the writing at once; nothing after it goes on the bus.
struct WriteFailure {
    BindingStatus status = BindingStatus::WriteFailed;
};

using namespace ds1994;

} // namespace

TabletDataWriterHelper::TabletDataWriterHelper(bool createSuspended, FinishFunction finishFunction,
                                               uint16_t version, QString libraryPath)
    : driver_(std::move(libraryPath)), version_(version),
      finishFunction_(std::move(finishFunction)) {
    if (!createSuspended)
        start(); // the class is final: it is whole by now
}

TabletDataWriterHelper::~TabletDataWriterHelper() {
    wait();
    const std::lock_guard lock(handOver_);
}

bool TabletDataWriterHelper::Succeeded() const {
    return status() == BindingStatus::Ok;
}

BindingStatus TabletDataWriterHelper::status() const {
    const std::lock_guard lock(handOver_);
    return status_;
}

void TabletDataWriterHelper::run() {
    Execute();
    const std::lock_guard lock(handOver_);
}

void TabletDataWriterHelper::Execute() {
    status_ = BindingStatus::WriteFailed;
    TabletDataLoaderHelper::Session session;
    try {
        const BindingStatus opened = driver_.OpenSession(session);
        if (opened != BindingStatus::Ok)
            throw WriteFailure{opened};
        // Load accepts a library without TMTouchReset; the writer cannot do without it.
        if (!driver_.hasTouchReset())
            throw WriteFailure{BindingStatus::LibraryFailure};
        writeRecord(session.handle);
        status_ = BindingStatus::Ok;
    } catch (const WriteFailure& failure) {
        status_ = failure.status;
    } catch (...) {
        status_ = BindingStatus::WriteFailed;
    }
    driver_.EndSession(session); // the bus is free for the next reader
    if (finishFunction_)
        finishFunction_();
}

void TabletDataWriterHelper::writeRecord(int32_t session) {
    TabletDataLoaderHelper& d = driver_;
    // Every result is looked at: an adapter error ends the writing like a mismatch.
    auto touch = [&](uint8_t byte) {
        const int16_t answer = d.touchByte(session, byte);
        if (answer < 0)
            throw WriteFailure{};
        return static_cast<uint8_t>(answer);
    };
    auto expect = [&](uint8_t wanted) {
        if (touch(kReadSlot) != wanted)
            throw WriteFailure{};
    };
    auto reset = [&] {
        if (d.TMTouchReset(session) < 0)
            throw WriteFailure{};
    };
    const uint8_t addressLow = static_cast<uint8_t>(kTargetAddress);
    const uint8_t addressHigh = static_cast<uint8_t>(kTargetAddress >> 8);

    // The tablet on the adapter: a search names it, TMRom hands over its ROM
    // code. Only a DS1994 takes the record; anything else is refused before a
    // byte is written to it.
    if (d.TMNext(session, stateBuffer_.data()) != 1)
        throw WriteFailure{};
    std::array<int16_t, 8> words{};
    if (d.TMRom(session, stateBuffer_.data(), words.data()) < 0)
        throw WriteFailure{};
    std::array<uint8_t, 8> rom{};
    for (size_t i = 0; i < rom.size(); ++i)
        rom[i] = static_cast<uint8_t>(words[i]);
    if (rom[0] != kFamily)
        throw WriteFailure{};
    const auto record = ReadCommandRecord::build(
        rom, static_cast<uint8_t>(version_),
        [&d](uint8_t seed, uint8_t byte) { return d.crc8Step(seed, byte); });

    // Every command goes to this tablet alone (Match ROM with its ROM code):
    // other tablets on the adapter must not take it.
    if (d.TMRom(session, stateBuffer_.data(), words.data()) != 1)
        throw WriteFailure{};
    auto select = [&] {
        if (d.TMAccess(session, stateBuffer_.data()) != 1)
            throw WriteFailure{};
    };

    // Into the scratchpad.
    select();
    for (uint8_t b : {kWriteScratchpad, addressLow, addressHigh})
        touch(b);
    for (uint8_t b : record)
        touch(b);

    // Read back: target address, ending offset and status, data; the first
    // difference ends the writing with the memory untouched.
    select();
    touch(kReadScratchpad);
    expect(addressLow);
    expect(addressHigh);
    const uint8_t endingStatus = touch(kReadSlot);
    for (uint8_t b : record)
        expect(b);

    // Copy into memory, authorized by what the tablet read back.
    select();
    for (uint8_t b : {kCopyScratchpad, addressLow, addressHigh, endingStatus})
        touch(b);
    reset();

    // A tablet lifted during the copy keeps its old memory: only the memory
    // itself tells whether the record is there.
    select();
    std::array<uint8_t, ReadCommandRecord::kSize> stored{};
    if (d.ReadMemory(session, kTargetAddress, stored) != BindingStatus::Ok || stored != record)
        throw WriteFailure{};
    reset();
}
