// FolderItem navigation and queries: Child, Parent, Count, Item and the
// getters that read the disk each time they are asked.
#include "corv.h"
#include "lib/date.h"
#include "lib/folder_item_internal.h"
#include "lib/folder_listing.h"
#include "platform/file_info.h"
#include "platform/path.h"

using namespace corv::folder_item;
namespace platform = corv::platform;

namespace {

CORVobject Child(CORVobject folder, CORVstring name) {
  CORVfolderItemImp *imp = ImpOf(folder);
  if (!imp || !HasChildren(imp)) return nullptr;
  std::string text = TextOf(name);
  if (text.find('\0') != std::string::npos) return nullptr;
  std::string path = platform::ResolvePath(PathOf(imp), text);
  if (!platform::ReadFileInfo(path).ok()) return nullptr;
  return NewItem(path);
}

CORVobject Item(CORVobject folder, int32_t index) {
  CORVfolderItemImp *imp = ImpOf(folder);
  if (!imp) return nullptr;
  if (index <= 0) {
    RaiseOutOfBoundsException();
    return nullptr;
  }
  if (imp->noChildren) return nullptr;
  std::string path = PathOf(imp);
  auto names = corv::ListFolderEntries(path);
  if (!names || static_cast<size_t>(index) > names->size()) return nullptr;
  return NewItem(platform::JoinPath(path, (*names)[static_cast<size_t>(index) - 1]));
}

}  // namespace

// Symbolic links are followed by the system itself, so Child and Item need
// no shortcut resolution of their own: they are TrueChild and TrueItem.
extern "C" CORVobject FolderChild(CORVobject folder, CORVstring name) {
  return Child(folder, name);
}
extern "C" CORVobject FolderTrueChild(CORVobject folder, CORVstring name) {
  return Child(folder, name);
}
extern "C" CORVobject FolderItemItem(CORVobject folder, int32_t index) {
  return Item(folder, index);
}
extern "C" CORVobject FolderItemTrueItem(CORVobject folder, int32_t index) {
  return Item(folder, index);
}

extern "C" CORVobject folderParentGetter(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp || imp->volumeRoot) return nullptr;
  std::string path = PathOf(imp);
  std::string_view parent = platform::PathParent(path);
  return parent.empty() ? nullptr : NewItem(std::string(parent));
}

extern "C" int32_t fileCountGetter(CORVobject folder) {
  CORVfolderItemImp *imp = ImpOf(folder);
  if (!imp || imp->noChildren) return 0;
  auto names = corv::ListFolderEntries(PathOf(imp));
  return names ? static_cast<int32_t>(names->size()) : 0;
}

extern "C" bool fileExistsGetter(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp) return false;
  auto info = platform::ReadFileInfo(PathOf(imp));
  return info.ok() && info.value.exists;
}

extern "C" bool fileDirectoryGetter(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp) return false;
  if (imp->volumeRoot) return true;
  auto info = platform::ReadFileInfo(PathOf(imp));
  return info.ok() && info.value.exists && info.value.isDirectory;
}

extern "C" bool FolderItemIsSymbolicLink(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp || imp->volumeRoot) return false;
  auto info = platform::ReadFileInfo(PathOf(imp));
  return info.ok() && info.value.isSymlink;
}

extern "C" CORVstring fileNameGetter(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp) return nullptr;
  std::string path = PathOf(imp);
  return MakeText(platform::PathName(path));
}

extern "C" CORVstring fileAbsolutePathGetter(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp) return nullptr;
  if (!imp->volumeRoot && !fileDirectoryGetter(item)) return RuntimeLockString(imp->path);
  std::string path = PathOf(imp);  // a folder's path ends with the separator
  if (path.empty() || path.back() != platform::kPathSeparator) path += platform::kPathSeparator;
  return MakeText(path);
}

extern "C" CORVstring FileShellPathGetter(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp) return nullptr;
  return MakeText(platform::ShellQuotePath(PathOf(imp)));
}

extern "C" CORVobject folderGetModified(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp) return nullptr;
  auto info = platform::ReadFileInfo(PathOf(imp));
  if (!info.ok() || !info.value.exists) {
    CORVobject date = CORVInstantiateDeclaration(&kDateDecl);
    dateTotalSecondsSetter(date, 0);
    return date;
  }
  const platform::FileTime &written = info.value.modified;
  return corv::NewLocalDate(written.seconds, static_cast<int32_t>(written.nanoseconds / 1000000));
}

extern "C" bool fileVisibleGetter(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp) return true;
  std::string path = PathOf(imp);
  std::string_view name = platform::PathName(path);
  bool hidden = !name.empty() && name[0] == '.';
  return !(hidden && fileExistsGetter(item));
}

extern "C" bool FolderItemIsCurrentlyWriteable(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  return imp && platform::IsAccessible(PathOf(imp), true);
}

extern "C" int32_t FolderItemGetLastError(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  return imp ? imp->lastError : 0;
}

extern "C" void FolderItemSetLastError(CORVobject item, int32_t code) {
  if (CORVfolderItemImp *imp = ImpOf(item)) imp->lastError = code;
}
