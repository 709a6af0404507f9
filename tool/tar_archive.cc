// TarArchive: an existing tar archive opened for listing, reading back and
// appending.
//
// Invariant between calls: the file is a sequence of members (header block,
// data padded to whole blocks) followed by `extraPadding` zero blocks, and
// `files` lists the members in file order. Each append writes the member
// over those trailing zero blocks and then exactly two zero blocks (cutting
// the file if they end before its old end), so the file on disk is always a
// complete archive. An append that fails puts the file back byte for byte
// as it was.
#include "tar_archive.h"

#include <algorithm>

#include "corv/class_decl.h"

namespace kilnrun {

using corv::FolderItem;
using corv::Ref;
using corv::String;

namespace {

constexpr int64_t kBlock = 512;

using TarFileArray = corv::Array<TarFile *>;

void TarArchiveInitializer(CORVobject obj) {
  reinterpret_cast<TarArchive *>(obj)->files = CreateArray(1, kCORVArrayObject, -1);
}

void TarArchiveFinalizer(CORVobject obj) {
  auto *self = reinterpret_cast<TarArchive *>(obj);
  RuntimeUnlockObject(self->fileBS);
  RuntimeUnlockObject(self->files);
  self->fileBS = self->files = nullptr;
}

// Zero bytes written in few calls: each write is a system call.
void ZeroFill(const Ref<corv::BinaryStream> &stream, int64_t count) {
  constexpr int64_t kChunk = 64 * kBlock;
  static const char kZeros[kChunk] = {};
  while (count > 0) {
    int64_t n = std::min(count, kChunk);
    stream->Write(String(std::string_view(kZeros, static_cast<size_t>(n)), kEncodingUnknown));
    count -= n;
  }
}

}  // namespace

const CORVclassDecl kTarArchiveDecl = corv::ClassDecl("TarArchive", sizeof(TarArchive))
                                          .Initializer(TarArchiveInitializer)
                                          .Finalizer(TarArchiveFinalizer);

Ref<corv::BinaryStream> TarArchive::Stream() {
  return Ref<corv::BinaryStream>::Share(fileBS);
}

bool TarArchive::Open(const Ref<FolderItem> &file) {
  if (!file) return false;
  Ref<corv::BinaryStream> stream = file->OpenAsBinaryFile(true);
  if (!stream) return false;
  RuntimeLockUnlockObjects(stream.object(), fileBS);
  fileBS = stream.object();
  auto members = TarFileArray::Share(files);
  members.Redim(-1);
  extraPadding = 0;
  int64_t length = stream->Length();
  int64_t at = 0;
  // Every step moves on by at least one block, and a member that does not
  // fit in the file ends the scan: a damaged archive is listed up to the
  // damage and never read outside the file.
  while (length - at >= kBlock) {
    stream->Position(at);
    auto member = corv::New<TarFile>(&kTarFileDecl);
    member->ReadHeader(stream);
    int64_t next = at + kBlock + member->GetDataBlockSize();
    if (member->IsEmpty()) {
      ++extraPadding;
    } else {
      if (at + kBlock + member->GetDataSize() > length) break;
      extraPadding = 0;
      members.Append(member);
    }
    at = next;
  }
  // Zero blocks followed by damage are not the end of the archive: an
  // append must not cut into what follows them.
  if (at < length) extraPadding = 0;
  stream->Position(length);
  return true;
}

void TarArchive::Close() {
  Ref<corv::BinaryStream> stream = Stream();
  if (stream) stream->Close();
  RuntimeUnlockObject(fileBS);
  fileBS = nullptr;
}

bool TarArchive::AddFile(const Ref<FolderItem> &item, const String &prefix) {
  if (!fileBS || !item) return false;
  if (item->Directory()) return AddFolder(item, prefix);
  return AddRegularFile(item, prefix);
}

bool TarArchive::AddRegularFile(const Ref<FolderItem> &item, const String &prefix) {
  if (!fileBS || !item) return false;
  auto member = corv::New<TarFile>(&kTarFileDecl);
  member->LoadFromFile(item);
  String name = prefix + String::Share(member->name);
  member->name = RuntimeLockUnlockStrings(name.get(), member->name);
  return AddFileToArchive(member);
}

bool TarArchive::CreateFolder(const String &path) {
  if (!fileBS) RaiseNilObjectException();
  auto member = corv::New<TarFile>(&kTarFileDecl);
  member->CreateDirectory(path);
  return AddFileToArchive(member);
}

bool TarArchive::AddFolder(const Ref<FolderItem> &folder, const String &prefix) {
  if (!folder || !folder->Directory()) return false;
  String inner = prefix + folder->Name() + "/";
  if (!CreateFolder(inner)) return false;
  int32_t count = folder->Count();
  for (int32_t i = 1; i <= count; ++i) {
    Ref<FolderItem> item = folder->TrueItem(i);
    if (!item) return false;
    // A link to a folder is passed over: it could loop the walk or lead it
    // out of the tree.
    bool added;
    if (!item->Directory())
      added = AddRegularFile(item, inner);
    else if (item->IsSymbolicLink())
      continue;
    else
      added = AddFolder(item, inner);
    if (!added) return false;
  }
  return true;
}

bool TarArchive::AddFileToArchive(const Ref<TarFile> &member) {
  Ref<corv::BinaryStream> stream = Stream();
  if (!stream) RaiseNilObjectException();
  if (!member) return false;
  int64_t length = stream->Length();
  int64_t start = length - extraPadding * kBlock;
  stream->Position(start);
  int32_t writtenAt = member->startPosition;
  // The member and the closing blocks are written over the old zero blocks
  // in one write; the file is cut only where they end before its old end.
  int64_t end = -1;
  if (member->Write(stream, 2 * kBlock))
    end = member->startPosition + kBlock + member->GetDataBlockSize() + 2 * kBlock;
  if (end < 0) {
    // Back to the archive as it was: its members, then its zero blocks.
    member->startPosition = writtenAt;
    stream->Length(start);
    stream->Position(start);
    ZeroFill(stream, length - start);
    stream->Flush();
    return false;
  }
  extraPadding = 2;
  if (end < length) {
    stream->Length(end);
    // Should the cut fail, what is left past the end is old zero blocks.
    extraPadding += static_cast<int32_t>((stream->Length() - end) / kBlock);
    stream->Position(end);
  }
  TarFileArray::Share(files).Append(member);
  return true;
}

String TarArchive::ReadFileData(const Ref<TarFile> &member) {
  Ref<corv::BinaryStream> stream = Stream();
  if (!stream || !member) RaiseNilObjectException();
  return member->ReadData(stream);
}

}  // namespace kilnrun
