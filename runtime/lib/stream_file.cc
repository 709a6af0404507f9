// The file primitive: platform file calls under the process-wide file lock.
#include "lib/stream_file.h"

#include <mutex>

#include "corv.h"

namespace corv::stream {
namespace {

std::mutex gFileLock;  // shared with plugin code that reads or writes files

template <class Call>
auto Locked(Call call) {
  std::lock_guard<std::mutex> lock(gFileLock);
  return call();
}

}  // namespace

CORVfilePrimitive *OpenFile(const std::string &path, platform::OpenMode mode, int *error) {
  auto opened = platform::OpenFile(path, mode);
  *error = opened.error;
  if (!opened.ok()) return nullptr;
  auto *file = new CORVfilePrimitive{};
  file->handle = opened.value;
  file->created = mode == platform::OpenMode::kCreate;
  return file;
}

int32_t CloseFile(CORVfilePrimitive *file) {
  if (!file) return 0;
  if (file->handle != platform::kNoFile) {
    platform::Status status = platform::CloseFile(file->handle);
    if (!status.ok()) file->lastError = status.error;
  }
  int32_t error = file->lastError;
  delete file;
  return error;
}

size_t ReadFile(CORVfilePrimitive *file, void *buffer, size_t count) {
  auto read = Locked([&] { return platform::ReadFile(file->handle, buffer, count); });
  if (!read.ok()) file->lastError = read.error;
  return read.ok() ? read.value : 0;
}

bool WriteFile(CORVfilePrimitive *file, const void *buffer, size_t count) {
  auto status = Locked([&] { return platform::WriteFile(file->handle, buffer, count); });
  if (!status.ok()) file->lastError = status.error;
  return status.ok();
}

bool SeekFile(CORVfilePrimitive *file, int64_t offset) {
  auto status = Locked([&] { return platform::SeekFile(file->handle, offset); });
  if (!status.ok()) file->lastError = status.error;
  return status.ok();
}

int64_t FilePosition(CORVfilePrimitive *file) {
  auto position = Locked([&] { return platform::FilePosition(file->handle); });
  if (!position.ok()) file->lastError = position.error;
  return position.ok() ? position.value : 0;
}

int64_t FileLength(CORVfilePrimitive *file) {
  auto length = platform::FileLength(file->handle);
  if (!length.ok()) file->lastError = length.error;
  return length.ok() ? length.value : 0;
}

bool SetFileLength(CORVfilePrimitive *file, int64_t length) {
  auto status = Locked([&] { return platform::SetFileLength(file->handle, length); });
  if (!status.ok()) file->lastError = status.error;
  return status.ok();
}

bool FlushFile(CORVfilePrimitive *file) {
  auto status = platform::FlushFile(file->handle);
  if (!status.ok()) file->lastError = status.error;
  return status.ok();
}

bool FileAtEnd(CORVfilePrimitive *file) {
  return FilePosition(file) >= FileLength(file);
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
