// The file primitive: platform file calls under the process-wide file lock,
// the read-ahead window and the change counters shared per file.
#include "lib/stream_file.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

#include "corv.h"

namespace corv::stream {
namespace {

std::mutex gFileLock;  // shared with plugin code that reads or writes files

// The change counters of the files that primitives have open, by device and
// inode. Guarded by the file lock.
std::map<std::pair<uint64_t, uint64_t>, FileChanges *> &ChangeTable() {
  static auto *table = new std::map<std::pair<uint64_t, uint64_t>, FileChanges *>;
  return *table;
}

/// The shared counter of the open file, one more user counted. A file whose
/// identity cannot be read gets a counter of its own.
FileChanges *AcquireChanges(platform::FileHandle handle) {
  auto identity = platform::IdentifyFile(handle);
  if (!identity.ok()) {
    auto *own = new FileChanges;
    own->users = 1;
    return own;
  }
  auto key = std::make_pair(identity.value.device, identity.value.inode);
  FileChanges *&entry = ChangeTable()[key];
  if (!entry) {
    entry = new FileChanges;
    entry->device = key.first;
    entry->inode = key.second;
    entry->listed = true;
  }
  ++entry->users;
  return entry;
}

void ReleaseChanges(FileChanges *changes) {
  if (--changes->users > 0) return;
  if (changes->listed) ChangeTable().erase({changes->device, changes->inode});
  delete changes;
}

/// Tells every primitive on the file that its content or length changed.
void NoteChange(FilePrimitive *f) {
  f->changes->count.fetch_add(1, std::memory_order_release);
}

bool Holds(const FilePrimitive *f) {
  return f->count > 0;
}

bool Stale(const FilePrimitive *f) {
  return f->seenChanges != f->changes->count.load(std::memory_order_acquire);
}

/// Forgets the window, putting the platform's offset back at the logical
/// position. The file lock is held.
void DropWindow(FilePrimitive *f) {
  if (!Holds(f)) return;
  if (f->used < f->count) {
    platform::Status status = platform::SeekFile(f->handle, f->start + f->used);
    if (!status.ok()) f->lastError = status.error;
  }
  f->used = f->count = 0;
}

template <class Result>
bool Check(FilePrimitive *f, const Result &result) {
  if (!result.ok()) f->lastError = result.error;
  return result.ok();
}

}  // namespace

CORVfilePrimitive *OpenFile(const std::string &path, platform::OpenMode mode, int *error) {
  auto opened = platform::OpenFile(path, mode);
  *error = opened.error;
  if (!opened.ok()) return nullptr;
  auto *file = new FilePrimitive{};
  file->handle = opened.value;
  file->created = mode == platform::OpenMode::kCreate;
  std::lock_guard<std::mutex> lock(gFileLock);
  file->changes = AcquireChanges(file->handle);
  if (mode == platform::OpenMode::kCreate) NoteChange(file);  // an existing file was emptied
  return file;
}

int32_t CloseFile(CORVfilePrimitive *file) {
  if (!file) return 0;
  FilePrimitive *f = Primitive(file);
  if (f->handle != platform::kNoFile) {
    platform::Status status = platform::CloseFile(f->handle);
    if (!status.ok()) f->lastError = status.error;
  }
  {
    std::lock_guard<std::mutex> lock(gFileLock);
    ReleaseChanges(f->changes);
  }
  int32_t error = f->lastError;
  std::free(f->window);
  delete f;
  return error;
}

size_t ReadFileFromDisk(CORVfilePrimitive *file, void *buffer, size_t count) {
  FilePrimitive *f = Primitive(file);
  auto *to = static_cast<uint8_t *>(buffer);
  std::lock_guard<std::mutex> lock(gFileLock);
  if (Holds(f) && Stale(f)) DropWindow(f);

  size_t got = std::min<size_t>(count, f->count - f->used);
  if (got > 0) std::memcpy(to, f->window + f->used, got);
  f->used += static_cast<uint32_t>(got);
  if (got == count) return got;

  // The window is used up: the platform's offset is at its end.
  int64_t next;
  if (Holds(f)) {
    next = f->start + f->count;
    f->used = f->count = 0;
  } else {
    auto position = platform::FilePosition(f->handle);
    if (!Check(f, position)) return got;
    next = position.value;
  }
  size_t rest = count - got;
  if (rest >= kReadAheadSize) {  // large reads go straight to the caller
    auto read = platform::ReadFile(f->handle, to + got, rest);
    return Check(f, read) ? got + read.value : got;
  }
  if (!f->window) f->window = static_cast<uint8_t *>(std::malloc(kReadAheadSize));
  if (!f->window) {
    auto read = platform::ReadFile(f->handle, to + got, rest);
    return Check(f, read) ? got + read.value : got;
  }
  f->seenChanges = f->changes->count.load(std::memory_order_acquire);
  auto read = platform::ReadFile(f->handle, f->window, kReadAheadSize);
  if (!Check(f, read)) return got;
  f->start = next;
  f->count = static_cast<uint32_t>(read.value);
  size_t n = std::min<size_t>(rest, f->count);
  std::memcpy(to + got, f->window, n);
  f->used = static_cast<uint32_t>(n);
  return got + n;
}

bool WriteFile(CORVfilePrimitive *file, const void *buffer, size_t count) {
  FilePrimitive *f = Primitive(file);
  std::lock_guard<std::mutex> lock(gFileLock);
  DropWindow(f);
  bool ok = Check(f, platform::WriteFile(f->handle, buffer, count));
  NoteChange(f);  // even a failed write may have written part
  return ok;
}

bool SeekFile(CORVfilePrimitive *file, int64_t offset) {
  FilePrimitive *f = Primitive(file);
  std::lock_guard<std::mutex> lock(gFileLock);
  if (Holds(f) && !Stale(f) && offset >= f->start && offset <= f->start + f->count) {
    f->used = static_cast<uint32_t>(offset - f->start);  // inside the window: no platform call
    return true;
  }
  f->used = f->count = 0;  // the seek below sets the platform's offset anyway
  return Check(f, platform::SeekFile(f->handle, offset));
}

int64_t FilePosition(CORVfilePrimitive *file) {
  FilePrimitive *f = Primitive(file);
  if (Holds(f)) return f->start + f->used;
  std::lock_guard<std::mutex> lock(gFileLock);
  auto position = platform::FilePosition(f->handle);
  return Check(f, position) ? position.value : 0;
}

int64_t FileLength(CORVfilePrimitive *file) {
  FilePrimitive *f = Primitive(file);
  auto length = platform::FileLength(f->handle);
  return Check(f, length) ? length.value : 0;
}

bool SetFileLength(CORVfilePrimitive *file, int64_t length) {
  FilePrimitive *f = Primitive(file);
  std::lock_guard<std::mutex> lock(gFileLock);
  DropWindow(f);
  bool ok = Check(f, platform::SetFileLength(f->handle, length));
  NoteChange(f);
  return ok;
}

bool FlushFile(CORVfilePrimitive *file) {
  FilePrimitive *f = Primitive(file);
  {
    std::lock_guard<std::mutex> lock(gFileLock);
    DropWindow(f);
  }
  return Check(f, platform::FlushFile(f->handle));
}

bool FileAtEnd(CORVfilePrimitive *file) {
  FilePrimitive *f = Primitive(file);
  if (f->used < f->count && !Stale(f)) return false;  // bytes are held beyond the position
  return FilePosition(file) >= FileLength(file);
}

size_t SharedChangeCounters() {
  std::lock_guard<std::mutex> lock(gFileLock);
  return ChangeTable().size();
}

uint32_t EncodingCodeOf(CORVobject encoding) {
  if (!encoding) return kEncodingUnknown;
  return reinterpret_cast<CORVtextEncoding *>(encoding)->code;
}

uint32_t ReadEncoding(CORVobject argument, CORVobject streamEncoding) {
  if (argument) return EncodingCodeOf(argument);
  if (streamEncoding) return EncodingCodeOf(streamEncoding);
  return kEncodingUnknown;
}

}  // namespace corv::stream
