#pragma once

#include <cstdint>

// The tablet clock in calendar fields, as ClockToDate fills it.
struct TabletClock {
    uint16_t hundredths = 0;
    uint16_t seconds = 0;
    uint16_t minutes = 0;
    uint16_t hours = 0;
    uint16_t day = 0;   // 1 to 31
    uint16_t month = 0; // 1 to 12
    uint16_t year = 0;  // two digits, 0 to 99
};
