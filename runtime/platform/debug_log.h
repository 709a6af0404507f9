// The platform's debug log, where failure reports go.
#pragma once

namespace corv::platform {

/// Writes one message to the system debug log (syslog on POSIX, the
/// debugger output on Windows).
void WriteDebugLog(const char *text);

}  // namespace corv::platform
