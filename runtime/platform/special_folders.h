// Well-known folders: the temporary folder, temporary files, the current
// directory and the special-folder codes.
#pragma once

#include <cstdint>
#include <string>

#include "platform/result.h"

namespace corv::platform {

/// The folder for temporary files.
std::string TemporaryFolder();

/// Creates a new empty file with a unique name beginning with `prefix` in
/// the temporary folder and gives its path.
Result<std::string> CreateTemporaryFile(const std::string &prefix);

/// Creates a new empty folder with a unique name beginning with `prefix`
/// in the temporary folder and gives its path.
Result<std::string> CreateTemporaryFolder(const std::string &prefix);

/// The process's current directory.
std::string CurrentDirectory();

/// The root of the `index`-th volume (from 0) that exists, as a normalised
/// path; empty past the last one.
std::string VolumeRoot(int32_t index);

/// The folder a special-folder code stands for; empty when the code has no
/// folder on this platform.
std::string SpecialFolderPath(int32_t code);

}  // namespace corv::platform
