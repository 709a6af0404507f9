// POSIX: the codeset and the language of the environment's locale.
#include "platform/system_locale.h"

#include <langinfo.h>
#include <locale.h>
#include <stdlib.h>

#include <cctype>

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

int32_t ScriptCodeForLanguage(const char *language) {
  std::string tag = language ? language : "";
  tag = tag.substr(0, tag.find_first_of(".@"));  // no codeset, no modifier
  for (char &c : tag)
    c = c == '-' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (tag == "zh_tw" || tag == "zh_hk" || tag == "zh_mo" || tag == "zh_hant") return 21;
  if (tag == "ja" || tag.starts_with("ja_")) return 13;
  if (tag == "zh" || tag == "zh_cn" || tag == "zh_sg" || tag == "zh_hans") return 20;
  return 0;
}

}  // namespace corv::platform
