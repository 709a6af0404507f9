// Proleptic Gregorian calendar arithmetic on 400-year eras, so conversions
// are exact integer arithmetic with no dependence on the process time zone.
#include "lib/calendar.h"

namespace corv::calendar {
namespace {

constexpr int64_t kMsPerDay = 86400000;
// Days from 0000-03-01 (the start of the era arithmetic) to 1904-01-01.
constexpr int64_t kEpochShift = 695361;

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// Days from 0000-03-01; years begin in March so that the leap day ends them.
int64_t DaysFromMarchEpoch(int64_t year, int32_t month, int32_t day) {
  year -= month <= 2;
  int64_t era = FloorDiv(year, 400);
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra;
}

}  // namespace

int64_t DaysFrom1904(int64_t year, int32_t month, int32_t day) {
  return DaysFromMarchEpoch(year, month, day) - kEpochShift;
}

namespace {
const int64_t kMinMs = DaysFrom1904(kMinYear, 1, 1) * kMsPerDay;
const int64_t kMaxMs = (DaysFrom1904(kMaxYear, 12, 31) + 1) * kMsPerDay - 1;
}  // namespace

int64_t MinMilliseconds() {
  return kMinMs;
}

int64_t MaxMilliseconds() {
  return kMaxMs;
}

int64_t ClampMilliseconds(int64_t milliseconds) {
  if (milliseconds < kMinMs) return kMinMs;
  if (milliseconds > kMaxMs) return kMaxMs;
  return milliseconds;
}

int64_t FieldsToMilliseconds(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                             int64_t second, int64_t millisecond) {
  // Month carry first; years far outside the range clamp before multiplying
  // so nothing below can overflow (the other inputs are 32-bit).
  year += FloorDiv(month - 1, 12);
  month -= FloorDiv(month - 1, 12) * 12;
  if (year < kMinYear - 1) return kMinMs;
  if (year > kMaxYear + 1) return kMaxMs;
  int64_t days = DaysFrom1904(year, static_cast<int32_t>(month), 1) + (day - 1);
  int64_t total = days * kMsPerDay + hour * 3600000 + minute * 60000 + second * 1000 + millisecond;
  return ClampMilliseconds(total);
}

ClockFields MillisecondsToFields(int64_t milliseconds) {
  milliseconds = ClampMilliseconds(milliseconds);
  int64_t days = FloorDiv(milliseconds, kMsPerDay);
  int64_t msOfDay = milliseconds - days * kMsPerDay;

  int64_t z = days + kEpochShift;
  int64_t era = FloorDiv(z, 146097);
  int64_t dayOfEra = z - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t monthIndex = (5 * dayOfYear + 2) / 153;  // 0 = March

  ClockFields f;
  f.day = static_cast<int32_t>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  f.month = static_cast<int32_t>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  f.year = static_cast<int32_t>(yearOfEra + era * 400 + (f.month <= 2));
  f.hour = static_cast<int32_t>(msOfDay / 3600000);
  f.minute = static_cast<int32_t>(msOfDay / 60000 % 60);
  f.second = static_cast<int32_t>(msOfDay / 1000 % 60);
  f.millisecond = static_cast<int32_t>(msOfDay % 1000);
  // 1904-01-01 was a Friday (6).
  f.dayOfWeek = static_cast<int32_t>((days % 7 + 7 + 5) % 7) + 1;
  return f;
}

}  // namespace corv::calendar
