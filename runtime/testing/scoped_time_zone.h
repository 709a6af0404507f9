// Test helper: running code under another time zone and putting the
// process's own zone back afterwards.
#pragma once

#include <stdlib.h>
#include <time.h>

#include <string>

namespace corv::testing {

/// Remembers TZ when made; Use switches zones; the remembered zone (or its
/// absence) comes back when it goes out of scope.
class ScopedTimeZone {
 public:
  ScopedTimeZone() {
    const char *old = getenv("TZ");
    hadZone_ = old != nullptr;
    if (old) oldZone_ = old;
  }
  ~ScopedTimeZone() {
    if (hadZone_)
      setenv("TZ", oldZone_.c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone &) = delete;
  ScopedTimeZone &operator=(const ScopedTimeZone &) = delete;

  /// A zone name ("America/New_York") or a POSIX rule ("XST-5:30").
  void Use(const char *zone) {
    setenv("TZ", zone, 1);
    tzset();
  }

 private:
  bool hadZone_ = false;
  std::string oldZone_;
};

}  // namespace corv::testing
