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
/// identity could not be read gets a counter of its own.
FileChanges *AcquireChanges(const platform::OpenedFile &opened) {
  if (!opened.described) {
    auto *own = new FileChanges;
    own->users = 1;
    return own;
  }
  auto key = std::make_pair(opened.identity.device, opened.identity.inode);
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

uint64_t ChangeCount(const FilePrimitive *f) {
  return f->changes->count.load(std::memory_order_acquire);
}

bool LengthKnown(const FilePrimitive *f) {
  return f->length >= 0 && f->lengthSeen == ChangeCount(f);
}

/// Tells every primitive on the file that its content or length changed
/// through `f`. `length` is the file's length after the change, or -1 when
/// unknown; it is kept only when `f` knew the length just before, that is
/// when nobody else changed the file since. The file lock is held.
void NoteChange(FilePrimitive *f, int64_t length) {
  uint64_t before = f->changes->count.fetch_add(1, std::memory_order_acq_rel);
  bool knew = f->length >= 0 && f->lengthSeen == before;
  f->length = knew ? length : -1;
  f->lengthSeen = before + 1;
}

bool Holds(const FilePrimitive *f) {
  return f->count > 0;
}

bool Stale(const FilePrimitive *f) {
  return f->seenChanges != ChangeCount(f);
}

template <class Result>
bool Check(FilePrimitive *f, const Result &result) {
  if (!result.ok()) f->lastError = result.error;
  return result.ok();
}

/// Moves the platform's offset to the logical position when a seek is
/// pending; the offset is unknown after a failure. The file lock is held.
bool ApplySeek(FilePrimitive *f) {
  int64_t to = f->seekTo;
  if (to < 0) return true;
  f->seekTo = -1;
  if (f->offset == to) return true;  // already there
  bool ok = Check(f, platform::SeekFile(f->handle, to));
  f->offset = ok ? to : -1;
  return ok;
}

/// Makes `to` the logical position, leaving the platform's offset where it
/// is until a read or write needs it. No window is held.
void SetLogicalPosition(FilePrimitive *f, int64_t to) {
  f->seekTo = to == f->offset ? -1 : to;
}

/// True when the platform's offset is known, asking for it if need be. The
/// file lock is held.
bool KnowOffset(FilePrimitive *f) {
  if (f->offset >= 0) return true;
  auto position = platform::FilePosition(f->handle);
  if (Check(f, position)) f->offset = position.value;
  return f->offset >= 0;
}

/// The length as the platform gives it now (0 on failure). The file lock is
/// held.
int64_t AskLength(FilePrimitive *f) {
  uint64_t seen = ChangeCount(f);  // read first: a change made meanwhile shows later
  auto length = platform::FileLength(f->handle);
  f->length = Check(f, length) ? length.value : -1;
  f->lengthSeen = seen;
  return std::max<int64_t>(f->length, 0);
}

/// Forgets the window, keeping the logical position. The file lock is held.
void DropWindow(FilePrimitive *f) {
  if (!Holds(f)) return;
  int64_t position = f->start + f->used;
  f->used = f->count = 0;
  SetLogicalPosition(f, position);
}

/// Writes at the logical position. After a seek the bytes go to their
/// place directly, without moving the platform's offset first; should that
/// fail at once (a pipe or device that has no places), the offset is moved
/// and the write made as usual. The file lock is held.
bool WriteAtPosition(FilePrimitive *f, const void *buffer, size_t count) {
  if (f->seekTo >= 0) {
    size_t written = 0;
    platform::Status status = platform::WriteFileAt(f->handle, f->seekTo, buffer, count, &written);
    if (status.ok() || written > 0) {
      f->seekTo += static_cast<int64_t>(written);
      return Check(f, status);
    }
    ApplySeek(f);  // should even this fail, the write goes where the offset is, as it would
  }
  int64_t at = f->offset;
  bool ok = Check(f, platform::WriteFile(f->handle, buffer, count));
  // A failure may have written part: the offset is asked for next time.
  f->offset = ok && at >= 0 ? at + static_cast<int64_t>(count) : -1;
  return ok;
}

/// Reads into the caller's buffer, past the window. The file lock is held.
size_t ReadDirect(FilePrimitive *f, uint8_t *to, size_t count) {
  auto read = platform::ReadFile(f->handle, to, count);
  if (!Check(f, read)) {
    f->offset = -1;  // some may have been read
    return 0;
  }
  f->offset += static_cast<int64_t>(read.value);
  if (read.value < count) f->length = -1;  // the end came sooner than known: ask next time
  return read.value;
}

}  // namespace

CORVfilePrimitive *OpenFile(const std::string &path, platform::OpenMode mode, int *error) {
  auto opened = platform::OpenAndDescribeFile(path, mode);
  *error = opened.error;
  if (!opened.ok()) return nullptr;
  auto *file = new FilePrimitive{};
  file->handle = opened.value.handle;
  file->created = mode == platform::OpenMode::kCreate;
  std::lock_guard<std::mutex> lock(gFileLock);
  file->changes = AcquireChanges(opened.value);
  // The length the open saw holds unless another primitive on the file
  // could have changed it since.
  if (opened.value.described && file->changes->users == 1) {
    file->length = opened.value.length;
    file->lengthSeen = ChangeCount(file);
  }
  if (mode == platform::OpenMode::kCreate) NoteChange(file, 0);  // an existing file was emptied
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

  // The window is used up: the platform's offset, at its end, is the
  // logical position unless a seek is pending.
  f->used = f->count = 0;
  if (!ApplySeek(f) || !KnowOffset(f)) return got;
  size_t rest = count - got;
  // Large reads, and reads of the rest of the file, gain nothing from
  // read-ahead: they go straight to the caller. The rest of a file is asked
  // for as it is known, so that no second platform read finds the end; at
  // or past the known end the platform is asked for whatever it has.
  bool known = LengthKnown(f);
  if (known && f->offset < f->length && f->offset + static_cast<int64_t>(rest) >= f->length)
    return got + ReadDirect(f, to + got, static_cast<size_t>(f->length - f->offset));
  if (rest >= kReadAheadSize || (known && f->offset >= f->length))
    return got + ReadDirect(f, to + got, rest);
  if (!f->window) f->window = static_cast<uint8_t *>(std::malloc(kReadAheadSize));
  if (!f->window) return got + ReadDirect(f, to + got, rest);
  while (rest > 0) {
    f->seenChanges = ChangeCount(f);
    auto read = platform::ReadSomeOfFile(f->handle, f->window, kReadAheadSize);
    if (!Check(f, read)) {
      f->offset = -1;
      break;
    }
    if (read.value == 0) {  // the end of the file, wherever the known length put it
      f->length = -1;
      break;
    }
    f->start = f->offset;
    f->count = static_cast<uint32_t>(read.value);
    f->offset += static_cast<int64_t>(read.value);
    size_t n = std::min<size_t>(rest, f->count);
    std::memcpy(to + got, f->window, n);
    f->used = static_cast<uint32_t>(n);
    got += n;
    rest -= n;
  }
  return got;
}

bool WriteFile(CORVfilePrimitive *file, const void *buffer, size_t count) {
  FilePrimitive *f = Primitive(file);
  std::lock_guard<std::mutex> lock(gFileLock);
  DropWindow(f);
  bool ok = WriteAtPosition(f, buffer, count);
  int64_t end = f->seekTo >= 0 ? f->seekTo : f->offset;
  NoteChange(f, ok && end >= 0 ? std::max(f->length, end) : -1);
  return ok;
}

bool SeekFile(CORVfilePrimitive *file, int64_t offset) {
  FilePrimitive *f = Primitive(file);
  std::lock_guard<std::mutex> lock(gFileLock);
  if (Holds(f) && !Stale(f) && offset >= f->start && offset <= f->start + f->count) {
    f->used = static_cast<uint32_t>(offset - f->start);  // inside the window: no platform call
    return true;
  }
  f->used = f->count = 0;
  SetLogicalPosition(f, offset);
  return true;
}

int64_t FilePosition(CORVfilePrimitive *file) {
  FilePrimitive *f = Primitive(file);
  if (Holds(f)) return f->start + f->used;
  std::lock_guard<std::mutex> lock(gFileLock);
  if (f->seekTo >= 0) return f->seekTo;
  return KnowOffset(f) ? f->offset : 0;
}

int64_t FileLength(CORVfilePrimitive *file) {
  FilePrimitive *f = Primitive(file);
  std::lock_guard<std::mutex> lock(gFileLock);
  return LengthKnown(f) ? f->length : AskLength(f);
}

bool SetFileLength(CORVfilePrimitive *file, int64_t length) {
  FilePrimitive *f = Primitive(file);
  std::lock_guard<std::mutex> lock(gFileLock);
  DropWindow(f);
  bool ok = Check(f, platform::SetFileLength(f->handle, length));
  NoteChange(f, ok ? length : -1);
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

int64_t FileBytesLeft(CORVfilePrimitive *file) {
  FilePrimitive *f = Primitive(file);
  int64_t position = FilePosition(file);
  std::lock_guard<std::mutex> lock(gFileLock);
  int64_t left = LengthKnown(f) ? f->length - position : 0;
  // At the known end another process may have added more: ask.
  return left > 0 ? left : AskLength(f) - position;
}

bool FileAtEnd(CORVfilePrimitive *file) {
  FilePrimitive *f = Primitive(file);
  if (f->used < f->count && !Stale(f)) return false;  // bytes are held beyond the position
  // Asked each time: EOF is how a reader learns that another process added
  // to the file or cut it.
  int64_t position = FilePosition(file);
  std::lock_guard<std::mutex> lock(gFileLock);
  return position >= AskLength(f);
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
