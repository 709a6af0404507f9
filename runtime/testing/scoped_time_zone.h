// Test helper: running code under another time zone and putting the
// process's own zone back afterwards.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>

#include "platform/test_environment.h"

namespace corv::testing {

/// Remembers TZ when made; Use switches zones; the remembered zone (or its
/// absence) comes back when it goes out of scope.
class ScopedTimeZone {
 public:
  ScopedTimeZone() {
    if (const char *old = getenv("TZ")) oldZone_ = old;
  }
  ~ScopedTimeZone() { platform::SetTestTimeZone(oldZone_ ? oldZone_->c_str() : nullptr); }
  ScopedTimeZone(const ScopedTimeZone &) = delete;
  ScopedTimeZone &operator=(const ScopedTimeZone &) = delete;

  /// A zone name ("America/New_York") or a POSIX rule ("XST-5:30"). False
  /// where the platform cannot switch a running process to that zone.
  [[nodiscard]] bool Use(const char *zone) { return platform::SetTestTimeZone(zone); }

 private:
  std::optional<std::string> oldZone_;
};

/// Why a test that needs a zone Use refused skips.
constexpr const char *kZoneFixedAtStart =
    "this platform takes the time zone only when a process starts";

}  // namespace corv::testing
