// The local clock under fixed time zones, daylight saving included, and the
// GMT offset a new Date takes from it.
#include <gtest/gtest.h>

#include <time.h>

#include "corv.h"
#include "corv/ref.h"
#include "lib/calendar.h"
#include "platform/local_time.h"
#include "runtime_test.h"
#include "scoped_time_zone.h"

namespace {

// Runs the test body under another TZ and restores the old one afterwards.
class ZoneTest : public corv::testing::RuntimeTest {
 protected:
  void UseZone(const char *zone) { ASSERT_TRUE(zone_.Use(zone)); }

  // The clock's instant as GMT seconds since 1970.
  static int64_t GMTSeconds(const corv::platform::LocalClock &c) {
    int64_t ms =
        corv::calendar::FieldsToMilliseconds(c.year, c.month, c.day, c.hour, c.minute, c.second, 0);
    return ms / 1000 - int64_t{24107} * 86400 - c.gmtOffsetSeconds;
  }

 private:
  corv::testing::ScopedTimeZone zone_;
};

TEST_F(ZoneTest, FixedOffsetWithHalfHours) {
  UseZone("XST-5:30");
  corv::platform::LocalClock clock = corv::platform::CurrentLocalClock();
  EXPECT_EQ(clock.gmtOffsetSeconds, 5 * 3600 + 1800);
  EXPECT_NEAR(static_cast<double>(GMTSeconds(clock)), static_cast<double>(time(nullptr)), 5);
  auto date = corv::New<CORVdate>(&kDateDecl);
  EXPECT_EQ(dateGMTOffsetGetter(date.object()), 5.5);
}

TEST_F(ZoneTest, DaylightSavingIsIncluded) {
  // Daylight time all year round: three hours west of GMT plus one.
  UseZone("XST3XDT,J1/0,J365/25");
  corv::platform::LocalClock clock = corv::platform::CurrentLocalClock();
  EXPECT_EQ(clock.gmtOffsetSeconds, -2 * 3600);
  EXPECT_NEAR(static_cast<double>(GMTSeconds(clock)), static_cast<double>(time(nullptr)), 5);
  auto date = corv::New<CORVdate>(&kDateDecl);
  EXPECT_EQ(dateGMTOffsetGetter(date.object()), -2);
}

}  // namespace
