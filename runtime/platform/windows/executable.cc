// Windows: the executable's module path, file reads at explicit positions,
// and the section table of PE files.
#include "platform/executable.h"

#include <windows.h>

#include <cstring>

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

// A PE file: the DOS header points at the "PE" signature, after which come
// the file header, the optional header and the section table; a section's
// name is 8 bytes, padded with zeros.
bool FindSection(const ReadableFile &file, const char *name, FileSection *section) {
  if (!file.IsOpen() || std::strlen(name) > IMAGE_SIZEOF_SHORT_NAME) return false;
  IMAGE_DOS_HEADER dos;
  if (!file.ReadAt(0, &dos, sizeof dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0)
    return false;
  uint64_t at = static_cast<uint64_t>(dos.e_lfanew);
  DWORD signature;
  IMAGE_FILE_HEADER header;
  if (!file.ReadAt(at, &signature, sizeof signature) || signature != IMAGE_NT_SIGNATURE ||
      !file.ReadAt(at + sizeof signature, &header, sizeof header))
    return false;
  uint64_t table = at + sizeof signature + sizeof header + header.SizeOfOptionalHeader;
  for (WORD i = 0; i < header.NumberOfSections; ++i) {
    IMAGE_SECTION_HEADER candidate;
    if (!file.ReadAt(table + i * sizeof candidate, &candidate, sizeof candidate)) return false;
    char candidateName[IMAGE_SIZEOF_SHORT_NAME + 1] = {};
    std::memcpy(candidateName, candidate.Name, IMAGE_SIZEOF_SHORT_NAME);
    if (std::strcmp(candidateName, name) != 0) continue;
    if (candidate.SizeOfRawData == 0) return false;  // no bytes in the file
    section->offset = candidate.PointerToRawData;
    DWORD size = candidate.Misc.VirtualSize;
    section->size = size != 0 && size <= candidate.SizeOfRawData ? size : candidate.SizeOfRawData;
    return true;
  }
  return false;
}

}  // namespace corv::platform

// The executable's PICKLE section: kilnrun-image stamps the offset and length
// of the appended image into it. Unstamped, it begins with "PICK". `used`
// keeps it in every executable that contains the loader.
__attribute__((section("PICKLE"), used)) unsigned char corvPickleSection[8] = {'P', 'I', 'C', 'K',
                                                                               'L', 'E', 0,   0};
