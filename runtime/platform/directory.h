// Folders: listing their entries, creating and removing them.
#pragma once

#include <string>
#include <vector>

#include "platform/result.h"

namespace corv::platform {

/// The names of a folder's entries, "." and ".." left out, in the
/// platform's enumeration order.
Result<std::vector<std::string>> ListFolder(const std::string &path);

/// Creates one folder; its parent must exist.
Status CreateFolder(const std::string &path);

/// Removes an item: a symbolic link itself (never its target), a file, or
/// an empty folder. (A system that refuses to remove a folder in use as the
/// current directory may step out of it here and try again; POSIX removes
/// it as it is.)
Status RemoveItem(const std::string &path);

/// Removes an item and, for a folder, everything in it. Symbolic links are
/// removed as links; the walk never passes through one.
Status RemoveTree(const std::string &path);

/// Makes a symbolic link at `path` that points at `target`.
Status CreateSymbolicLink(const std::string &target, const std::string &path);

}  // namespace corv::platform
