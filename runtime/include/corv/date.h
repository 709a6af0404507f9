// Date as the application uses it: Ref<Date> with the language's members.
// Each member is the entry point of the same meaning.
#pragma once

#include <cstdint>

#include "corv/ref.h"
#include "corv/string.h"
#include "corv_date.h"

namespace corv {

/// The date record with the language's members (it adds no fields).
struct Date : CORVdate {
  /// new Date: the current local date and time, with the local zone's offset.
  static Ref<Date> New() { return corv::New<Date>(&kDateDecl); }

  int32_t Year() { return dateFieldGetter(self(), kDateFieldYear); }
  int32_t Month() { return dateFieldGetter(self(), kDateFieldMonth); }
  int32_t Day() { return dateFieldGetter(self(), kDateFieldDay); }
  int32_t Hour() { return dateFieldGetter(self(), kDateFieldHour); }
  int32_t Minute() { return dateFieldGetter(self(), kDateFieldMinute); }
  int32_t Second() { return dateFieldGetter(self(), kDateFieldSecond); }
  /// Setting a field leaves the others as they are; out-of-range values roll
  /// into the neighbouring fields when the date is next read.
  void Year(int32_t value) { dateFieldSetter(self(), kDateFieldYear, value); }
  void Month(int32_t value) { dateFieldSetter(self(), kDateFieldMonth, value); }
  void Day(int32_t value) { dateFieldSetter(self(), kDateFieldDay, value); }
  void Hour(int32_t value) { dateFieldSetter(self(), kDateFieldHour, value); }
  void Minute(int32_t value) { dateFieldSetter(self(), kDateFieldMinute, value); }
  void Second(int32_t value) { dateFieldSetter(self(), kDateFieldSecond, value); }
  /// 1 = Sunday ... 7 = Saturday.
  int32_t DayOfWeek() { return dateFieldGetter(self(), kDateFieldDayOfWeek); }
  int32_t DayOfYear() { return dateFieldGetter(self(), kDateFieldDayOfYear); }
  int32_t WeekOfYear() { return dateFieldGetter(self(), kDateFieldWeekOfYear); }

  /// Seconds from 1904-01-01 00:00:00 to the clock fields.
  double TotalSeconds() { return dateTotalSecondsGetter(self()); }
  void TotalSeconds(double seconds) { dateTotalSecondsSetter(self(), seconds); }
  /// Hours east of GMT; setting it shows the same instant in the new zone.
  double GMTOffset() { return dateGMTOffsetGetter(self()); }
  void GMTOffset(double hours) { dateGMTOffsetSetter(self(), hours); }

  /// "YYYY-MM-DD" and "YYYY-MM-DD HH:MM:SS"; setting a text that is not of
  /// that form raises UnsupportedFormatException.
  String SQLDate() { return String::Adopt(dateSQLDateGetter(self())); }
  String SQLDateTime() { return String::Adopt(dateSQLDateTimeGetter(self())); }
  void SQLDate(const String &text) { dateSQLDateSetter(self(), text.get()); }
  void SQLDateTime(const String &text) { dateSQLDateTimeSetter(self(), text.get()); }

  /// The locale's texts of the date and of the time of day.
  String ShortDate() { return Text(kDateShortDate); }
  String LongDate() { return Text(kDateLongDate); }
  String AbbreviatedDate() { return Text(kDateAbbreviatedDate); }
  String ShortTime() { return Text(kDateShortTime); }
  String LongTime() { return Text(kDateLongTime); }

 private:
  CORVobject self() { return reinterpret_cast<CORVobject>(this); }
  String Text(int32_t form) { return String::Adopt(dateStringGetter(self(), form)); }
};
static_assert(sizeof(Date) == sizeof(CORVdate));

/// a = b, a < b ...: -1, 0 or 1 by TotalSeconds (nil first).
inline int32_t Compare(const Ref<Date> &a, const Ref<Date> &b) {
  return DateCompare(a.object(), b.object());
}

}  // namespace corv
