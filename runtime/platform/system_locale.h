// The user's locale as the system reports it.
#pragma once

#include <cstdint>
#include <string>

namespace corv::platform {

/// The name of the character set of the user's locale (the environment's
/// LC_ALL / LC_CTYPE / LANG), such as "UTF-8" or "ISO-8859-1". Does not
/// change the process's own locale.
std::string SystemCodeset();

/// The system script code of the user's default language: 21 for
/// Traditional Chinese, 13 for Japanese, 20 for Simplified Chinese and 0
/// for every other language.
int32_t SystemScriptCode();

/// The script code of a language tag such as "zh_TW.UTF-8", "ja" or
/// "zh-Hans" (case ignored); null or an unknown language give 0.
int32_t ScriptCodeForLanguage(const char *language);

}  // namespace corv::platform
