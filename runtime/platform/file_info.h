// Attributes and times of items on disk, and the access check.
#pragma once

#include <cstdint>
#include <string>

#include "platform/result.h"

namespace corv::platform {

/// A time stamp of the file system: seconds and nanoseconds since 1970 UTC.
struct FileTime {
  int64_t seconds = 0;
  int64_t nanoseconds = 0;
  bool operator==(const FileTime &) const = default;
  auto operator<=>(const FileTime &) const = default;
};

/// What the platform knows about one path.
struct FileInfo {
  bool exists = false;       ///< the path names something, a dangling link included
  bool isDirectory = false;  ///< the item (a link's target) is a folder
  bool isSymlink = false;    ///< the path itself is a symbolic link
  uint64_t device = 0;       ///< identity of the item (a link's target)
  uint64_t inode = 0;
  FileTime modified;  ///< last write (of a folder: its entry list)
  FileTime changed;   ///< last change of the item's attributes or entries
};

/// Looks a path up. A missing item whose folder exists gives success with
/// `exists` false; a path under a missing folder (or under a file) fails.
Result<FileInfo> ReadFileInfo(const std::string &path);

/// True when the current user may read and (when asked) write the item or,
/// if it does not exist, its nearest existing ancestor.
bool IsAccessible(const std::string &path, bool write);

/// The clock the file system takes its time stamps from (it may run behind
/// the precise clock by up to one scheduler tick).
FileTime FileSystemClock();

/// Sets an item's last-write time (its last access becomes the same).
Status SetModificationTime(const std::string &path, FileTime time);

/// Makes a file read-only or writable again (permission bits of its owner,
/// group and others).
Status SetWritable(const std::string &path, bool writable);

}  // namespace corv::platform
