// The C++ view of Date: the language's members over the entry points.
#include <gtest/gtest.h>

#include "corv/date.h"
#include "runtime_test.h"

namespace {

using corv::Date;
using corv::Ref;
using corv::String;
using corv::testing::RuntimeTest;

class DateWrapperTest : public RuntimeTest {};

TEST_F(DateWrapperTest, MembersUseTheLanguagesNames) {
  Ref<Date> d = Date::New();
  d->SQLDateTime("2008-03-05 09:07:03");
  EXPECT_EQ(d->Year(), 2008);
  EXPECT_EQ(d->Month(), 3);
  EXPECT_EQ(d->Day(), 5);
  EXPECT_EQ(d->Hour(), 9);
  EXPECT_EQ(d->Minute(), 7);
  EXPECT_EQ(d->Second(), 3);
  EXPECT_EQ(d->DayOfWeek(), 4);  // Wednesday
  EXPECT_EQ(d->DayOfYear(), 65);
  EXPECT_EQ(d->WeekOfYear(), 10);
  EXPECT_EQ(d->SQLDate().view(), "2008-03-05");
  d->Month(13);
  EXPECT_EQ(d->SQLDateTime().view(), "2009-01-05 09:07:03");
  d->GMTOffset(d->GMTOffset() + 2);
  EXPECT_EQ(d->Hour(), 11);
  d->TotalSeconds(0);
  EXPECT_EQ(d->SQLDateTime().view(), "1904-01-01 00:00:00");
  EXPECT_EQ(d->TotalSeconds(), 0);
  EXPECT_RAISES(d->SQLDate("March 5"), kUnsupportedFormatExceptionDecl);
  EXPECT_FALSE(d->LongDate().empty());
  EXPECT_FALSE(d->ShortTime().empty());
  Ref<Date> later = Date::New();
  EXPECT_EQ(corv::Compare(d, later), -1);
  EXPECT_EQ(corv::Compare(later, d), 1);
}

}  // namespace
