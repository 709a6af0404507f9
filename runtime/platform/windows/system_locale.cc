// Windows: the ANSI code page and the language of the user's locale.
#include "platform/system_locale.h"

#include <windows.h>

#include "platform/windows/wide.h"

namespace corv::platform {

std::string SystemCodeset() {
  return "CP" + std::to_string(GetACP());
}

int32_t SystemScriptCode() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH];
  if (GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH) == 0) return 0;
  return ScriptCodeForLanguage(Narrow(name).c_str());
}

}  // namespace corv::platform
