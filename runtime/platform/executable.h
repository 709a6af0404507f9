// The executable file and the files beside it: paths, whole-file reads and
// the named sections that carry the image's location.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_handle.h"

namespace corv::platform {

/// The absolute path of the running executable ("" when it cannot be found).
std::string ExecutablePath();
/// The folder that holds the running executable: absolute, without a trailing
/// separator, "/" when the executable cannot be found (so that names resolved
/// against it stay absolute).
std::string ExecutableFolder();
/// The separator between path components of native paths.
char PathSeparator();

/// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::string &path, std::vector<uint8_t> *bytes);
/// True when the path names an existing item (a folder when `folder`).
bool ItemExists(const std::string &path, bool folder);

/// A section of an executable file: where its bytes are in the file.
struct FileSection {
  uint64_t offset = 0;
  uint64_t size = 0;
};
/// Finds the part of an executable file that the image's location or the
/// image itself is kept in under that name ("PICKLE", "LOADER"): on POSIX
/// the ELF section of that name, on Windows the resource of that type.
/// False when the file is not such an executable or has no such part.
bool FindSection(const std::string &path, const char *name, FileSection *section);
class ReadableFile;
/// The same in a file already open.
bool FindSection(const ReadableFile &file, const char *name, FileSection *section);

/// A file opened for reading at explicit positions.
class ReadableFile {
 public:
  explicit ReadableFile(const std::string &path);
  ~ReadableFile();
  ReadableFile(const ReadableFile &) = delete;
  ReadableFile &operator=(const ReadableFile &) = delete;

  bool IsOpen() const { return handle_ != kNoFile; }
  uint64_t Size() const;
  /// Reads exactly `length` bytes at `offset`; false when they are not all there.
  bool ReadAt(uint64_t offset, void *buffer, uint64_t length) const;

 private:
  FileHandle handle_ = kNoFile;
};

}  // namespace corv::platform
