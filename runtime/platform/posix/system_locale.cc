// POSIX: the codeset of the environment's locale, through a private locale object.
#include "platform/system_locale.h"

#include <langinfo.h>
#include <locale.h>

namespace corv::platform {

std::string SystemCodeset() {
  locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (user == static_cast<locale_t>(0)) return "ANSI_X3.4-1968";  // what "C" reports
  std::string codeset = nl_langinfo_l(CODESET, user);
  freelocale(user);
  return codeset;
}

}  // namespace corv::platform
