// The platform's locale formatting of dates and times.
#pragma once

#include <cstdint>
#include <string>

namespace corv::platform {

enum class DateTextForm { kShortDate, kLongDate, kAbbreviatedDate, kShortTime, kLongTime };

/// The clock fields of an instant (milliseconds from 1904-01-01 00:00:00 of
/// the clock, as Date counts them) as the default locale writes them in the
/// given form, in UTF-8. The fields are shown as they are (no zone
/// conversion); years before the Gregorian reform stay Gregorian. Empty when
/// formatting fails.
std::string FormatDate(int64_t millisecondsFrom1904, DateTextForm form);

}  // namespace corv::platform
