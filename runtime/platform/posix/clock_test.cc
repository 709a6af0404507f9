// The two millisecond counters read the same clock: the coarse one never
// runs ahead of the fine one and lags it by less than a tick.
#include "platform/clock.h"

#include <gtest/gtest.h>

namespace {

TEST(ClockTest, CoarseCounterFollowsTheFineCounterWithinATick) {
  for (int i = 0; i < 1000; ++i) {
    uint32_t before = corv::platform::MillisecondCounter();
    uint32_t coarse = corv::platform::CoarseMillisecondCounter();
    uint32_t after = corv::platform::MillisecondCounter();
    // Differences as signed values, so a wrap of the 32-bit counter is harmless.
    EXPECT_LE(static_cast<int32_t>(coarse - after), 0) << "coarse " << coarse << " after " << after;
    EXPECT_LT(static_cast<int32_t>(before - coarse), 17)
        << "coarse " << coarse << " before " << before;
  }
}

}  // namespace
