#pragma once

#include "DateTime.h"
#include "EventCollection.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>

// The decoder of one controller variant. Decoders take bytes, never devices, and
// read the computer's clock only through the clock they are given.
class TabletDataParserBase {
public:
    // The wrap step of the controllers' time counters: 33 554 425 s in days.
    static constexpr double kCounterWrapDays = 33554425.0 / 86400.0;

    explicit TabletDataParserBase(datetime::Clock clock = datetime::systemLocalClock());
    virtual ~TabletDataParserBase() = default;
    TabletDataParserBase(const TabletDataParserBase&) = delete;
    TabletDataParserBase& operator=(const TabletDataParserBase&) = delete;

    // Decodes a memory image. `length` counts headers and events (512 for a
    // tablet); the clock is read from the register page when `image` holds it
    // and taken as 0 otherwise. Nothing outside `image` is read: a length under
    // 16 yields an empty list.
    virtual std::unique_ptr<EventCollection> decodeImage(std::span<const uint8_t> image,
                                                         int32_t length) const;

    // Decodes consecutive 4-byte records; `base` is the time base in days, which
    // the counter-wrap rule may lower for the records that follow.
    std::unique_ptr<EventCollection> decodeEvents(std::span<const uint8_t> events,
                                                  double& base) const;

    // Where a run of consecutive records stands after the records decoded so
    // far, so that a long dump can be decoded piece by piece with the results of
    // one run over all of it.
    struct Run {
        explicit Run(double timeBase) : base(timeBase) {}
        double base;                                               // as lowered so far
        double previous = std::numeric_limits<double>::infinity(); // time of the last listed record
        size_t position = 0;                                       // the next record's position
        bool powerUpMet = false;                                   // garage: a power-up decoded
    };
    // Appends the events of `records`, the ones that follow those `run` has
    // seen (a trailing part of a record is not read), and moves `run` on.
    virtual void decodeMore(std::span<const uint8_t> records, Run& run,
                            EventCollection& out) const = 0;

    // The run of list entries that shares one time base with entry `index`.
    // An index outside the list leaves `first` and `last` untouched.
    virtual void findTimeSegment(const EventCollection& events, int index, int& first,
                                 int& last) const;

    // The time base decodeImage uses for a clock reading, tablet clock and stamp.
    static double imageTimeBase(double now, uint32_t clockSeconds, int32_t timeStamp);

    // x = 1970-01-01 + t + base, lowered together with base by one wrap step
    // when it is later than the previous record's time.
    static double counterTime(double seconds, double& base, double previous);

protected:
    // The variant's segment marker and whether it opens (main, military) or
    // closes (garage) a segment.
    virtual bool isSegmentMarker(const EventInfo& event) const = 0;
    virtual bool markerOpensSegment() const = 0;

    double now() const { return clock_(); }

private:
    datetime::Clock clock_;
};
