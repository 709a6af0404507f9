// POSIX: the C library's environment, and TZ read again by tzset.
#include "platform/test_environment.h"

#include <stdlib.h>
#include <time.h>

namespace corv::platform {

void SetTestEnvironment(const char *name, const char *value) {
  if (value)
    setenv(name, value, 1);
  else
    unsetenv(name);
}

bool SetTestTimeZone(const char *zone) {
  SetTestEnvironment("TZ", zone);
  tzset();
  return true;
}

}  // namespace corv::platform
