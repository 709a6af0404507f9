// Locale date formatting on POSIX through ICU's date formatter, with the
// default locale (from the environment) and a proleptic Gregorian calendar
// in UTC, so the clock fields are shown exactly as they are.
#include "platform/date_format.h"

#include <unicode/ucal.h>
#include <unicode/udat.h>
#include <unicode/ustring.h>

namespace corv::platform {
namespace {

constexpr double kMsFrom1904To1970 = 24107.0 * 86400000.0;

struct Formatter {
  UDateFormat *format = nullptr;
  ~Formatter() {
    if (format) udat_close(format);
  }
};

}  // namespace

std::string FormatDate(int64_t millisecondsFrom1904, DateTextForm form) {
  UDateFormatStyle dateStyle = UDAT_NONE, timeStyle = UDAT_NONE;
  switch (form) {
    case DateTextForm::kShortDate:
      dateStyle = UDAT_SHORT;
      break;
    case DateTextForm::kLongDate:
      dateStyle = UDAT_FULL;
      break;
    case DateTextForm::kAbbreviatedDate:
      dateStyle = UDAT_MEDIUM;
      break;
    case DateTextForm::kShortTime:
      timeStyle = UDAT_SHORT;
      break;
    case DateTextForm::kLongTime:
      timeStyle = UDAT_MEDIUM;
      break;
  }
  static const UChar kUTC[] = {'U', 'T', 'C', 0};
  UErrorCode status = U_ZERO_ERROR;
  Formatter f;
  f.format = udat_open(timeStyle, dateStyle, nullptr, kUTC, -1, nullptr, 0, &status);
  if (U_FAILURE(status)) return {};
  UCalendar *calendar = ucal_open(kUTC, -1, nullptr, UCAL_GREGORIAN, &status);
  if (U_FAILURE(status)) return {};
  ucal_setGregorianChange(calendar, -1.0e300, &status);  // Gregorian for every year
  udat_setCalendar(f.format, calendar);
  ucal_close(calendar);
  if (U_FAILURE(status)) return {};

  UDate instant = static_cast<double>(millisecondsFrom1904) - kMsFrom1904To1970;
  UChar buffer[256];
  int32_t length = udat_format(f.format, instant, buffer, 256, nullptr, &status);
  if (U_FAILURE(status) || length > 256) return {};
  char utf8[1024];
  int32_t utf8Length = 0;
  u_strToUTF8(utf8, sizeof utf8, &utf8Length, buffer, length, &status);
  if (U_FAILURE(status) || utf8Length > static_cast<int32_t>(sizeof utf8)) return {};
  return std::string(utf8, static_cast<size_t>(utf8Length));
}

}  // namespace corv::platform
