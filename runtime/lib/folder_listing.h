// The entry lists of folders, kept between calls so that walking a folder
// with Count and Item(1..Count) does not enumerate it again for every item.
//
// Invariant: a kept list is handed out only while it is exactly what a fresh
// enumeration would give. A list is kept with the folder's identity (device,
// inode) and time stamps (last write and last change, in nanoseconds) read
// before it was enumerated; every call reads them again and enumerates anew
// when they differ. Because the file system takes its stamps from a clock
// that advances in ticks, a list enumerated in the same tick as the folder's
// last change is not trusted (a second change in that tick would leave the
// stamps alone) and is enumerated again on the next call. Changes made
// through this runtime (Delete, CreateAsFolder, CopyFileTo, MoveFileTo, the
// file openers) are applied to the kept list directly when it was exact just
// before the change; otherwise the list is dropped.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace corv {

using FolderNames = std::vector<std::string>;

/// The entry names of the folder at `path`, sorted by their bytes; null
/// when it is not a folder that can be listed.
std::shared_ptr<const FolderNames> ListFolderEntries(const std::string &path);

/// Brackets a change that this runtime makes to one folder's entries.
class FolderChange {
 public:
  /// Call before the change; `folder` is the folder whose entries change.
  explicit FolderChange(std::string folder);
  /// Call after the change: the entry `name` was added (or removed) when
  /// `succeeded` is true.
  void Finish(const std::string &name, bool added, bool succeeded);

 private:
  std::string folder_;
  bool wasExact_ = false;
};

/// Drops every kept list (tests use it to start from a known state).
void ForgetFolderEntries();

}  // namespace corv
