// Attributes, times and access of items on Windows: the attributes of a
// path, the identity and change time from a handle opened for nothing but
// querying, and the access check against the item's security descriptor.
#include "platform/file_info.h"

#include <aclapi.h>
#include <windows.h>

#include "platform/path.h"
#include "platform/windows/wide.h"

namespace corv::platform {
namespace {

constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

FileTime TimeOf(uint64_t ticks) {  // 100 ns since 1601
  int64_t units = static_cast<int64_t>(ticks) - kSecondsFrom1601To1970 * 10000000LL;
  int64_t seconds = units / 10000000LL, rest = units % 10000000LL;
  if (rest < 0) {
    rest += 10000000LL;
    --seconds;
  }
  return {seconds, rest * 100};
}

FileTime TimeOf(const FILETIME &time) {
  return TimeOf((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
}

FILETIME FileTimeOf(FileTime time) {
  uint64_t ticks = static_cast<uint64_t>((time.seconds + kSecondsFrom1601To1970) * 10000000LL +
                                         time.nanoseconds / 100);
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// A handle that only reads attributes: it neither blocks nor is blocked by
// other opens, and folders open with backup semantics.
HANDLE QueryHandle(const std::wstring &path, DWORD access) {
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Whether the current user holds `rights` on the item by its security
// descriptor, as the system's own check decides.
bool HasAccess(const std::wstring &path, DWORD rights) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(
          path.c_str(), SE_FILE_OBJECT,
          OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
          nullptr, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return false;
  bool granted = false;
  HANDLE token = nullptr;
  if (ImpersonateSelf(SecurityImpersonation)) {
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
      GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE,
                                 FILE_ALL_ACCESS};
      MapGenericMask(&rights, &mapping);
      PRIVILEGE_SET privileges = {};
      DWORD privilegesLength = sizeof privileges;
      DWORD grantedRights = 0;
      BOOL status = FALSE;
      if (AccessCheck(descriptor, token, rights, &mapping, &privileges, &privilegesLength,
                      &grantedRights, &status))
        granted = status != FALSE;
      CloseHandle(token);
    }
    RevertToSelf();
  }
  LocalFree(descriptor);
  return granted;
}

}  // namespace

Result<FileInfo> ReadFileInfo(const std::string &path) {
  std::wstring wide = Wide(path);
  WIN32_FILE_ATTRIBUTE_DATA data;
  FileInfo info;
  if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
    DWORD error = GetLastError();
    // Missing in an existing folder; a missing folder on the way fails.
    if (error == ERROR_FILE_NOT_FOUND) return Result<FileInfo>::Success(info);
    return Result<FileInfo>::Failure(static_cast<int>(error));
  }
  info.exists = true;
  info.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.isSymlink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  info.modified = TimeOf(data.ftLastWriteTime);
  info.changed = info.modified;
  HANDLE handle = QueryHandle(wide, FILE_READ_ATTRIBUTES);
  if (handle != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION identity;
    if (GetFileInformationByHandle(handle, &identity)) {
      info.device = identity.dwVolumeSerialNumber;
      info.inode = (uint64_t{identity.nFileIndexHigh} << 32) | identity.nFileIndexLow;
    }
    FILE_BASIC_INFO basic;
    if (GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
      info.changed = TimeOf(static_cast<uint64_t>(basic.ChangeTime.QuadPart));
    CloseHandle(handle);
  }
  return Result<FileInfo>::Success(info);
}

bool IsAccessible(const std::string &path, bool write) {
  std::string item = path;
  for (;;) {
    if (GetFileAttributesW(Wide(item).c_str()) != INVALID_FILE_ATTRIBUTES) break;
    std::string parent(PathParent(item));
    if (parent.empty() || parent == item) return false;
    item = parent;
  }
  std::wstring wide = Wide(item);
  // A drive root stands as "C:" in our paths; the system wants "C:\".
  if (IsVolumeRoot(item)) wide += L'\\';
  // A read-only file refuses writing whatever its permissions say.
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (write && (attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  return HasAccess(wide, write ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ);
}

FileTime FileSystemClock() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return TimeOf(now);
}

Status SetModificationTime(const std::string &path, FileTime time) {
  HANDLE handle = QueryHandle(Wide(path), FILE_WRITE_ATTRIBUTES);
  if (handle == INVALID_HANDLE_VALUE) return Status{static_cast<int>(GetLastError())};
  FILETIME stamp = FileTimeOf(time);
  Status status;
  if (!SetFileTime(handle, nullptr, &stamp, &stamp))
    status = Status{static_cast<int>(GetLastError())};
  CloseHandle(handle);
  return status;
}

Status SetWritable(const std::string &path, bool writable) {
  std::wstring wide = Wide(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Status{static_cast<int>(GetLastError())};
  attributes = writable ? attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}
                        : attributes | FILE_ATTRIBUTE_READONLY;
  if (!SetFileAttributesW(wide.c_str(), attributes))
    return Status{static_cast<int>(GetLastError())};
  return Status{};
}

}  // namespace corv::platform
