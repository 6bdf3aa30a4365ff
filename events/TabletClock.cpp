#include "TabletClock.h"

#include "DateTime.h"
#include "LittleEndian.h"

TabletClock TabletClock::fromBytes(const std::array<uint8_t, 5>& b) {
    TabletClock clock;
    clock.hundredths = static_cast<uint16_t>((b[0] + 2) * 99 / 255);
    const uint32_t s = le::read32(b.data() + 1);
    clock.seconds = static_cast<uint16_t>(s % 60);
    clock.minutes = static_cast<uint16_t>(s / 60 % 60);
    clock.hours = static_cast<uint16_t>(s / 3600 % 24);
    int year = 0, month = 0, day = 0;
    datetime::civilFromDays(s / 86400, year, month, day);
    clock.day = static_cast<uint16_t>(day);
    clock.month = static_cast<uint16_t>(month);
    clock.year = static_cast<uint16_t>(year % 100);
    return clock;
}

int widenYear(int twoDigits) {
    return twoDigits < 70 ? 2000 + twoDigits : 1900 + twoDigits;
}
