// Where the running executable lives.
#pragma once

#include <string>

namespace corv::platform {

/// The folder that holds the executable file of this process (absolute,
/// without a trailing separator); "/" when it cannot be found.
std::string ExecutableFolder();

}  // namespace corv::platform
