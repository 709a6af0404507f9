// Kept entry lists of folders, checked against the folder's stamps on every use.
#include "lib/folder_listing.h"

#include <algorithm>
#include <mutex>

#include "platform/directory.h"
#include "platform/file_info.h"

namespace corv {
namespace {

using platform::FileInfo;
using platform::FileTime;

struct KeptList {
  std::string path;
  FileInfo stamp;        // the folder as it was when the list was last known exact
  bool trusted = false;  // no change can hide behind an unchanged stamp
  std::shared_ptr<FolderNames> names;
  uint64_t lastUse = 0;
};

constexpr size_t kKeptFolders = 4;

std::mutex gMutex;
std::vector<KeptList> gKept;
uint64_t gUseClock = 0;

bool SameStamp(const FileInfo &a, const FileInfo &b) {
  return a.exists && b.exists && a.device == b.device && a.inode == b.inode &&
         a.modified == b.modified && a.changed == b.changed;
}

/// True when any later change to the folder is bound to move its stamps:
/// the file-system clock has left the tick of the last change. A stamp
/// without nanoseconds comes from a coarse file system; wait a whole second.
bool StampIsSettled(const FileInfo &stamp) {
  FileTime now = platform::FileSystemClock();
  FileTime latest = std::max(stamp.modified, stamp.changed);
  if (latest.nanoseconds == 0) return now.seconds > latest.seconds + 1;
  return now > latest;
}

KeptList *Find(const std::string &path) {
  for (KeptList &kept : gKept)
    if (kept.path == path) return &kept;
  return nullptr;
}

KeptList *Slot(const std::string &path) {
  if (KeptList *kept = Find(path)) return kept;
  if (gKept.size() < kKeptFolders) {
    gKept.emplace_back();
  } else {
    auto oldest = std::min_element(gKept.begin(), gKept.end(),
                                   [](auto &a, auto &b) { return a.lastUse < b.lastUse; });
    *oldest = KeptList();
    std::swap(*oldest, gKept.back());
  }
  gKept.back().path = path;
  return &gKept.back();
}

void Drop(const std::string &path) {
  std::erase_if(gKept, [&](const KeptList &kept) { return kept.path == path; });
}

}  // namespace

std::shared_ptr<const FolderNames> ListFolderEntries(const std::string &path) {
  std::lock_guard<std::mutex> lock(gMutex);
  auto info = platform::ReadFileInfo(path);
  if (!info.ok() || !info.value.exists || !info.value.isDirectory) {
    Drop(path);
    return nullptr;
  }
  KeptList *kept = Find(path);
  if (kept && kept->trusted && SameStamp(kept->stamp, info.value)) {
    kept->lastUse = ++gUseClock;
    return kept->names;
  }
  auto listing = platform::ListFolder(path);
  if (!listing.ok()) {
    Drop(path);
    return nullptr;
  }
  auto names = std::make_shared<FolderNames>(std::move(listing.value));
  std::sort(names->begin(), names->end());
  kept = Slot(path);
  kept->stamp = info.value;  // read before the enumeration, so a change during it shows
  kept->trusted = StampIsSettled(info.value);
  kept->names = names;
  kept->lastUse = ++gUseClock;
  return names;
}

FolderChange::FolderChange(std::string folder) : folder_(std::move(folder)) {
  std::lock_guard<std::mutex> lock(gMutex);
  KeptList *kept = Find(folder_);
  if (!kept) return;
  auto info = platform::ReadFileInfo(folder_);
  wasExact_ = kept->trusted && info.ok() && SameStamp(kept->stamp, info.value);
}

void FolderChange::Finish(const std::string &name, bool added, bool succeeded) {
  std::lock_guard<std::mutex> lock(gMutex);
  KeptList *kept = Find(folder_);
  if (!kept || !succeeded) return;  // a failed change leaves the usual checks to decide
  auto info = platform::ReadFileInfo(folder_);
  if (!wasExact_ || !info.ok() || !info.value.exists) {
    Drop(folder_);
    return;
  }
  // Lists already handed out stay as they were; change a copy if shared.
  if (kept->names.use_count() > 1) kept->names = std::make_shared<FolderNames>(*kept->names);
  FolderNames &names = *kept->names;
  auto at = std::lower_bound(names.begin(), names.end(), name);
  bool present = at != names.end() && *at == name;
  if (added && !present) names.insert(at, name);
  if (!added && present) names.erase(at);
  kept->stamp = info.value;
  kept->trusted = true;  // exact: the only change since it was exact is ours
}

void ForgetFolderEntries() {
  std::lock_guard<std::mutex> lock(gMutex);
  gKept.clear();
}

}  // namespace corv
