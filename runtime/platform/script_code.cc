// The script code of a language tag: text work alone, the same on every
// platform.
#include <cctype>
#include <string>

#include "platform/system_locale.h"

namespace corv::platform {

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
