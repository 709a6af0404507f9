// Locale texts of dates under a known locale, Gregorian before 1582 too.
#include <gtest/gtest.h>

#include <unicode/uloc.h>

#include <string>

#include "platform/date_format.h"

namespace {

using corv::platform::DateTextForm;
using corv::platform::FormatDate;

class DateFormatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    old_ = uloc_getDefault();
    UErrorCode status = U_ZERO_ERROR;
    uloc_setDefault("en_US", &status);
  }
  void TearDown() override {
    UErrorCode status = U_ZERO_ERROR;
    uloc_setDefault(old_.c_str(), &status);
  }

 private:
  std::string old_;
};

constexpr int64_t kMsPerDay = 86400000;
// 2008-03-05 09:07:03 counted from 1904-01-01.
constexpr int64_t kMarch5 = 38050 * kMsPerDay + (9 * 3600 + 7 * 60 + 3) * 1000;

TEST_F(DateFormatTest, FiveForms) {
  EXPECT_EQ(FormatDate(kMarch5, DateTextForm::kShortDate), "3/5/08");
  EXPECT_EQ(FormatDate(kMarch5, DateTextForm::kLongDate), "Wednesday, March 5, 2008");
  EXPECT_EQ(FormatDate(kMarch5, DateTextForm::kAbbreviatedDate), "Mar 5, 2008");
  std::string shortTime = FormatDate(kMarch5, DateTextForm::kShortTime);
  EXPECT_EQ(shortTime.rfind("9:07", 0), 0u) << shortTime;
  EXPECT_NE(shortTime.find("AM"), std::string::npos);
  EXPECT_EQ(FormatDate(kMarch5, DateTextForm::kLongTime).rfind("9:07:03", 0), 0u);
}

TEST_F(DateFormatTest, EarlyYearsStayGregorian) {
  EXPECT_EQ(FormatDate(-147498 * kMsPerDay, DateTextForm::kLongDate), "Thursday, March 1, 1500");
}

}  // namespace
