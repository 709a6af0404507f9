// POSIX: the up-time counter is CLOCK_MONOTONIC in milliseconds.
#include "platform/uptime.h"

#include <time.h>

namespace corv::platform {

uint32_t UptimeMilliseconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

}  // namespace corv::platform
