// Locale date formatting on Windows: GetDateFormatEx and GetTimeFormatEx in
// the user's locale. The abbreviated date is the locale's long date with
// the names of the day and the month abbreviated. The system's dates begin
// in 1601: an earlier one cannot be written and gives "".
#include "platform/date_format.h"

#include <windows.h>

#include "platform/windows/civil_days.h"

#include "platform/windows/wide.h"

namespace corv::platform {
namespace {

constexpr int64_t kDaysFrom1904To1970 = 24107;

// The clock fields of the instant, as they are (no zone conversion).
bool FieldsOf(int64_t millisecondsFrom1904, SYSTEMTIME *time) {
  int64_t days = FloorDiv(millisecondsFrom1904, 86400000) - kDaysFrom1904To1970;
  int64_t ofDay = millisecondsFrom1904 - FloorDiv(millisecondsFrom1904, 86400000) * 86400000;
  int64_t year, month, day;
  CivilFromDays(days, &year, &month, &day);
  if (year < 1601 || year > 30827) return false;
  *time = {};
  time->wYear = static_cast<WORD>(year);
  time->wMonth = static_cast<WORD>(month);
  time->wDay = static_cast<WORD>(day);
  time->wHour = static_cast<WORD>(ofDay / 3600000);
  time->wMinute = static_cast<WORD>(ofDay / 60000 % 60);
  time->wSecond = static_cast<WORD>(ofDay / 1000 % 60);
  time->wMilliseconds = static_cast<WORD>(ofDay % 1000);
  // The day of the week, which the formats may name: 1970-01-01 was a Thursday.
  time->wDayOfWeek = static_cast<WORD>((days % 7 + 11) % 7);
  return true;
}

// The locale's long date format with "dddd" and "MMMM" (full names) made
// "ddd" and "MMM" (abbreviated ones).
std::wstring AbbreviatedDateFormat() {
  wchar_t format[128];
  if (!GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SLONGDATE, format, 128)) return {};
  std::wstring text = format, result;
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, 4, L"dddd") == 0 || text.compare(i, 4, L"MMMM") == 0) {
      result.append(text, i, 3);
      i += 4;
      while (i < text.size() && text[i] == text[i - 1]) ++i;
    } else {
      result += text[i++];
    }
  }
  return result;
}

}  // namespace

std::string FormatDate(int64_t millisecondsFrom1904, DateTextForm form) {
  SYSTEMTIME time;
  if (!FieldsOf(millisecondsFrom1904, &time)) return {};
  wchar_t buffer[256];
  int length = 0;
  switch (form) {
    case DateTextForm::kShortDate:
      length = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, buffer,
                               256, nullptr);
      break;
    case DateTextForm::kLongDate:
      length = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_LONGDATE, &time, nullptr, buffer, 256,
                               nullptr);
      break;
    case DateTextForm::kAbbreviatedDate: {
      std::wstring format = AbbreviatedDateFormat();
      length = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time,
                               format.empty() ? nullptr : format.c_str(), buffer, 256, nullptr);
      break;
    }
    case DateTextForm::kShortTime:
      length =
          GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, buffer, 256);
      break;
    case DateTextForm::kLongTime:
      length = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, buffer, 256);
      break;
  }
  if (length <= 1) return {};
  return Narrow(std::wstring_view(buffer, static_cast<size_t>(length - 1)));  // without its NUL
}

}  // namespace corv::platform
