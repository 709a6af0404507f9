// Windows: the executable's module path, file reads at explicit positions,
// and the section table of PE files.
#include "platform/executable.h"

#include <windows.h>

#include <cstring>

#include "platform/pe_resources.h"
#include "platform/windows/wide.h"

namespace corv::platform {

std::string ExecutablePath() {
  static const std::string path = [] {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
      DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
      if (length == 0) return std::string();
      if (length < buffer.size()) return Narrow(std::wstring_view(buffer.data(), length));
      buffer.resize(buffer.size() * 2);  // a long path ("\\?\" form)
    }
  }();
  return path;
}

// A folder of a drive's root is "C:" here, as everywhere in the runtime.
std::string ExecutableFolder() {
  std::string path = ExecutablePath();
  size_t separator = path.rfind('\\');
  if (separator == std::string::npos) return "C:";
  return path.substr(0, separator);
}

char PathSeparator() {
  return '\\';
}

bool ItemExists(const std::string &path, bool folder) {
  DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  return folder == ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
}

ReadableFile::ReadableFile(const std::string &path) {
  HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  handle_ = handle == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(handle);
}

ReadableFile::~ReadableFile() {
  if (IsOpen()) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

uint64_t ReadableFile::Size() const {
  LARGE_INTEGER size;
  if (!IsOpen() || !GetFileSizeEx(reinterpret_cast<HANDLE>(handle_), &size) || size.QuadPart < 0)
    return 0;
  return static_cast<uint64_t>(size.QuadPart);
}

bool ReadableFile::ReadAt(uint64_t offset, void *buffer, uint64_t length) const {
  auto *out = static_cast<char *>(buffer);
  while (length > 0) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD piece = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
    DWORD got = 0;
    if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), out, piece, &got, &at) || got == 0)
      return false;
    out += got;
    offset += got;
    length -= got;
  }
  return true;
}

// Windows keeps what the image needs in the executable's resources: the
// "PICKLE" and "LOADER" resources are looked up by type.
bool FindSection(const ReadableFile &file, const char *name, FileSection *section) {
  return FindPeResource(file, name, section);
}

}  // namespace corv::platform
