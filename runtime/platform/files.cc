// What the platform's file calls give the same way on every platform.
#include "platform/executable.h"
#include "platform/file_handle.h"

namespace corv::platform {

bool ReadWholeFile(const std::string &path, std::vector<uint8_t> *bytes) {
  bytes->clear();
  ReadableFile file(path);
  if (!file.IsOpen()) return false;
  uint64_t size = file.Size();
  bytes->resize(size);
  return size == 0 || file.ReadAt(0, bytes->data(), size);
}

bool FindSection(const std::string &path, const char *name, FileSection *section) {
  ReadableFile file(path);
  return FindSection(file, name, section);
}

Result<FileHandle> OpenFile(const std::string &path, OpenMode mode) {
  auto opened = OpenAndDescribeFile(path, mode);
  if (!opened.ok()) return Result<FileHandle>::Failure(opened.error);
  return Result<FileHandle>::Success(opened.value.handle);
}

}  // namespace corv::platform
