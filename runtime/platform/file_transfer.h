// Copying and moving items without ever replacing an existing target.
#pragma once

#include <string>

#include "platform/result.h"

namespace corv::platform {

/// Copies a file's bytes, permission bits and modification time to a new
/// file at `target`; fails when `target` exists or `source` is a folder.
/// A partly written target is removed.
Status CopyFile(const std::string &source, const std::string &target);

/// Moves an item to `target`, failing when `target` exists. Across file
/// systems the item is copied and then removed; a folder tree is copied
/// with its symbolic links recreated as links, never followed.
Status MoveItem(const std::string &source, const std::string &target);

}  // namespace corv::platform
