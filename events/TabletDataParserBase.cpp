#include "TabletDataParserBase.h"

#include "LittleEndian.h"
#include "TabletImage.h"

TabletDataParserBase::TabletDataParserBase(datetime::Clock clock) : clock_(std::move(clock)) {
    if (!clock_)
        clock_ = datetime::systemLocalClock();
}

double TabletDataParserBase::imageTimeBase(double now, uint32_t clockSeconds, int32_t timeStamp) {
    const double clock = datetime::kUnixEpoch + clockSeconds / datetime::kSecondsPerDay;
    const double stamp = timeStamp / datetime::kSecondsPerDay;
    return (now - clock) + stamp;
}

std::unique_ptr<EventCollection> TabletDataParserBase::decodeImage(std::span<const uint8_t> image,
                                                                   int32_t length) const {
    if (length < static_cast<int32_t>(TabletImage::kEventArea) ||
        image.size() < TabletImage::kEventArea)
        return std::make_unique<EventCollection>();
    const double current = now();
    const uint32_t clock = image.size() >= TabletImage::kClockSeconds + 4
                               ? le::read32(image.data() + TabletImage::kClockSeconds)
                               : 0;
    const int32_t stamp = static_cast<int32_t>(le::read32(image.data() + TabletImage::kTimeStamp));
    double base = imageTimeBase(current, clock, stamp);
    const size_t end = std::min(image.size(), static_cast<size_t>(length));
    return decodeEvents(image.subspan(TabletImage::kEventArea, end - TabletImage::kEventArea),
                        base);
}

std::unique_ptr<EventCollection> TabletDataParserBase::decodeEvents(std::span<const uint8_t> events,
                                                                    double& base) const {
    auto list = std::make_unique<EventCollection>();
    list->reserve(events.size() / 4);
    Run run(base);
    decodeMore(events, run, *list);
    base = run.base;
    return list;
}

double TabletDataParserBase::counterTime(double seconds, double& base, double previous) {
    double x = datetime::kUnixEpoch + (seconds / datetime::kSecondsPerDay + base);
    if (x > previous) {
        base -= kCounterWrapDays;
        x -= kCounterWrapDays;
    }
    return x;
}

void TabletDataParserBase::findTimeSegment(const EventCollection& events, int index, int& first,
                                           int& last) const {
    const int count = events.count();
    if (index < 0 || index >= count)
        return;
    first = 0;
    last = count - 1;
    const bool opens = markerOpensSegment();
    for (int n = index; n >= 0; --n) {
        if (isSegmentMarker(events.at(n))) {
            first = opens ? n : n + 1;
            break;
        }
    }
    for (int n = index + 1; n < count; ++n) {
        if (isSegmentMarker(events.at(n))) {
            last = opens ? n - 1 : n;
            break;
        }
    }
}
