// Feeds arbitrary bytes to the image checks and the three decoders.
#include "EventCollection.h"
#include "ParserFactory.h"
#include "TabletImage.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const Variant variant = static_cast<Variant>(data[0] % 3);
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    const auto parser = makeParser(variant, datetime::fixedClock(45292.5));

    const TabletImage image(bytes);
    (void)image.validate();
    (void)image.serialNumberText();
    (void)image.deviceNumberText();

    // decodeImage sees exactly the bytes given, with every length it may be asked for
    const int32_t length = size > 3 ? static_cast<int32_t>(data[1] | data[2] << 8) - 64 : 512;
    const auto fromImage = parser->decodeImage(bytes, length);

    double base = size > 8 ? static_cast<double>(static_cast<int8_t>(data[3])) * 1000.0 : 0.0;
    const auto events = parser->decodeEvents(bytes, base);
    for (int index : {-1, 0, events->count() / 2, events->count() - 1, events->count()}) {
        int first = -5, last = -5;
        parser->findTimeSegment(*events, index, first, last);
        if (index >= 0 && index < events->count() && (first < 0 || last >= events->count()))
            __builtin_trap();
    }
    for (const EventInfo& e : *events) {
        (void)datetime::format(e.time);
        (void)eventtext::codeByteText(e.codeByte);
        if (e.category < 0 || e.category > 5)
            __builtin_trap();
    }
    (void)fromImage;
    return 0;
}
