// Windows keeps two environments, the system's and the C library's copy;
// both are set so that either kind of reader sees the change. The time zone
// is the system's, which a running process cannot change for itself (wine
// takes it from TZ when the process starts): only the zone the process
// started with can be used.
#include "platform/test_environment.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

namespace corv::platform {

void SetTestEnvironment(const char *name, const char *value) {
  SetEnvironmentVariableA(name, value);
  _putenv_s(name, value ? value : "");  // an empty value removes it
}

bool SetTestTimeZone(const char *zone) {
  const char *started = getenv("TZ");
  if (!zone || !started) return !zone && !started;
  return strcmp(zone, started) == 0;
}

}  // namespace corv::platform
