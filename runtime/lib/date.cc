// Date: clock fields of a zone, TotalSeconds from 1904, GMT offset moves,
// SQL text forms and locale texts.
//
// A Date's fields live in a separate record made on first use. Fields set
// one by one may be out of range; the dirty flag marks that, and every read
// normalises first (month carry, then days, hours, minutes and seconds
// rolled into their neighbours). A value too wide for its 16-bit field is
// applied at once instead, so it is never truncated.
#include <cmath>
#include <cstdlib>
#include <new>

#include "corv.h"
#include "corv/class_decl.h"
#include "corv_date.h"
#include "lib/calendar.h"
#include "lib/date.h"
#include "platform/date_format.h"
#include "platform/local_time.h"

namespace {

using corv::calendar::ClockFields;

void StoreMilliseconds(CORVdateFields *f, int64_t milliseconds) {
  ClockFields c = corv::calendar::MillisecondsToFields(milliseconds);
  f->year = static_cast<int16_t>(c.year);
  f->month = static_cast<int16_t>(c.month);
  f->day = static_cast<int16_t>(c.day);
  f->hour = static_cast<int16_t>(c.hour);
  f->minute = static_cast<int16_t>(c.minute);
  f->second = static_cast<int16_t>(c.second);
  f->millisecond = static_cast<int16_t>(c.millisecond);
  f->dayOfWeek = static_cast<int16_t>(c.dayOfWeek);
  f->set = true;
  f->dirty = false;
}

int64_t RawMilliseconds(const CORVdateFields *f) {
  return corv::calendar::FieldsToMilliseconds(f->year, f->month, f->day, f->hour, f->minute,
                                              f->second, f->millisecond);
}

void Normalise(CORVdateFields *f) {
  if (!f->dirty || f->normalising) return;
  f->normalising = true;
  StoreMilliseconds(f, RawMilliseconds(f));
  f->normalising = false;
}

void SetToClock(CORVdateFields *f, const corv::platform::LocalClock &clock) {
  StoreMilliseconds(
      f, corv::calendar::FieldsToMilliseconds(clock.year, clock.month, clock.day, clock.hour,
                                              clock.minute, clock.second, clock.millisecond));
  f->gmtOffset = clock.gmtOffsetSeconds / 3600.0;
}

void SetToNow(CORVdateFields *f) {
  SetToClock(f, corv::platform::CurrentLocalClock());
}

// The date's field record as it stands, made on first use; nil raises.
CORVdateFields *FieldRecord(CORVobject self) {
  if (!self) {
    RaiseNilObjectException();
    return nullptr;
  }
  auto *date = reinterpret_cast<CORVdate *>(self);
  if (!date->fields) {
    date->fields = static_cast<CORVdateFields *>(std::calloc(1, sizeof(CORVdateFields)));
    if (!date->fields) throw std::bad_alloc();
    SetToNow(date->fields);
  }
  return date->fields;
}

// The field record ready to read.
CORVdateFields *Fields(CORVobject self) {
  CORVdateFields *f = FieldRecord(self);
  Normalise(f);
  return f;
}

// Seconds (a double) to milliseconds, clamped to what a Date holds.
int64_t SecondsToMilliseconds(double seconds) {
  double ms = seconds * 1000.0;
  double lo = static_cast<double>(corv::calendar::MinMilliseconds());
  double hi = static_cast<double>(corv::calendar::MaxMilliseconds());
  if (ms <= lo) return corv::calendar::MinMilliseconds();
  if (ms >= hi) return corv::calendar::MaxMilliseconds();
  return std::llround(ms);
}

int16_t *FieldSlot(CORVdateFields *f, int32_t field) {
  switch (field) {
    case kDateFieldYear:
      return &f->year;
    case kDateFieldMonth:
      return &f->month;
    case kDateFieldDay:
      return &f->day;
    case kDateFieldHour:
      return &f->hour;
    case kDateFieldMinute:
      return &f->minute;
    case kDateFieldSecond:
      return &f->second;
    default:
      return nullptr;
  }
}

int32_t DayOfYear(const CORVdateFields *f) {
  return static_cast<int32_t>(corv::calendar::DaysFrom1904(f->year, f->month, f->day) -
                              corv::calendar::DaysFrom1904(f->year, 1, 1)) +
         1;
}

int32_t WeekOfYear(const CORVdateFields *f) {
  int64_t january1 = corv::calendar::DaysFrom1904(f->year, 1, 1);
  int32_t january1Weekday = static_cast<int32_t>((january1 % 7 + 7 + 5) % 7);  // Sunday = 0
  return (DayOfYear(f) - 1 + january1Weekday) / 7 + 1;
}

}  // namespace

const CORVclassDecl kDateDecl =
    corv::ClassDecl("Date", sizeof(CORVdate)).Initializer(AutoInitDate).Finalizer(DateFinalizer);

int64_t corv::DateMilliseconds(CORVobject date) {
  return RawMilliseconds(Fields(date));
}

const CORVdateFields *corv::DateFields(CORVobject date) {
  return Fields(date);
}

void corv::DateSetMilliseconds(CORVobject date, int64_t milliseconds) {
  StoreMilliseconds(FieldRecord(date), milliseconds);
}

CORVobject corv::NewLocalDate(int64_t seconds, int32_t millisecond) {
  CORVobject date = CORVInstantiateDeclaration(&kDateDecl);
  SetToClock(FieldRecord(date), corv::platform::LocalClockAt(seconds, millisecond));
  return date;
}

extern "C" void AutoInitDate(CORVobject self) {
  FieldRecord(self);
}

extern "C" void DateFinalizer(CORVobject self) {
  if (!self) return;
  auto *date = reinterpret_cast<CORVdate *>(self);
  std::free(date->fields);
  date->fields = nullptr;
}

extern "C" int32_t dateFieldGetter(CORVobject self, int32_t field) {
  CORVdateFields *f = Fields(self);
  if (int16_t *slot = FieldSlot(f, field)) return *slot;
  switch (field) {
    case kDateFieldDayOfWeek:
      return f->dayOfWeek;
    case kDateFieldDayOfYear:
      return DayOfYear(f);
    case kDateFieldWeekOfYear:
      return WeekOfYear(f);
  }
  CORV_REPORT("0", "Trying to get a non-existant long field on a date.");
  return 0;
}

extern "C" void dateFieldSetter(CORVobject self, int32_t field, int32_t value) {
  CORVdateFields *f = FieldRecord(self);
  int16_t *slot = FieldSlot(f, field);
  if (!slot) {
    CORV_REPORT("0", "Trying to set a non-existant long field on a date.");
    return;
  }
  if (field == kDateFieldSecond) f->millisecond = 0;
  if (value >= INT16_MIN && value <= INT16_MAX) {
    *slot = static_cast<int16_t>(value);
    f->set = true;
    f->dirty = true;
    return;
  }
  // Too wide for the field: roll it into the date now.
  int64_t v[6] = {f->year, f->month, f->day, f->hour, f->minute, f->second};
  v[field] = value;
  StoreMilliseconds(
      f, corv::calendar::FieldsToMilliseconds(v[0], v[1], v[2], v[3], v[4], v[5], f->millisecond));
}

extern "C" double dateTotalSecondsGetter(CORVobject self) {
  return static_cast<double>(RawMilliseconds(Fields(self))) / 1000.0;
}

extern "C" void dateTotalSecondsSetter(CORVobject self, double seconds) {
  CORVdateFields *f = Fields(self);
  if (std::isnan(seconds)) return;  // no instant to show: keep the date as it was
  StoreMilliseconds(f, SecondsToMilliseconds(seconds));
}

extern "C" double dateGMTOffsetGetter(CORVobject self) {
  return Fields(self)->gmtOffset;
}

extern "C" void dateGMTOffsetSetter(CORVobject self, double hours) {
  CORVdateFields *f = Fields(self);
  if (!std::isfinite(hours)) return;
  double shift = (hours - f->gmtOffset) * 3600.0;
  StoreMilliseconds(
      f, corv::calendar::ClampMilliseconds(RawMilliseconds(f) + SecondsToMilliseconds(shift)));
  f->gmtOffset = hours;
}

extern "C" int32_t DateCompare(CORVobject a, CORVobject b) {
  if (a == b) return 0;
  if (!a) return -1;
  if (!b) return 1;
  int64_t ma = corv::DateMilliseconds(a), mb = corv::DateMilliseconds(b);
  return ma < mb ? -1 : (ma > mb ? 1 : 0);
}

extern "C" CORVstring dateStringGetter(CORVobject self, int32_t form) {
  CORVdateFields *f = Fields(self);
  if (form < kDateShortDate || form > kDateLongTime) {
    CORV_REPORT("0", "Unknown date text form.");
    return nullptr;
  }
  std::string text = corv::platform::FormatDate(RawMilliseconds(f),
                                                static_cast<corv::platform::DateTextForm>(form));
  return RuntimeCreateString(text.data(), static_cast<int32_t>(text.size()), kEncodingUTF8);
}
