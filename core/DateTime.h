#pragma once
// Date-times as day counts since 1899-12-30 with the time of day as the fraction
// (local time unless a caller says otherwise).
#include <cstdint>

namespace cv {

using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;

bool IsValidDate(int year, int month, int day);
bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec,
                       TDateTime& out);
// Raises EConvertError when the fields name no real date or time (30 February, second 60).
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
void DecodeDateTime(TDateTime dt, int& year, int& month, int& day, int& hour, int& minute,
                    int& second, int& msec);

// Current local time, to the millisecond.
TDateTime Now();
// Offset of local time from UTC in force now, in minutes (east positive).
int CurrentUtcOffsetMinutes();

// Seconds since 1970-01-01 UTC (with fraction) to a local date-time, and back.
TDateTime UnixToLocalDateTime(double unixSeconds);
// UTC day count to local day count at the offset in force now.
TDateTime UtcToLocal(TDateTime utc);

// Whole seconds between two date-times, absolute, truncated.
int64_t SecondsBetween(TDateTime a, TDateTime b);

} // namespace cv
