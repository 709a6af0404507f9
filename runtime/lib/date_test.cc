// Date: fields, normalisation, TotalSeconds from 1904, GMT offset moves, SQL
// texts, comparison and the locale texts.
#include <gtest/gtest.h>

#include <string>

#include "core/failure.h"
#include "core/runtime_classes.h"
#include "corv.h"
#include "corv/ref.h"
#include "runtime_test.h"

namespace {

using corv::Ref;
using corv::testing::RuntimeTest;

class DateTest : public RuntimeTest {
 protected:
  Ref<CORVdate> NewDate() { return corv::New<CORVdate>(&kDateDecl); }
  // A date at the given clock fields.
  Ref<CORVdate> At(int y, int m, int d, int h = 0, int mi = 0, int s = 0) {
    Ref<CORVdate> date = NewDate();
    dateTotalSecondsSetter(date.object(), 0);
    Set(date, kDateFieldDay, 1);
    Set(date, kDateFieldYear, y);
    Set(date, kDateFieldMonth, m);
    Set(date, kDateFieldDay, d);
    Set(date, kDateFieldHour, h);
    Set(date, kDateFieldMinute, mi);
    Set(date, kDateFieldSecond, s);
    return date;
  }
  static void Set(const Ref<CORVdate> &date, int32_t field, int32_t value) {
    dateFieldSetter(date.object(), field, value);
  }
  static int32_t Get(const Ref<CORVdate> &date, int32_t field) {
    return dateFieldGetter(date.object(), field);
  }
  static std::string Take(CORVstring s) {
    std::string text(CORVStringBytes(s), CORVStringLength(s));
    RuntimeUnlockString(s);
    return text;
  }
  static std::string SQLDateTime(const Ref<CORVdate> &date) {
    return Take(dateSQLDateTimeGetter(date.object()));
  }
  static void SetText(void (*setter)(CORVobject, CORVstring), const Ref<CORVdate> &date,
                      const std::string &text) {
    CORVstring s =
        RuntimeCreateString(text.data(), static_cast<int32_t>(text.size()), kEncodingUTF8);
    struct Release {
      CORVstring s;
      ~Release() { RuntimeUnlockString(s); }
    } release{s};
    setter(date.object(), s);
  }
};

// Images and plugins reach the class by its name, in any case; an object
// made from it starts at the current time like any new Date.
TEST_F(DateTest, ClassIsFoundByName) {
  corv::RegisterRuntimeClassDeclarations();
  CORVstring name = RuntimeCreateString("DATE", 4, kEncodingUTF8);
  CORVclass *cls = RuntimeLookupClass(name);
  RuntimeUnlockString(name);
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(cls, CORVBindDeclaration(&kDateDecl));
  auto found = Ref<CORVdate>::Adopt(RuntimeNewObject(cls));
  auto made = NewDate();
  EXPECT_NEAR(dateTotalSecondsGetter(found.object()), dateTotalSecondsGetter(made.object()), 5);
  EXPECT_GT(Get(found, kDateFieldYear), 2000);
}

TEST_F(DateTest, TotalSecondsZeroIsFridayTheFirstOf1904) {
  auto date = NewDate();
  dateTotalSecondsSetter(date.object(), 0);
  EXPECT_EQ(SQLDateTime(date), "1904-01-01 00:00:00");
  EXPECT_EQ(Get(date, kDateFieldDayOfWeek), 6);
  EXPECT_EQ(Get(date, kDateFieldDayOfYear), 1);
  EXPECT_EQ(Get(date, kDateFieldWeekOfYear), 1);
}

TEST_F(DateTest, MonthAndDayRollIntoTheirNeighbours) {
  auto may = At(2008, 5, 10);
  Set(may, kDateFieldMonth, 13);
  EXPECT_EQ(SQLDateTime(may), "2009-01-10 00:00:00");
  auto march = At(2008, 3, 15);
  Set(march, kDateFieldDay, 0);
  EXPECT_EQ(SQLDateTime(march), "2008-02-29 00:00:00");
  auto january = At(2008, 1, 15);
  Set(january, kDateFieldMonth, 0);
  EXPECT_EQ(SQLDateTime(january), "2007-12-15 00:00:00");
  auto evening = At(2008, 12, 31, 23, 59, 59);
  Set(evening, kDateFieldHour, 24);
  EXPECT_EQ(SQLDateTime(evening), "2009-01-01 00:59:59");
  Set(evening, kDateFieldSecond, -1);
  EXPECT_EQ(SQLDateTime(evening), "2009-01-01 00:58:59");
  EXPECT_EQ(Get(evening, kDateFieldDayOfWeek), 5);  // a Thursday
}

TEST_F(DateTest, FieldsSetTogetherNormaliseOnlyWhenRead) {
  auto date = At(2008, 1, 31);
  Set(date, kDateFieldDay, 15);
  Set(date, kDateFieldMonth, 2);  // 31 February never exists in between
  EXPECT_EQ(SQLDateTime(date), "2008-02-15 00:00:00");
  Set(date, kDateFieldMonth, 2);
  Set(date, kDateFieldDay, 30);
  EXPECT_EQ(SQLDateTime(date), "2008-03-01 00:00:00");
}

TEST_F(DateTest, ValuesTooWideForTheFieldStillRoll) {
  auto date = At(2000, 1, 1);
  Set(date, kDateFieldDay, 1 + 40000);
  EXPECT_EQ(SQLDateTime(date), "2109-07-08 00:00:00");
  Set(date, kDateFieldSecond, -86400 * 2);
  EXPECT_EQ(SQLDateTime(date), "2109-07-06 00:00:00");
  Set(date, kDateFieldYear, 100000);  // beyond what a Date holds
  EXPECT_EQ(Get(date, kDateFieldYear), 32767);
}

TEST_F(DateTest, LeapYearsAndTheEndOfFebruaryInCenturyYears) {
  struct Case {
    int year, lastDay;
  } cases[] = {{1600, 29}, {1700, 28}, {1800, 28}, {1900, 28}, {2000, 29},
               {2004, 29}, {2100, 28}, {2400, 29}, {1903, 28}, {1896, 29}};
  for (auto c : cases) {
    auto date = At(c.year, 3, 0);
    EXPECT_EQ(Get(date, kDateFieldMonth), 2) << c.year;
    EXPECT_EQ(Get(date, kDateFieldDay), c.lastDay) << c.year;
    EXPECT_EQ(Get(At(c.year, 12, 31), kDateFieldDayOfYear), c.lastDay == 29 ? 366 : 365);
  }
  EXPECT_EQ(SQLDateTime(At(1900, 2, 29)), "1900-03-01 00:00:00");
}

TEST_F(DateTest, DatesBefore1904HaveNegativeTotalSeconds) {
  EXPECT_EQ(dateTotalSecondsGetter(At(1903, 12, 31, 23, 59, 59).object()), -1);
  // 303 years of which 72 are leap years (1700, 1800 and 1900 are not).
  EXPECT_EQ(dateTotalSecondsGetter(At(1601, 1, 1).object()), -(303.0 * 365 + 72) * 86400);
  auto date = NewDate();
  dateTotalSecondsSetter(date.object(), -0.25);
  EXPECT_EQ(SQLDateTime(date), "1903-12-31 23:59:59");
  EXPECT_EQ(dateTotalSecondsGetter(date.object()), -0.25);
  dateTotalSecondsSetter(date.object(), -(1904.0 * 365 + 461) * 86400);
  EXPECT_EQ(SQLDateTime(date), "0000-01-01 00:00:00");
}

TEST_F(DateTest, EveryDayFrom1601To2400RoundTrips) {
  auto date = NewDate();
  auto start = At(1601, 1, 1, 6, 30, 15);
  double first = dateTotalSecondsGetter(start.object());
  int32_t expectedWeekday = 2;  // 1601-01-01 was a Monday
  int days = 0;
  for (;; ++days) {
    double seconds = first + days * 86400.0;
    dateTotalSecondsSetter(date.object(), seconds);
    int32_t year = Get(date, kDateFieldYear);
    if (year > 2400) break;
    ASSERT_EQ(Get(date, kDateFieldDayOfWeek), expectedWeekday) << seconds;
    ASSERT_EQ(Get(date, kDateFieldHour), 6);
    // Rebuild the date from its fields alone.
    auto copy = At(year, Get(date, kDateFieldMonth), Get(date, kDateFieldDay), 6, 30, 15);
    ASSERT_EQ(dateTotalSecondsGetter(copy.object()), seconds);
    expectedWeekday = expectedWeekday % 7 + 1;
  }
  EXPECT_EQ(days, 292194);  // 800 Gregorian years
}

TEST_F(DateTest, MillisecondsAreKeptUntilTheSecondIsSet) {
  auto date = NewDate();
  dateTotalSecondsSetter(date.object(), 100.125);
  EXPECT_EQ(dateTotalSecondsGetter(date.object()), 100.125);
  Set(date, kDateFieldMinute, 5);
  EXPECT_EQ(dateTotalSecondsGetter(date.object()), 340.125);
  Set(date, kDateFieldSecond, 7);
  EXPECT_EQ(dateTotalSecondsGetter(date.object()), 307);
}

TEST_F(DateTest, DayOfYearAndWeekOfYear) {
  auto date = At(2008, 1, 5);  // Saturday; 1 January 2008 was a Tuesday
  EXPECT_EQ(Get(date, kDateFieldWeekOfYear), 1);
  Set(date, kDateFieldDay, 6);  // the first Sunday starts week 2
  EXPECT_EQ(Get(date, kDateFieldWeekOfYear), 2);
  EXPECT_EQ(Get(date, kDateFieldDayOfYear), 6);
  auto last = At(2008, 12, 31);
  EXPECT_EQ(Get(last, kDateFieldDayOfYear), 366);
  EXPECT_EQ(Get(last, kDateFieldWeekOfYear), 53);
}

TEST_F(DateTest, BadFieldNumbersAreReported) {
  auto date = At(2008, 3, 5);
  corv::CaptureFailures(true);
  Set(date, 6, 3);
  Set(date, -1, 3);
  EXPECT_EQ(Get(date, 9), 0);
  auto reports = corv::TakeCapturedFailures();
  corv::CaptureFailures(false);
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_NE(reports[0].find("Trying to set a non-existant long field on a date."),
            std::string::npos);
  EXPECT_EQ(SQLDateTime(date), "2008-03-05 00:00:00");
}

TEST_F(DateTest, GMTOffsetMovesTheClock) {
  auto date = At(2008, 3, 5);
  dateGMTOffsetSetter(date.object(), 0);  // the clock at GMT from here on, whatever the zone
  Set(date, kDateFieldDay, 5);
  Set(date, kDateFieldHour, 9);
  Set(date, kDateFieldMinute, 7);
  Set(date, kDateFieldSecond, 3);
  double before = dateTotalSecondsGetter(date.object());
  dateGMTOffsetSetter(date.object(), 2);
  EXPECT_EQ(Get(date, kDateFieldHour), 11);
  EXPECT_EQ(dateTotalSecondsGetter(date.object()), before + 7200);
  EXPECT_EQ(dateGMTOffsetGetter(date.object()), 2);
  dateGMTOffsetSetter(date.object(), -3.5);
  EXPECT_EQ(SQLDateTime(date), "2008-03-05 05:37:03");
  dateGMTOffsetSetter(date.object(), 0);
  EXPECT_EQ(dateTotalSecondsGetter(date.object()), before);
}

TEST_F(DateTest, SQLTexts) {
  auto date = At(2008, 3, 5, 9, 7, 3);
  EXPECT_EQ(Take(dateSQLDateGetter(date.object())), "2008-03-05");
  EXPECT_EQ(SQLDateTime(date), "2008-03-05 09:07:03");
  CORVstring text = dateSQLDateGetter(date.object());
  EXPECT_EQ(CORVStringEncoding(text), kEncodingASCII);
  RuntimeUnlockString(text);
  EXPECT_EQ(Take(dateSQLDateGetter(At(812, 1, 2).object())), "0812-01-02");
  EXPECT_EQ(Take(dateSQLDateGetter(At(-5, 1, 2).object())), "-0005-01-02");

  SetText(dateSQLDateTimeSetter, date, "1999-12-31 23:58:57");
  EXPECT_EQ(SQLDateTime(date), "1999-12-31 23:58:57");
  SetText(dateSQLDateSetter, date, "2010-07-04");
  EXPECT_EQ(SQLDateTime(date), "2010-07-04 00:00:00");
  SetText(dateSQLDateSetter, date, " 2011-2-3 10:11:12");  // the time part is not read
  EXPECT_EQ(SQLDateTime(date), "2011-02-03 00:00:00");
  SetText(dateSQLDateTimeSetter, date, "2011-02-30 7:08");
  EXPECT_EQ(SQLDateTime(date), "2011-03-02 07:08:00");
  SetText(dateSQLDateTimeSetter, date, "2012-01-01");
  EXPECT_EQ(SQLDateTime(date), "2012-01-01 00:00:00");
  SetText(dateSQLDateSetter, date, "-0005-01-02");
  EXPECT_EQ(SQLDateTime(date), "-0005-01-02 00:00:00");
}

TEST_F(DateTest, BadSQLTextRaisesAndLeavesTheDate) {
  auto date = At(2008, 3, 5, 9, 7, 3);
  for (const char *bad : {"", "2008-03", "2008-03-05-01", "2008/03/05", "x-y-z", "2008--05"}) {
    SCOPED_TRACE(bad);
    EXPECT_RAISES(SetText(dateSQLDateSetter, date, bad), kUnsupportedFormatExceptionDecl);
    EXPECT_RAISES(SetText(dateSQLDateTimeSetter, date, bad), kUnsupportedFormatExceptionDecl);
  }
  for (const char *bad : {"2008-03-05 09", "2008-03-05 1:2:3:4", "2008-03-05 a:b"}) {
    SCOPED_TRACE(bad);
    EXPECT_RAISES(SetText(dateSQLDateTimeSetter, date, bad), kUnsupportedFormatExceptionDecl);
  }
  EXPECT_EQ(SQLDateTime(date), "2008-03-05 09:07:03");
}

// A number beyond what a 32-bit field holds is malformed text, however its
// digits or signs make it so; numbers just inside are read.
TEST_F(DateTest, SQLTextNumbersBeyondAFieldRaise) {
  auto date = At(2008, 3, 5, 9, 7, 3);
  struct {
    const char *text;
    bool dateToo;  // false: only the time part overflows
  } overflowing[] = {
      {"-2147483648--", true},
      {"2147483648-01-01", true},
      {"-2147483649-01-01", true},
      {"+2147483648-01-01", true},
      {"2008-4294967297-01", true},
      {"99999999999999999999999-01-01", true},
      {"2008-01-01 2147483648:00", false},
      {"2008-01-01 00:00:+2147483648", false},
      {"2008-01-01 00:0000000000000000000000000000099999999999:00", false},
  };
  for (const auto &row : overflowing) {
    SCOPED_TRACE(row.text);
    if (row.dateToo)
      EXPECT_RAISES(SetText(dateSQLDateSetter, date, row.text), kUnsupportedFormatExceptionDecl);
    EXPECT_RAISES(SetText(dateSQLDateTimeSetter, date, row.text), kUnsupportedFormatExceptionDecl);
  }
  EXPECT_EQ(SQLDateTime(date), "2008-03-05 09:07:03");
  for (const char *inside :
       {"2147483647-01-01", "-2147483648-01-01", "2008-01-01 2147483647:+2147483647:00"})
    SetText(dateSQLDateTimeSetter, date, inside);
  SetText(dateSQLDateTimeSetter, date, "000000000000000000002008-03-05 00000000000000000009:07");
  EXPECT_EQ(SQLDateTime(date), "2008-03-05 09:07:00");
}

TEST_F(DateTest, CompareByTotalSeconds) {
  auto a = At(2008, 3, 5), b = At(2008, 3, 5);
  EXPECT_EQ(DateCompare(a.object(), b.object()), 0);
  Set(b, kDateFieldSecond, 1);
  EXPECT_EQ(DateCompare(a.object(), b.object()), -1);
  EXPECT_EQ(DateCompare(b.object(), a.object()), 1);
  EXPECT_EQ(DateCompare(nullptr, a.object()), -1);
  EXPECT_EQ(DateCompare(a.object(), nullptr), 1);
  EXPECT_EQ(DateCompare(nullptr, nullptr), 0);
  // The offset does not enter the comparison: only the clock fields do.
  dateGMTOffsetSetter(b.object(), dateGMTOffsetGetter(b.object()) + 1);
  EXPECT_EQ(DateCompare(b.object(), a.object()), 1);
}

TEST_F(DateTest, NewDatesShowTheCurrentTime) {
  auto a = NewDate();
  auto b = NewDate();
  double seconds = dateTotalSecondsGetter(a.object());
  EXPECT_GT(seconds, dateTotalSecondsGetter(At(2020, 1, 1).object()));
  EXPECT_LE(seconds, dateTotalSecondsGetter(b.object()));
  EXPECT_LT(dateTotalSecondsGetter(b.object()) - seconds, 5);
  EXPECT_EQ(dateGMTOffsetGetter(a.object()), dateGMTOffsetGetter(b.object()));
  EXPECT_RAISES(dateTotalSecondsGetter(nullptr), kNilObjectExceptionDecl);
}

TEST_F(DateTest, LocaleTexts) {
  auto date = At(2008, 3, 5, 9, 7, 3);
  for (int32_t form : {kDateShortDate, kDateLongDate, kDateAbbreviatedDate}) {
    CORVstring s = dateStringGetter(date.object(), form);
    EXPECT_EQ(CORVStringEncoding(s), kEncodingUTF8);
    std::string text = Take(s);
    EXPECT_TRUE(text.find("08") != std::string::npos) << text;  // the year, long or short
  }
  EXPECT_NE(Take(dateStringGetter(date.object(), kDateShortTime)).find("07"), std::string::npos);
  EXPECT_NE(Take(dateStringGetter(date.object(), kDateLongTime)).find("07:03"), std::string::npos);
  corv::CaptureFailures(true);
  EXPECT_EQ(dateStringGetter(date.object(), 5), nullptr);
  EXPECT_EQ(corv::TakeCapturedFailures().size(), 1u);
  corv::CaptureFailures(false);
}

}  // namespace
