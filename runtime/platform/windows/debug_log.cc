// Debug log on Windows: the debugger's output, where a debugger or a
// viewer of it reads it; without one the text goes nowhere.
#include "platform/debug_log.h"

#include <windows.h>

#include "platform/windows/wide.h"

namespace corv::platform {

void WriteDebugLog(const char *text) {
  OutputDebugStringW(Wide(text).c_str());
}

}  // namespace corv::platform
