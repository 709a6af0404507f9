// Calendar days for the Windows platform files: the year, month and day of
// a count of days since 1970-01-01 in the proleptic Gregorian calendar,
// which the system's own conversions cover only from 1601 on.
#pragma once

#include <cstdint>

namespace corv::platform {

inline int64_t FloorDiv(int64_t a, int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

inline void CivilFromDays(int64_t days, int64_t *year, int64_t *month, int64_t *day) {
  days += 719468;
  int64_t era = FloorDiv(days, 146097);
  int64_t dayOfEra = days - era * 146097;
  int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  int64_t monthIndex = (5 * dayOfYear + 2) / 153;
  *day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
  *month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
  *year = yearOfEra + era * 400 + (*month <= 2);
}

}  // namespace corv::platform
