// The file primitive under every stream: a platform handle, its last error,
// a read-ahead window, the position and length it knows, and the
// process-wide file lock held around each platform call.
//
// Read-ahead: a primitive holds up to kReadAheadSize bytes of its file from
// the logical position on, so that the streams' small reads do not each cost
// a platform call. While bytes are held the platform's offset is the end of
// the window (start + count) and the logical position is start + used; every
// write, truncation, flush and seek outside the window drops the window
// first, keeping the logical position.
// Primitives open on the same file (device and inode) share one change
// counter that every write, truncation and re-creation through any of them
// bumps; a window filled at another count is stale and is dropped before
// its bytes are used. Changes made past the runtime (another process) show
// once the window is refilled, as with any buffered reader.
//
// Position: only the primitive moves its handle's offset, so it follows
// the offset itself (`offset`, -1 when a failed call left it unknown)
// instead of asking the platform. A seek only records the new logical
// position (`seekTo`); the next read moves the platform's offset there and
// the next write goes straight to that place, so that rewriting the end of
// a file after each append costs no seek.
//
// Length: learnt when the file is opened, then following the primitive's
// own writes and truncations; trusted only while the change counter stands
// where it was when the length was learnt, so a change through any other
// primitive makes the platform be asked again. Streams open files sharing
// reading only, so a file is expected to be written by one process at a
// time; should another process grow or cut it anyway, EOF (which asks the
// platform whenever no bytes are held) and a read that starts at the known
// end, or meets the end sooner than known, learn the new length, so reading
// until EOF gives what the file holds.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "corv_runtime.h"
#include "corv_stream.h"
#include "platform/file_handle.h"

namespace corv::stream {

inline constexpr uint32_t kReadAheadSize = 64 * 1024;

/// The change counter of one file, shared by the primitives open on it.
struct FileChanges {
  uint64_t device = 0, inode = 0;
  bool listed = false;  // in the process-wide table (the file's identity is known)
  int32_t users = 0;    // primitives holding it; the table's lock guards this
  std::atomic<uint64_t> count{0};
};

/// The runtime's file primitive: the C fields, then the read-ahead.
struct FilePrimitive : CORVfilePrimitive {
  FileChanges *changes = nullptr;
  int64_t offset = 0;         // the platform's offset; -1 when not known
  int64_t seekTo = -1;        // the logical position when a seek is pending (no window held)
  int64_t length = -1;        // the file's length; -1 when not known
  uint64_t lengthSeen = 0;    // the counter when `length` was learnt
  uint64_t seenChanges = 0;   // the counter when the window was filled
  int64_t start = 0;          // file offset of window[0]; meaningful while count > 0
  uint32_t used = 0;          // window bytes already handed out
  uint32_t count = 0;         // valid bytes in the window
  uint8_t *window = nullptr;  // kReadAheadSize bytes, made on the first read
};

inline FilePrimitive *Primitive(CORVfilePrimitive *file) {
  return static_cast<FilePrimitive *>(file);
}

/// A new open primitive, or null with the platform's error in `*error`.
CORVfilePrimitive *OpenFile(const std::string &path, platform::OpenMode mode, int *error);
/// Closes the file (when still open) and frees the primitive; gives the
/// last error.
int32_t CloseFile(CORVfilePrimitive *file);

/// Reads up to `count` bytes from the logical position; the count read
/// (short only at the end of the file or on failure). A read of the rest
/// of a file whose length is known goes straight into `buffer`.
size_t ReadFileFromDisk(CORVfilePrimitive *file, void *buffer, size_t count);
inline size_t ReadFile(CORVfilePrimitive *file, void *buffer, size_t count) {
  FilePrimitive *f = Primitive(file);
  // The common case: the window holds all of it and is still current.
  if (count > 0 && count <= f->count - f->used &&
      f->seenChanges == f->changes->count.load(std::memory_order_acquire)) {
    std::memcpy(buffer, f->window + f->used, count);
    f->used += static_cast<uint32_t>(count);
    return count;
  }
  return ReadFileFromDisk(file, buffer, count);
}

bool WriteFile(CORVfilePrimitive *file, const void *buffer, size_t count);
bool SeekFile(CORVfilePrimitive *file, int64_t offset);
/// The logical position: where the next read or write happens.
int64_t FilePosition(CORVfilePrimitive *file);
int64_t FileLength(CORVfilePrimitive *file);
/// Sets the length; the position stays where it was.
bool SetFileLength(CORVfilePrimitive *file, int64_t length);
bool FlushFile(CORVfilePrimitive *file);
/// The length less the logical position (negative past the end); the
/// platform is asked for the length when the known one gives 0 or less.
int64_t FileBytesLeft(CORVfilePrimitive *file);
/// True when the logical position is at or past the length.
bool FileAtEnd(CORVfilePrimitive *file);

/// The number of files whose change counter is held by open primitives
/// (for leak checks).
size_t SharedChangeCounters();

/// The stream record behind an entry point's argument. A nil stream is
/// reported ("stream") and gives null, which every entry point then treats
/// like a closed stream.
template <class Stream>
Stream *StreamRecord(CORVobject stream) {
  if (!stream) CORV_REPORT("stream", nullptr);
  return reinterpret_cast<Stream *>(stream);
}
/// Close: the file goes, its last error stays for LastErrorCode.
template <class Stream>
void CloseStream(Stream *s) {
  if (!s || !s->file) return;
  s->keptError = CloseFile(s->file);
  s->file = nullptr;
}
/// LastErrorCode: the open file's last error, else the one kept at Close.
template <class Stream>
int32_t LastStreamError(const Stream *s) {
  if (!s) return 0;
  return s->file ? s->file->lastError : s->keptError;
}

/// The code of a TextEncoding object; 0xFFFF for nil.
uint32_t EncodingCodeOf(CORVobject encoding);
/// The code strings read with `argument` get: the argument when given, else
/// the stream's own encoding when set, else 0xFFFF.
uint32_t ReadEncoding(CORVobject argument, CORVobject streamEncoding);

}  // namespace corv::stream
