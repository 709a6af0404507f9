// The user's locale as the system reports it.
#pragma once

#include <string>

namespace corv::platform {

/// The name of the character set of the user's locale (the environment's
/// LC_ALL / LC_CTYPE / LANG), such as "UTF-8" or "ISO-8859-1". Does not
/// change the process's own locale.
std::string SystemCodeset();

}  // namespace corv::platform
