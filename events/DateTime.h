#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Date-time values are day counts from 1899-12-30 00:00:00; the fraction is the
// time of day. They are what the event records, the saved log and the export hold.
namespace datetime {

constexpr double kUnixEpoch = 25569.0; // 1970-01-01 00:00:00
constexpr double kSecondsPerDay = 86400.0;

struct Parts {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// The proleptic Gregorian date of a day count from 1970-01-01: the one calendar
// of the program (H. Hinnant's algorithm).
void civilFromDays(int64_t daysSince1970, int& year, int& month, int& day);

// Whole day count of a calendar date; nullopt for a date that does not exist.
std::optional<double> encodeDate(int year, int month, int day);
double encodeTime(int hour, int minute, int second, int millisecond = 0);
std::optional<double> encodeDateTime(const Parts& parts);

// Splits a value after rounding its time of day to the nearest millisecond.
// nullopt when the value is not finite or lies outside the years 1 to 9999.
std::optional<Parts> decode(double value);

// "dd.mm.yyyy hh:nn:ss"; an empty text for a value that is no date.
std::string format(double value);

// The computer's clock, as the decoders read it. Injected so that tests and
// the headless tools decide what "now" is.
using Clock = std::function<double()>;
double localNow();
Clock systemLocalClock();
Clock fixedClock(double value);

} // namespace datetime
