// Deadline: a time limit for the driver's waits, counted in ticks.
#pragma once

#include <cstdint>

#include "corv/string.h"
#include "corv_event_loop.h"

namespace kilnrun {

/// A limit of `ticks` from the moment it is made. It adds up the ticks that
/// pass between two looks, so it holds across the wrap of the system's
/// millisecond counter (every 49.7 days of up-time), where comparing a
/// deadline with the tick count would end the wait at once or never. As
/// with a deadline, the limit has passed once more than `ticks` went by.
class Deadline {
 public:
  explicit Deadline(int64_t ticks) : limit_(ticks), last_(corv::Ticks()) {}

  bool Passed() {
    uint32_t now = corv::Ticks();
    elapsed_ += CORVElapsedTicks(last_, now);
    last_ = now;
    return elapsed_ > limit_;
  }

 private:
  int64_t limit_;
  int64_t elapsed_ = 0;
  uint32_t last_;
};

}  // namespace kilnrun
