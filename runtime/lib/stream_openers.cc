// The FolderItem openers of the file streams. "Locked" means the item
// exists and may not be written; openers then give nil.
#include "corv.h"
#include "corv/ref.h"
#include "corv_stream.h"
#include "lib/folder_item_internal.h"
#include "lib/folder_listing.h"
#include "lib/stream_file.h"
#include "platform/error_codes.h"
#include "platform/file_info.h"
#include "platform/path.h"

using namespace corv::folder_item;
using corv::Ref;
namespace platform = corv::platform;

namespace {

bool IsLocked(const std::string &path) {
  auto info = platform::ReadFileInfo(path);
  return info.ok() && info.value.exists && !platform::IsAccessible(path, true);
}

/// Opens the item's file; on failure the platform's own error number (not
/// a mapped code) goes to the item's LastErrorCode.
CORVfilePrimitive *Open(CORVfolderItemImp *imp, platform::OpenMode mode) {
  std::string path = PathOf(imp);
  int error = 0;
  CORVfilePrimitive *file;
  if (mode == platform::OpenMode::kCreate) {
    corv::FolderChange change(std::string(platform::PathParent(path)));
    file = corv::stream::OpenFile(path, mode, &error);
    change.Finish(std::string(platform::PathName(path)), true, file != nullptr);
    if (file) imp->created = 1;
  } else {
    file = corv::stream::OpenFile(path, mode, &error);
  }
  imp->lastError = error;
  return file;
}

template <class Stream>
CORVobject Wrap(const CORVclassDecl *decl, CORVfilePrimitive *file) {
  if (!file) return nullptr;
  Ref<Stream> stream = corv::New<Stream>(decl);
  stream->file = file;
  return corv::AsObject(stream.Leak());
}

CORVobject CreateText(CORVfolderItemImp *imp) {
  if (IsLocked(PathOf(imp))) {
    imp->lastError = platform::AccessDeniedError();
    return nullptr;
  }
  return Wrap<CORVtextOutputStream>(&kTextOutputStreamDecl, Open(imp, platform::OpenMode::kCreate));
}

}  // namespace

extern "C" CORVobject FolderItemOpenTextFile(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp) return nullptr;
  return Wrap<CORVtextInputStream>(&kTextInputStreamDecl, Open(imp, platform::OpenMode::kRead));
}

extern "C" CORVobject FolderItemCreateTextFile(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  return imp ? CreateText(imp) : nullptr;
}

extern "C" CORVobject FolderItemAppendTextFile(CORVobject item) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp) return nullptr;
  if (IsLocked(PathOf(imp))) {
    imp->lastError = platform::AccessDeniedError();
    return nullptr;
  }
  CORVfilePrimitive *file = Open(imp, platform::OpenMode::kReadWrite);
  if (!file) return CreateText(imp);
  corv::stream::SeekFile(file, corv::stream::FileLength(file));
  return Wrap<CORVtextOutputStream>(&kTextOutputStreamDecl, file);
}

extern "C" CORVobject FolderItemOpenBinaryFile(CORVobject item, bool readWrite) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp) return nullptr;
  auto mode = readWrite ? platform::OpenMode::kReadWrite : platform::OpenMode::kRead;
  return Wrap<CORVbinaryStream>(&kBinaryStreamDecl, Open(imp, mode));
}

extern "C" CORVobject FolderItemCreateBinaryFile(CORVobject item, CORVstring) {
  CORVfolderItemImp *imp = ImpOf(item);
  if (!imp) return nullptr;
  if (IsLocked(PathOf(imp))) {
    imp->lastError = platform::AccessDeniedError();
    return nullptr;
  }
  return Wrap<CORVbinaryStream>(&kBinaryStreamDecl, Open(imp, platform::OpenMode::kCreate));
}
