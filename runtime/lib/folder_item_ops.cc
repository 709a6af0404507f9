// FolderItem operations: Delete, CreateAsFolder, CopyFileTo and MoveFileTo.
// None of them replaces an existing item; failures land in LastErrorCode.
#include "corv.h"
#include "lib/folder_item_internal.h"
#include "lib/folder_listing.h"
#include "platform/directory.h"
#include "platform/file_info.h"
#include "platform/file_transfer.h"
#include "platform/path.h"

using namespace corv::folder_item;
namespace platform = corv::platform;

namespace {

std::string FolderOf(const std::string &path) {
  return std::string(platform::PathParent(path));
}
std::string NameOf(const std::string &path) {
  return std::string(platform::PathName(path));
}

/// Where CopyFileTo and MoveFileTo put the item: the destination itself, or
/// a child of the same name when the destination is a folder.
bool TargetPath(CORVfolderItemImp *imp, CORVobject destination, std::string *target) {
  if (!destination) {
    imp->lastError = kFolderItemErrorNilDestination;
    RaiseNilObjectException();
    return false;
  }
  CORVfolderItemImp *dest = ImpOf(destination, "destination->mImp");
  if (!dest) return false;
  *target = PathOf(dest);
  auto info = platform::ReadFileInfo(*target);
  if (dest->volumeRoot || (info.ok() && info.value.isDirectory))
    *target = platform::JoinPath(*target, NameOf(PathOf(imp)));
  return true;
}

}  // namespace

extern "C" bool FolderItemDelete(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp) return false;
  imp->lastError = 0;
  std::string path = PathOf(imp);
  corv::FolderChange change(FolderOf(path));
  platform::Status status = platform::RemoveItem(path);
  change.Finish(NameOf(path), false, status.ok());
  SetPlatformError(imp, status.error);
  return status.ok();
}

extern "C" bool FolderItemCreateAsFolder(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp) return false;
  imp->lastError = 0;
  std::string path = PathOf(imp);
  corv::FolderChange change(FolderOf(path));
  platform::Status status = platform::CreateFolder(path);
  change.Finish(NameOf(path), true, status.ok());
  SetPlatformError(imp, status.error);
  return status.ok();
}

extern "C" bool FolderItemCopyFileTo(CORVobject item, CORVobject destination) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp) return false;
  std::string target;
  if (!TargetPath(imp, destination, &target)) return false;
  imp->lastError = 0;
  corv::FolderChange change(FolderOf(target));
  platform::Status status = platform::CopyFile(PathOf(imp), target);
  change.Finish(NameOf(target), true, status.ok());
  SetPlatformError(imp, status.error);
  return status.ok();
}

extern "C" bool FolderItemMoveFileTo(CORVobject item, CORVobject destination) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp) return false;
  std::string target;
  if (!TargetPath(imp, destination, &target)) return false;
  imp->lastError = 0;
  std::string source = PathOf(imp);
  corv::FolderChange leaving(FolderOf(source));
  corv::FolderChange arriving(FolderOf(target));
  platform::Status status = platform::MoveItem(source, target);
  leaving.Finish(NameOf(source), false, status.ok());
  arriving.Finish(NameOf(target), true, status.ok());
  SetPlatformError(imp, status.error);
  return status.ok();
}
