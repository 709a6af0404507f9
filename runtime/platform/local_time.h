// The platform's local clock and time zone.
#pragma once

#include <cstdint>

namespace corv::platform {

/// The local civil time now and the zone's offset from GMT at this instant
/// (daylight saving included).
struct LocalClock {
  int32_t year, month, day;  // month 1..12
  int32_t hour, minute, second, millisecond;
  int32_t gmtOffsetSeconds;  // east of GMT
};

LocalClock CurrentLocalClock();

/// The local civil time of an instant (seconds since 1970 GMT plus
/// milliseconds) and the zone's offset from GMT at that instant.
LocalClock LocalClockAt(int64_t seconds, int32_t millisecond);

}  // namespace corv::platform
