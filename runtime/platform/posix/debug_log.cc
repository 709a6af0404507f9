// Debug log on POSIX: syslog, facility user, priority debug.
#include "platform/debug_log.h"

#include <syslog.h>

namespace corv::platform {

void WriteDebugLog(const char *text) {
  syslog(LOG_USER | LOG_DEBUG, "%s", text);
}

}  // namespace corv::platform
