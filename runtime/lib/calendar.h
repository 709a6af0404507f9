// Proleptic Gregorian calendar arithmetic: clock fields <-> milliseconds
// since 1904-01-01 00:00:00, exact for every year a Date can hold.
#pragma once

#include <cstdint>

namespace corv::calendar {

/// Broken-down clock fields, always in range after MillisecondsToFields.
struct ClockFields {
  int32_t year;
  int32_t month;        // 1..12
  int32_t day;          // 1..31
  int32_t hour;         // 0..23
  int32_t minute;       // 0..59
  int32_t second;       // 0..59
  int32_t millisecond;  // 0..999
  int32_t dayOfWeek;    // 1 = Sunday .. 7 = Saturday
};

/// The instants a Date can hold: years -32768 to 32767 fit its 16-bit field.
constexpr int32_t kMinYear = -32768;
constexpr int32_t kMaxYear = 32767;
int64_t MinMilliseconds();
int64_t MaxMilliseconds();

/// Days from 1904-01-01 to the given date (any year; month 1..12, day 1..31).
int64_t DaysFrom1904(int64_t year, int32_t month, int32_t day);

/// Milliseconds from 1904-01-01 to the clock fields, letting every field run
/// out of range: months carry into years, then the days, hours, minutes,
/// seconds and milliseconds are added to the first of that month. Clamped
/// to the range a Date holds.
int64_t FieldsToMilliseconds(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                             int64_t second, int64_t millisecond);

/// The clock fields of an instant (clamped into the range a Date holds).
ClockFields MillisecondsToFields(int64_t milliseconds);

/// Clamps a millisecond count into the range a Date holds.
int64_t ClampMilliseconds(int64_t milliseconds);

/// True for leap years of the Gregorian calendar.
inline bool IsLeapYear(int64_t year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

}  // namespace corv::calendar
