// Local clock on POSIX: the real-time clock broken down by localtime_r, whose
// tm_gmtoff already carries the daylight-saving shift.
#include "platform/local_time.h"

#include <time.h>

namespace corv::platform {

LocalClock CurrentLocalClock() {
  struct timespec now = {};
  clock_gettime(CLOCK_REALTIME, &now);
  return LocalClockAt(static_cast<int64_t>(now.tv_sec),
                      static_cast<int32_t>(now.tv_nsec / 1000000));
}

LocalClock LocalClockAt(int64_t seconds, int32_t millisecond) {
  struct tm local = {};
  time_t instant = static_cast<time_t>(seconds);
  LocalClock clock = {};
  if (!localtime_r(&instant, &local)) {
    // No zone information: report GMT rather than garbage.
    gmtime_r(&instant, &local);
    local.tm_gmtoff = 0;
  }
  clock.year = local.tm_year + 1900;
  clock.month = local.tm_mon + 1;
  clock.day = local.tm_mday;
  clock.hour = local.tm_hour;
  clock.minute = local.tm_min;
  clock.second = local.tm_sec > 59 ? 59 : local.tm_sec;  // leap second
  clock.millisecond = millisecond;
  clock.gmtOffsetSeconds = static_cast<int32_t>(local.tm_gmtoff);
  return clock;
}

}  // namespace corv::platform
