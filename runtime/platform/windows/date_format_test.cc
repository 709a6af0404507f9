// Locale date formats on Windows, checked in the English (United States)
// locale that wine gives a program when nothing else is asked for.
#include "platform/date_format.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

using namespace corv::platform;

constexpr int64_t kMsFrom1904To1970 = 24107LL * 86400000LL;

TEST(WindowsDateFormatTest, TheLocalesFormsOfADateAndATime) {
  wchar_t locale[LOCALE_NAME_MAX_LENGTH];
  GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
  if (std::wstring(locale) != L"en-US") GTEST_SKIP() << "the expectations are en-US's";
  int64_t instant = 1625403909000LL + kMsFrom1904To1970;  // 2021-07-04 13:05:09, a Sunday
  struct Case {
    DateTextForm form;
    const char *text;
  } cases[] = {
      {DateTextForm::kShortDate, "7/4/2021"},
      {DateTextForm::kLongDate, "Sunday, July 4, 2021"},
      {DateTextForm::kAbbreviatedDate, "Sun, Jul 4, 2021"},
      {DateTextForm::kShortTime, "1:05 PM"},
      {DateTextForm::kLongTime, "1:05:09 PM"},
  };
  for (const Case &c : cases) EXPECT_EQ(FormatDate(instant, c.form), c.text);
  EXPECT_EQ(FormatDate(0, DateTextForm::kShortDate), "1/1/1904");
  EXPECT_EQ(FormatDate(-kMsFrom1904To1970 - 400LL * 365 * 86400000LL, DateTextForm::kShortDate),
            "");  // before 1601
}

}  // namespace
