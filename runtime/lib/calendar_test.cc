// Calendar arithmetic against an independent day-by-day walk, and at the
// edges of the range a Date holds.
#include <gtest/gtest.h>

#include <cstdint>

#include "lib/calendar.h"

namespace {

using namespace corv::calendar;

int DaysInMonth(int64_t year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

TEST(CalendarTest, KnownDays) {
  EXPECT_EQ(DaysFrom1904(1904, 1, 1), 0);
  EXPECT_EQ(DaysFrom1904(1970, 1, 1), 24107);
  EXPECT_EQ(DaysFrom1904(1903, 12, 31), -1);
  EXPECT_EQ(DaysFrom1904(2001, 1, 1) - DaysFrom1904(2000, 1, 1), 366);
  EXPECT_EQ(DaysFrom1904(1901, 1, 1) - DaysFrom1904(1900, 1, 1), 365);
}

// Walks every day from 1 Jan 1 to the end of 2400 by hand, counting days and
// weekdays, and checks both directions of the conversion at noon.
TEST(CalendarTest, EveryDayAgreesWithADayByDayWalk) {
  int64_t days = 0;
  for (int64_t y = 1; y < 1904; ++y) days -= (DaysInMonth(y, 2) == 29 ? 366 : 365);
  int weekday = 2;  // 0001-01-01 was a Monday (Sunday = 1)
  for (int64_t y = 1; y <= 2400; ++y)
    for (int m = 1; m <= 12; ++m)
      for (int d = 1; d <= DaysInMonth(y, m); ++d) {
        int64_t ms = days * 86400000 + 12 * 3600000 + 34 * 60000 + 56 * 1000 + 789;
        ASSERT_EQ(FieldsToMilliseconds(y, m, d, 12, 34, 56, 789), ms) << y << "-" << m << "-" << d;
        ClockFields f = MillisecondsToFields(ms);
        ASSERT_EQ(f.year, y);
        ASSERT_EQ(f.month, m);
        ASSERT_EQ(f.day, d);
        ASSERT_EQ(f.hour, 12);
        ASSERT_EQ(f.minute, 34);
        ASSERT_EQ(f.second, 56);
        ASSERT_EQ(f.millisecond, 789);
        ASSERT_EQ(f.dayOfWeek, weekday) << y << "-" << m << "-" << d;
        ++days;
        weekday = weekday % 7 + 1;
      }
}

TEST(CalendarTest, FieldsRollOverInBothDirections) {
  EXPECT_EQ(FieldsToMilliseconds(2008, 13, 10, 0, 0, 0, 0),
            FieldsToMilliseconds(2009, 1, 10, 0, 0, 0, 0));
  EXPECT_EQ(FieldsToMilliseconds(2008, 0, 10, 0, 0, 0, 0),
            FieldsToMilliseconds(2007, 12, 10, 0, 0, 0, 0));
  EXPECT_EQ(FieldsToMilliseconds(2008, -13, 1, 0, 0, 0, 0),
            FieldsToMilliseconds(2006, 11, 1, 0, 0, 0, 0));
  EXPECT_EQ(FieldsToMilliseconds(2008, 3, 0, 0, 0, 0, 0),
            FieldsToMilliseconds(2008, 2, 29, 0, 0, 0, 0));
  EXPECT_EQ(FieldsToMilliseconds(2008, 1, 1, -1, 0, 0, 0),
            FieldsToMilliseconds(2007, 12, 31, 23, 0, 0, 0));
  EXPECT_EQ(FieldsToMilliseconds(2008, 1, 1, 0, 0, 86400, 0),
            FieldsToMilliseconds(2008, 1, 2, 0, 0, 0, 0));
}

TEST(CalendarTest, TheRangeEndsAtTheSixteenBitYears) {
  ClockFields low = MillisecondsToFields(MinMilliseconds());
  EXPECT_EQ(low.year, -32768);
  EXPECT_EQ(low.month, 1);
  EXPECT_EQ(low.day, 1);
  ClockFields high = MillisecondsToFields(MaxMilliseconds());
  EXPECT_EQ(high.year, 32767);
  EXPECT_EQ(high.month, 12);
  EXPECT_EQ(high.day, 31);
  EXPECT_EQ(high.millisecond, 999);
  EXPECT_EQ(MillisecondsToFields(INT64_MAX).year, 32767);
  EXPECT_EQ(MillisecondsToFields(INT64_MIN).year, -32768);
  // The widest inputs the field setters can pass neither overflow nor wrap.
  EXPECT_EQ(FieldsToMilliseconds(INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX,
                                 INT32_MAX),
            MaxMilliseconds());
  EXPECT_EQ(FieldsToMilliseconds(INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN,
                                 INT32_MIN),
            MinMilliseconds());
  EXPECT_EQ(FieldsToMilliseconds(2000, 1, 10000000, 0, 0, 0, 0),
            FieldsToMilliseconds(2000, 1, 1, 0, 0, 0, 0) + int64_t{9999999} * 86400000);
}

}  // namespace
