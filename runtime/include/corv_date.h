/* Date: calendar date and time with a GMT offset; TotalSeconds counts from
 * 1904-01-01 00:00:00 of the date's own clock. */
#ifndef CORV_DATE_H
#define CORV_DATE_H

#include <stdbool.h>

#include "corv_object.h"

CORV_BEGIN_DECLS

/* The implementation record a Date makes on first use. The clock fields are
 * local civil time of the date's zone. */
typedef struct CORVdateFields {
  double gmtOffset; /* hours east of GMT */
  int16_t day, month, year;
  int16_t hour, minute, second;
  int16_t dayOfWeek; /* 1 = Sunday ... 7 = Saturday */
  int16_t millisecond;
  bool set;         /* the fields hold a date */
  bool dirty;       /* a field was set directly; normalise before reading */
  bool normalising; /* guards normalisation against re-entry */
} CORVdateFields;

typedef struct CORVdate {
  CORVobjectHeader header;
  CORVdateFields *fields;
} CORVdate;

extern const CORVclassDecl kDateDecl;

/* Field numbers of dateFieldGetter / dateFieldSetter (6 to 8 read only). */
enum {
  kDateFieldYear = 0,
  kDateFieldMonth = 1,
  kDateFieldDay = 2,
  kDateFieldHour = 3,
  kDateFieldMinute = 4,
  kDateFieldSecond = 5,
  kDateFieldDayOfWeek = 6,
  kDateFieldDayOfYear = 7,
  kDateFieldWeekOfYear = 8
};

/* Text forms of dateStringGetter. */
enum {
  kDateShortDate = 0,
  kDateLongDate = 1,
  kDateAbbreviatedDate = 2,
  kDateShortTime = 3,
  kDateLongTime = 4
};

void AutoInitDate(CORVobject self);
void DateFinalizer(CORVobject self);
int32_t dateFieldGetter(CORVobject self, int32_t field);
void dateFieldSetter(CORVobject self, int32_t field, int32_t value);
double dateTotalSecondsGetter(CORVobject self);
void dateTotalSecondsSetter(CORVobject self, double seconds);
double dateGMTOffsetGetter(CORVobject self);
void dateGMTOffsetSetter(CORVobject self, double hours);
CORVstring dateSQLDateGetter(CORVobject self);
CORVstring dateSQLDateTimeGetter(CORVobject self);
void dateSQLDateSetter(CORVobject self, CORVstring text);
void dateSQLDateTimeSetter(CORVobject self, CORVstring text);
/* -1, 0 or 1 by TotalSeconds; nil sorts before every date. */
int32_t DateCompare(CORVobject a, CORVobject b);
/* The locale text of one of the kDate...Date / ...Time forms. */
CORVstring dateStringGetter(CORVobject self, int32_t form);

CORV_END_DECLS

#endif
