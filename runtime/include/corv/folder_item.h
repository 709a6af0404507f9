// FolderItem as the application uses it: Ref<FolderItem> with the language's
// members, and the functions that make items. Each member is the entry point
// of the same meaning; failures of the platform land in LastErrorCode.
#pragma once

#include <cstdint>

#include "corv/date.h"
#include "corv/ref.h"
#include "corv/stream.h"
#include "corv/string.h"
#include "corv_folderitem.h"
#include "corv_stream.h"

namespace corv {

/// The folder item record with the language's members (it adds no fields).
struct FolderItem : CORVfolderItem {
  /// new FolderItem: the application's folder.
  static Ref<FolderItem> New() {
    Ref<FolderItem> item = corv::New<FolderItem>(&kFolderItemDecl);
    FolderItemPathCtorNoParams(item.object());
    return item;
  }
  /// new FolderItem(path, mode): UnsupportedFormatException where
  /// GetFolderItem would give nil.
  static Ref<FolderItem> New(const String &path, int32_t mode = 0) {
    Ref<FolderItem> item = corv::New<FolderItem>(&kFolderItemDecl);
    FolderItemPathCtor(item.object(), path.get(), mode);
    return item;
  }
  /// new FolderItem(other): the same path; NilObjectException for nil.
  static Ref<FolderItem> New(const Ref<FolderItem> &other) {
    Ref<FolderItem> item = corv::New<FolderItem>(&kFolderItemDecl);
    FolderItemCopyCtor(item.object(), other.object());
    return item;
  }

  /// Nil when this is not an existing folder; the child need not exist.
  Ref<FolderItem> Child(const String &name) { return Made(FolderChild(self(), name.get())); }
  Ref<FolderItem> TrueChild(const String &name) {
    return Made(FolderTrueChild(self(), name.get()));
  }
  /// Nil for a volume root.
  Ref<FolderItem> Parent() { return Made(folderParentGetter(self())); }
  /// Entries of the folder; 0 for a file or a missing item.
  int32_t Count() { return fileCountGetter(self()); }
  /// Entry 1..Count; nil past the end, OutOfBoundsException for i <= 0.
  Ref<FolderItem> Item(int32_t index) { return Made(FolderItemItem(self(), index)); }
  Ref<FolderItem> TrueItem(int32_t index) { return Made(FolderItemTrueItem(self(), index)); }

  bool Exists() { return fileExistsGetter(self()); }
  bool Directory() { return fileDirectoryGetter(self()); }
  String Name() { return String::Adopt(fileNameGetter(self())); }
  /// The path; a folder's ends in a separator.
  String AbsolutePath() { return String::Adopt(fileAbsolutePathGetter(self())); }
  /// The path as one word of a command line.
  String ShellPath() { return String::Adopt(FileShellPathGetter(self())); }
  /// A new Date in local time from the last write; TotalSeconds 0 when the
  /// item does not exist.
  Ref<Date> ModificationDate() { return Ref<Date>::Adopt(folderGetModified(self())); }
  bool Visible() { return fileVisibleGetter(self()); }
  bool IsSymbolicLink() { return FolderItemIsSymbolicLink(self()); }
  bool IsWriteable() { return FolderItemIsCurrentlyWriteable(self()); }
  int32_t LastErrorCode() { return FolderItemGetLastError(self()); }
  void LastErrorCode(int32_t code) { FolderItemSetLastError(self(), code); }

  /// The operations: true on success, else LastErrorCode says why.
  bool Delete() { return FolderItemDelete(self()); }
  bool CreateAsFolder() { return FolderItemCreateAsFolder(self()); }
  /// Never replace an existing target; NilObjectException for a nil one.
  bool CopyFileTo(const Ref<FolderItem> &destination) {
    return FolderItemCopyFileTo(self(), destination.object());
  }
  bool MoveFileTo(const Ref<FolderItem> &destination) {
    return FolderItemMoveFileTo(self(), destination.object());
  }

  /// The openers: nil on failure, with the platform's error in LastErrorCode.
  Ref<TextInputStream> OpenAsTextFile() {
    return Ref<TextInputStream>::Adopt(FolderItemOpenTextFile(self()));
  }
  Ref<TextOutputStream> CreateTextFile() {
    return Ref<TextOutputStream>::Adopt(FolderItemCreateTextFile(self()));
  }
  Ref<TextOutputStream> AppendToTextFile() {
    return Ref<TextOutputStream>::Adopt(FolderItemAppendTextFile(self()));
  }
  Ref<BinaryStream> OpenAsBinaryFile(bool readWrite) {
    return Ref<BinaryStream>::Adopt(FolderItemOpenBinaryFile(self(), readWrite));
  }
  Ref<BinaryStream> CreateBinaryFile(const String &type) {
    return Ref<BinaryStream>::Adopt(FolderItemCreateBinaryFile(self(), type.get()));
  }

 private:
  CORVobject self() { return reinterpret_cast<CORVobject>(this); }
  static Ref<FolderItem> Made(CORVobject made) { return Ref<FolderItem>::Adopt(made); }
};
static_assert(sizeof(FolderItem) == sizeof(CORVfolderItem));

/// GetFolderItem(path, mode): mode 0 native path, 1 shell path, 2 "file://"
/// URL; nil when the path cannot name an item.
inline Ref<FolderItem> GetFolderItem(const String &path, int32_t mode = 0) {
  return Ref<FolderItem>::Adopt(RuntimeGetFolderItem(path.get(), mode));
}
/// A new empty file with a unique name in the temporary folder.
inline Ref<FolderItem> GetTemporaryFolderItem() {
  return Ref<FolderItem>::Adopt(getTemporaryFolderItem());
}
/// The index-th volume from 0; nil past the last.
inline Ref<FolderItem> Volume(int32_t index) {
  return Ref<FolderItem>::Adopt(getVolume(index));
}
/// A well-known folder by its code; nil when the platform has none.
inline Ref<FolderItem> GetSpecialFolder(int32_t volume, int32_t code) {
  return Ref<FolderItem>::Adopt(::GetSpecialFolder(volume, code));
}

}  // namespace corv
