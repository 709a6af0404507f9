// What tests change of their own process: environment variables, and the
// time zone its local time follows.
#pragma once

namespace corv::platform {

/// Sets the environment variable `name` of this process to `value`, or
/// removes it when `value` is null.
void SetTestEnvironment(const char *name, const char *value);

/// Makes this process's local time follow `zone` (a zone name such as
/// "America/New_York", a POSIX rule, or null for the system's own zone).
/// False when the platform takes the zone only when a process starts and
/// `zone` is not the one this process started with; local time is then
/// unchanged.
bool SetTestTimeZone(const char *zone);

}  // namespace corv::platform
