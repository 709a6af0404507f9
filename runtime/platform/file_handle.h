// Open files: opening, reading, writing, positioning and closing handles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/result.h"

namespace corv::platform {

/// A platform file handle; kNoFile when none is open.
using FileHandle = intptr_t;
inline constexpr FileHandle kNoFile = -1;

/// The end of a line in the platform's text files.
extern const char kLineTerminator[];

enum class OpenMode {
  kRead,       ///< an existing file, reading only
  kReadWrite,  ///< an existing file, reading and writing
  kCreate,     ///< a new empty file (an existing one is emptied), reading and writing
};

Result<FileHandle> OpenFile(const std::string &path, OpenMode mode);
/// Reads up to `count` bytes; fewer only at the end of the file.
Result<size_t> ReadFile(FileHandle file, void *buffer, size_t count);
/// Reads what one platform call gives, up to `count` bytes: at least one
/// byte unless at the end of the file (for filling a read-ahead buffer).
Result<size_t> ReadSomeOfFile(FileHandle file, void *buffer, size_t count);
/// Writes all `count` bytes or fails.
Status WriteFile(FileHandle file, const void *buffer, size_t count);
/// Writes all `count` bytes at `offset` without moving the handle's own
/// position, or fails; `*written` is how many were written either way.
Status WriteFileAt(FileHandle file, int64_t offset, const void *buffer, size_t count,
                   size_t *written);
Status SeekFile(FileHandle file, int64_t offset);
Result<int64_t> FilePosition(FileHandle file);
Result<int64_t> FileLength(FileHandle file);
/// Cuts or extends the file; the position stays where it was.
Status SetFileLength(FileHandle file, int64_t length);
/// Hands the file's written data to the device.
Status FlushFile(FileHandle file);
Status CloseFile(FileHandle file);

/// What names an open file however it was reached: two handles on the same
/// file have the same identity while both are open.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
};

/// An open file and what the open saw of it: the look that refuses a
/// folder gives its identity and its length at that moment as well.
struct OpenedFile {
  FileHandle handle = kNoFile;
  bool described = false;  ///< identity and length were read
  FileIdentity identity;
  int64_t length = 0;
};
Result<OpenedFile> OpenAndDescribeFile(const std::string &path, OpenMode mode);

/// The number of file handles this process has open (for leak checks).
int OpenFileHandleCount();

}  // namespace corv::platform
