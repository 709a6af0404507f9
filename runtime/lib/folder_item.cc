// FolderItem: the class records, making items from paths, and the queries.
#include <string>

#include "corv.h"
#include "corv/class_decl.h"
#include "corv/ref.h"
#include "corv/string.h"
#include "lib/case_map.h"
#include "lib/encoding.h"
#include "lib/folder_item_internal.h"
#include "lib/folder_listing.h"
#include "platform/error_codes.h"
#include "platform/executable.h"
#include "platform/file_info.h"
#include "platform/path.h"
#include "platform/special_folders.h"

namespace corv::folder_item {
namespace {

void ItemFinalizer(CORVobject self) {
  auto *item = reinterpret_cast<CORVfolderItem *>(self);
  RuntimeUnlockObject(item->mImp);
  item->mImp = nullptr;
}

void ImpFinalizer(CORVobject self) {
  auto *imp = reinterpret_cast<CORVfolderItemImp *>(self);
  RuntimeUnlockString(imp->path);
  imp->path = nullptr;
}

const std::string &ApplicationFolder() {
  static const std::string folder = platform::ExecutableFolder();
  return folder;
}

/// The item for a native path, or null (GetFolderItem mode 0).
CORVobject ItemForNativePath(const std::string &text) {
  if (text.find('\0') != std::string::npos) return nullptr;
  std::string path =
      text.empty() ? ApplicationFolder() : platform::ResolvePath(ApplicationFolder(), text);
  // A missing item in an existing folder is an item; under a missing folder, nothing.
  if (!platform::ReadFileInfo(path).ok()) return nullptr;
  return NewItem(path);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

/// The native path of a "file://" URL; false when it is not one.
bool PathOfFileURL(std::string_view url, std::string *path) {
  constexpr std::string_view kScheme = "file://";
  if (!EqualsIgnoringAsciiCase(url.substr(0, kScheme.size()), kScheme)) return false;
  url.remove_prefix(kScheme.size());
  if (url.starts_with("localhost/")) url.remove_prefix(9);
  if (!platform::IsAbsolutePath(url)) return false;
  path->clear();
  for (size_t i = 0; i < url.size(); ++i) {
    if (url[i] == '%' && i + 2 < url.size() + 0 && HexDigit(url[i + 1]) >= 0 &&
        HexDigit(url[i + 2]) >= 0) {
      *path += static_cast<char>(HexDigit(url[i + 1]) * 16 + HexDigit(url[i + 2]));
      i += 2;
    } else {
      *path += url[i];
    }
  }
  return true;
}

/// Raises UnsupportedFormatException with a message.
void RaiseUnsupportedFormat(const char *text) {
  String message(text);  // given up as the raise unwinds
  CORVRaiseNewWithMessage(CORVBindDeclaration(&kUnsupportedFormatExceptionDecl), message.get(), 0);
}

/// GetFolderItem in any mode; raises for a relative shell path.
CORVobject ItemForPath(CORVstring pathString, int32_t mode) {
  std::string text = TextOf(pathString);
  if (mode == 1) {
    std::string path;
    if (!platform::UnquoteShellPath(text, &path) || !platform::IsAbsolutePath(path)) {
      RaiseUnsupportedFormat("Passing non-absolute shell paths is not currently supported");
      return nullptr;
    }
    return ItemForNativePath(path);
  }
  if (mode == 2) {
    std::string path;
    return PathOfFileURL(text, &path) ? ItemForNativePath(path) : nullptr;
  }
  return ItemForNativePath(text);
}

/// Takes the implementation of a freshly made item into `self`.
void AdoptImplementation(CORVobject self, CORVobject made) {
  auto *target = reinterpret_cast<CORVfolderItem *>(self);
  auto *source = reinterpret_cast<CORVfolderItem *>(made);
  RuntimeLockUnlockObjects(source->mImp, target->mImp);
  target->mImp = source->mImp;
  RuntimeUnlockObject(made);
}

}  // namespace

CORVfolderItemImp *ImpOf(CORVobject item, const char *what) {
  if (!item) {
    RaiseNilObjectException();
    return nullptr;
  }
  auto *imp = reinterpret_cast<CORVfolderItemImp *>(reinterpret_cast<CORVfolderItem *>(item)->mImp);
  if (!imp) CORV_REPORT(what, nullptr);
  return imp;
}

std::string PathOf(const CORVfolderItemImp *imp) {
  return std::string(CORVStringBytes(imp->path), CORVStringLength(imp->path));
}

CORVobject NewItem(const std::string &path) {
  Ref<CORVfolderItemImp> imp = New<CORVfolderItemImp>(&kFolderItemImpDecl);
  imp->path = MakeText(path);
  imp->volumeRoot = platform::IsVolumeRoot(path);
  Ref<CORVfolderItem> item = New<CORVfolderItem>(&kFolderItemDecl);
  item->mImp = AsObject(imp.Leak());
  return AsObject(item.Leak());
}

std::string TextOf(CORVstring s) {
  // Paths are UTF-8 on this platform; text in another encoding is converted.
  // Text that cannot be converted (or has no known encoding) is taken as it is.
  String text = ConvertTo(s, kEncodingUTF8);
  if (text.empty()) text = String::Share(s);
  return std::string(text.view());
}

CORVstring MakeText(std::string_view text) {
  return RuntimeCreateString(text.data(), static_cast<int32_t>(text.size()), kEncodingUTF8);
}

void SetPlatformError(CORVfolderItemImp *imp, int error) {
  imp->lastError = error == 0 ? 0 : platform::FolderItemErrorCode(error);
}

bool HasChildren(const CORVfolderItemImp *imp) {
  if (imp->noChildren) return false;
  auto info = platform::ReadFileInfo(PathOf(imp));
  return info.ok() && info.value.exists && info.value.isDirectory;
}

}  // namespace corv::folder_item

using namespace corv::folder_item;
using corv::Ref;

const CORVclassDecl kFolderItemImpDecl =
    corv::ClassDecl("FolderItemImp", sizeof(CORVfolderItemImp)).Finalizer(ImpFinalizer);
const CORVclassDecl kFolderItemDecl =
    corv::ClassDecl("FolderItem", sizeof(CORVfolderItem)).Finalizer(ItemFinalizer);

extern "C" CORVobject RuntimeGetFolderItem(CORVstring path, int32_t mode) {
  return ItemForPath(path, mode);
}

extern "C" void FolderItemPathCtor(CORVobject self, CORVstring path, int32_t mode) {
  if (!self) return RaiseNilObjectException();
  CORVobject made = ItemForPath(path, mode);
  if (!made) {
    return RaiseUnsupportedFormat("The path passed into new FolderItem was invalid");
  }
  AdoptImplementation(self, made);
}

extern "C" void FolderItemPathCtorNoParams(CORVobject self) {
  if (!self) return RaiseNilObjectException();
  AdoptImplementation(self, NewItem(ApplicationFolder()));
}

extern "C" void FolderItemCopyCtor(CORVobject self, CORVobject other) {
  if (!self || !other) return RaiseNilObjectException();
  CORVfolderItemImp *imp = ImpOf(other);
  if (!imp) return;
  AdoptImplementation(self, NewItem(PathOf(imp)));
}

extern "C" CORVobject getTemporaryFolderItem(void) {
  corv::FolderChange change(corv::platform::TemporaryFolder());
  auto made = corv::platform::CreateTemporaryFile("cvt");
  change.Finish(std::string(corv::platform::PathName(made.value)), true, made.ok());
  if (!made.ok()) return nullptr;
  CORVobject item = NewItem(made.value);
  reinterpret_cast<CORVfolderItemImp *>(reinterpret_cast<CORVfolderItem *>(item)->mImp)->created =
      1;
  return item;
}

extern "C" CORVobject getVolume(int32_t index) {
  std::string root = corv::platform::VolumeRoot(index);
  return root.empty() ? nullptr : NewItem(root);
}

extern "C" CORVobject GetSpecialFolder(int32_t, int32_t code) {
  std::string path = corv::platform::SpecialFolderPath(code);
  return path.empty() ? nullptr : ItemForNativePath(path);
}
