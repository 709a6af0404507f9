// Local clock on Windows: the zone's offset at an instant from the system's
// conversion of that instant to local time (its daylight-saving rules for
// that year included), and the civil fields worked out from the instant and
// that offset, so that instants outside the system's years (1601-30827) get
// fields too, with the offset of the nearest year it knows.
#include "platform/local_time.h"

#include <windows.h>

#include "platform/windows/civil_days.h"

namespace corv::platform {
namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
// The system's years, a day in from either end so that the local time of
// the instant lies inside them too.
constexpr int64_t kEarliest = -kSecondsFrom1601To1970 + 86400;  // 1601-01-02
constexpr int64_t kLatest = 910670342400;                       // 30827-12-30

SYSTEMTIME SystemTimeOf(int64_t seconds) {
  ULARGE_INTEGER ticks;
  ticks.QuadPart = static_cast<ULONGLONG>(seconds + kSecondsFrom1601To1970) * 10000000ULL;
  FILETIME file{ticks.LowPart, ticks.HighPart};
  SYSTEMTIME time{};
  FileTimeToSystemTime(&file, &time);
  return time;
}

int64_t SecondsOf(const SYSTEMTIME &time) {
  FILETIME file;
  if (!SystemTimeToFileTime(&time, &file)) return 0;
  ULARGE_INTEGER ticks{{file.dwLowDateTime, file.dwHighDateTime}};
  return static_cast<int64_t>(ticks.QuadPart / 10000000ULL) - kSecondsFrom1601To1970;
}

// East of GMT, in seconds; 0 when the system cannot tell.
int32_t OffsetAt(int64_t seconds) {
  if (seconds < kEarliest) seconds = kEarliest;
  if (seconds > kLatest) seconds = kLatest;
  SYSTEMTIME gmt = SystemTimeOf(seconds);
  // The zone's rules for that year where the system keeps them by year.
  TIME_ZONE_INFORMATION zone;
  TIME_ZONE_INFORMATION *rules =
      GetTimeZoneInformationForYear(gmt.wYear, nullptr, &zone) ? &zone : nullptr;
  SYSTEMTIME local;
  if (!SystemTimeToTzSpecificLocalTime(rules, &gmt, &local)) return 0;
  return static_cast<int32_t>(SecondsOf(local) - seconds);
}

}  // namespace

LocalClock CurrentLocalClock() {
  FILETIME file;
  GetSystemTimeAsFileTime(&file);
  ULARGE_INTEGER ticks{{file.dwLowDateTime, file.dwHighDateTime}};
  int64_t milliseconds = static_cast<int64_t>(ticks.QuadPart / 10000ULL);
  return LocalClockAt(milliseconds / 1000 - kSecondsFrom1601To1970,
                      static_cast<int32_t>(milliseconds % 1000));
}

LocalClock LocalClockAt(int64_t seconds, int32_t millisecond) {
  LocalClock clock = {};
  clock.gmtOffsetSeconds = OffsetAt(seconds);
  int64_t local = seconds + clock.gmtOffsetSeconds;
  int64_t days = FloorDiv(local, 86400);
  int64_t ofDay = local - days * 86400;
  int64_t year, month, day;
  CivilFromDays(days, &year, &month, &day);
  clock.year = static_cast<int32_t>(year);
  clock.month = static_cast<int32_t>(month);
  clock.day = static_cast<int32_t>(day);
  clock.hour = static_cast<int32_t>(ofDay / 3600);
  clock.minute = static_cast<int32_t>(ofDay / 60 % 60);
  clock.second = static_cast<int32_t>(ofDay % 60);
  clock.millisecond = millisecond;
  return clock;
}

}  // namespace corv::platform
