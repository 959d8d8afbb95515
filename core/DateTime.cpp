#include "DateTime.h"

#include "Assert.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace cv {

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

constexpr int64_t DaysEpoch1899To1970 = 25569;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

} // namespace

bool IsValidDate(int year, int month, int day) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    int dim = days[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
    return day <= dim;
}

bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec,
                       TDateTime& out) {
    if (!IsValidDate(year, month, day))
        return false;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        msec < 0 || msec > 999)
        return false;
    double date = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month),
                                                    static_cast<unsigned>(day)) +
                                      DaysEpoch1899To1970);
    double time = EncodeTime(hour, minute, second, msec);
    // Before the epoch the fraction counts forward from the day's start, as the day count
    // convention has it: -1.25 is 1899-12-29 06:00.
    out = date >= 0 ? date + time : date - time;
    return true;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second,
                         int msec) {
    TDateTime out = 0;
    if (!TryEncodeDateTime(year, month, day, hour, minute, second, msec, out))
        throw EConvertError("Invalid argument to date encode");
    return out;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    return (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / MSecsPerDay;
}

void DecodeDateTime(TDateTime dt, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& msec) {
    double whole = std::trunc(dt);
    double frac = std::fabs(dt - whole);
    int64_t ms = static_cast<int64_t>(std::llround(frac * MSecsPerDay));
    int64_t days = static_cast<int64_t>(whole);
    if (ms >= static_cast<int64_t>(MSecsPerDay)) {
        ms -= static_cast<int64_t>(MSecsPerDay);
        days += dt >= 0 ? 1 : -1;
    }
    CivilFromDays(days - DaysEpoch1899To1970, year, month, day);
    hour = static_cast<int>(ms / 3600000);
    minute = static_cast<int>(ms / 60000 % 60);
    second = static_cast<int>(ms / 1000 % 60);
    msec = static_cast<int>(ms % 1000);
}

namespace {

int ReadUtcOffsetMinutes() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    std::tm utc{};
#ifdef _WIN32
    localtime_s(&local, &t);
    gmtime_s(&utc, &t);
#else
    localtime_r(&t, &local);
    gmtime_r(&t, &utc);
#endif
    int64_t l = DaysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                              static_cast<unsigned>(local.tm_mday)) *
                    1440 +
                local.tm_hour * 60 + local.tm_min;
    int64_t u = DaysFromCivil(utc.tm_year + 1900, static_cast<unsigned>(utc.tm_mon + 1),
                              static_cast<unsigned>(utc.tm_mday)) *
                    1440 +
                utc.tm_hour * 60 + utc.tm_min;
    return static_cast<int>(l - u);
}

} // namespace

int CurrentUtcOffsetMinutes() {
    // The feed asks for every row; the zone rules are consulted at most once a second per
    // thread (an offset change shows a second late at most).
    thread_local int64_t readAt = INT64_MIN;
    thread_local int offset = 0;
    const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    if (now != readAt) {
        offset = ReadUtcOffsetMinutes();
        readAt = now;
    }
    return offset;
}

TDateTime UnixToLocalDateTime(double unixSeconds) {
    return UtcToLocal(unixSeconds / 86400.0 + DaysEpoch1899To1970);
}

TDateTime UtcToLocal(TDateTime utc) { return utc + CurrentUtcOffsetMinutes() / 1440.0; }

TDateTime Now() {
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return UnixToLocalDateTime(static_cast<double>(ms) / 1000.0);
}

int64_t SecondsBetween(TDateTime a, TDateTime b) {
    return static_cast<int64_t>(std::fabs(a - b) * 86400.0 + 1e-6);
}

} // namespace cv
