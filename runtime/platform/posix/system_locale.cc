// POSIX: the codeset and the language of the environment's locale.
#include "platform/system_locale.h"

#include <langinfo.h>
#include <locale.h>
#include <stdlib.h>

namespace corv::platform {

std::string SystemCodeset() {
  locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (user == static_cast<locale_t>(0)) return "ANSI_X3.4-1968";  // what "C" reports
  std::string codeset = nl_langinfo_l(CODESET, user);
  freelocale(user);
  return codeset;
}

int32_t SystemScriptCode() {
  // The language of messages, as the C library itself would choose it.
  const char *language = getenv("LC_ALL");
  if (!language || !*language) language = getenv("LC_MESSAGES");
  if (!language || !*language) language = getenv("LANG");
  return ScriptCodeForLanguage(language);
}

}  // namespace corv::platform
