// Date internals shared with the variant and the C++ wrapper.
#pragma once

#include <cstdint>

#include "corv_date.h"

namespace corv {

/// Milliseconds from 1904-01-01 00:00:00 to the date's clock fields
/// (normalising them first). The date must not be nil.
int64_t DateMilliseconds(CORVobject date);
/// The date's clock fields, normalised; nil raises NilObjectException.
const CORVdateFields *DateFields(CORVobject date);
/// Sets the clock fields from milliseconds from 1904 (clamped to the range a
/// Date holds); the GMT offset stays.
void DateSetMilliseconds(CORVobject date, int64_t milliseconds);
/// A new Date (one reference) showing an instant of the file system (seconds
/// since 1970 GMT plus milliseconds) in the local zone, with the zone's GMT
/// offset at that instant.
CORVobject NewLocalDate(int64_t seconds, int32_t millisecond);

}  // namespace corv
