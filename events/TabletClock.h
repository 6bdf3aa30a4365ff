#pragma once

#include <array>
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

    // The five clock bytes: the fraction in 1/256 s, then the seconds counter
    // since 1970-01-01, least significant byte first. Every counter value is a
    // date: no cut-off turns current clocks into 1970.
    static TabletClock fromBytes(const std::array<uint8_t, 5>& bytes);
};

// Two-digit years 0 to 69 are this century's, 70 to 99 the last one's.
int widenYear(int twoDigits);
