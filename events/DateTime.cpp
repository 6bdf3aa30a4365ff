#include "DateTime.h"

#include <cmath>
#include <ctime>
#include <sys/time.h>

namespace datetime {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool isLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

constexpr int64_t kMillisecondsPerDay = 86400000;
// Day count of 0001-01-01 and of 10000-01-01: the range a date text can show.
constexpr double kFirstDay = -693593.0;
constexpr double kPastLastDay = 2958466.0;

} // namespace

void civilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(y + (month <= 2));
}

std::optional<double> encodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > daysInMonth(year, month))
        return std::nullopt;
    return static_cast<double>(
               daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day))) +
           kUnixEpoch;
}

double encodeTime(int hour, int minute, int second, int millisecond) {
    return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond) /
           static_cast<double>(kMillisecondsPerDay);
}

std::optional<double> encodeDateTime(const Parts& p) {
    const auto date = encodeDate(p.year, p.month, p.day);
    if (!date)
        return std::nullopt;
    // Before 1899-12-30 the time of day counts away from zero, as the day count's
    // fraction is read as an absolute value.
    const double time = encodeTime(p.hour, p.minute, p.second, p.millisecond);
    return *date < 0 ? *date - time : *date + time;
}

std::optional<Parts> decode(double value) {
    if (!std::isfinite(value) || value <= kFirstDay - 1 || value >= kPastLastDay)
        return std::nullopt;
    double whole = std::trunc(value);
    int64_t ms = std::llround(std::fabs(value - whole) * static_cast<double>(kMillisecondsPerDay));
    if (ms >= kMillisecondsPerDay) {
        ms -= kMillisecondsPerDay;
        whole += value < 0 ? -1.0 : 1.0;
    }
    if (whole < kFirstDay || whole >= kPastLastDay)
        return std::nullopt;
    Parts p;
    civilFromDays(static_cast<int64_t>(whole - kUnixEpoch), p.year, p.month, p.day);
    p.millisecond = static_cast<int>(ms % 1000);
    int64_t s = ms / 1000;
    p.second = static_cast<int>(s % 60);
    p.minute = static_cast<int>(s / 60 % 60);
    p.hour = static_cast<int>(s / 3600);
    return p;
}

std::string format(double value) {
    const auto p = decode(value);
    if (!p)
        return {};
    // Every shown and exported time passes here, so it is put digit by digit;
    // decode() gives years 1..9999 only.
    std::string text = "00.00.0000 00:00:00";
    const auto put = [&text](size_t end, int value) {
        for (size_t i = end; value > 0; --i, value /= 10)
            text[i] = static_cast<char>('0' + value % 10);
    };
    put(1, p->day);
    put(4, p->month);
    put(9, p->year);
    put(12, p->hour);
    put(15, p->minute);
    put(18, p->second);
    return text;
}

double localNow() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    const time_t seconds = tv.tv_sec;
    tm local{};
    localtime_r(&seconds, &local);
    const auto date = encodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return date.value_or(kUnixEpoch) + encodeTime(local.tm_hour, local.tm_min, local.tm_sec,
                                                  static_cast<int>(tv.tv_usec / 1000));
}

Clock systemLocalClock() {
    return &localNow;
}

Clock fixedClock(double value) {
    return [value] { return value; };
}

} // namespace datetime
