// Folders on Windows: enumeration by FindFirstFileW/FindNextFileW, creating
// and removing folders and files.
#include "platform/directory.h"

#include <windows.h>
// The names of our own functions, not the system's wide or narrow ones.
#undef CreateSymbolicLink

#include "platform/path.h"
#include "platform/windows/wide.h"

namespace corv::platform {
namespace {

Status LastStatus() {
  return Status{static_cast<int>(GetLastError())};
}

// The system's form of one of our paths: a drive root is "C:\", not "C:".
std::wstring SystemPath(const std::string &path) {
  std::wstring wide = Wide(path);
  if (IsVolumeRoot(path) && !wide.empty() && wide.back() == L':') wide += L'\\';
  return wide;
}

DWORD Attributes(const std::string &path) {
  return GetFileAttributesW(SystemPath(path).c_str());
}

}  // namespace

Result<std::vector<std::string>> ListFolder(const std::string &path) {
  std::vector<std::string> names;
  std::wstring pattern = Wide(JoinPath(path, "*.*"));
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    DWORD attributes = Attributes(path);
    if (error == ERROR_FILE_NOT_FOUND && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
      return Result<std::vector<std::string>>::Success(names);  // an empty drive root
    return Result<std::vector<std::string>>::Failure(static_cast<int>(error));
  }
  do {
    std::wstring_view name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    names.push_back(Narrow(name));
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return Result<std::vector<std::string>>::Success(names);
}

Status CreateFolder(const std::string &path) {
  if (!CreateDirectoryW(SystemPath(path).c_str(), nullptr)) return LastStatus();
  return Status{};
}

// A folder that is some process's current directory may be refused: this
// process steps out of its own and tries once more.
Status RemoveItem(const std::string &path) {
  std::wstring wide = SystemPath(path);
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastStatus();
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (!DeleteFileW(wide.c_str())) return LastStatus();
    return Status{};
  }
  if (RemoveDirectoryW(wide.c_str())) return Status{};
  DWORD error = GetLastError();
  if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION &&
      error != ERROR_NOT_DOS_DISK)
    return Status{static_cast<int>(error)};
  SetCurrentDirectoryW(L"..");
  if (!RemoveDirectoryW(wide.c_str())) return LastStatus();
  return Status{};
}

// A link (a reparse point) is removed as itself, never walked into.
Status RemoveTree(const std::string &path) {
  DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastStatus();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    Result<std::vector<std::string>> names = ListFolder(path);
    if (!names.ok()) return Status{names.error};
    for (const std::string &name : names.value) {
      Status removed = RemoveTree(JoinPath(path, name));
      if (!removed.ok()) return removed;
    }
  }
  return RemoveItem(path);
}

Status CreateSymbolicLink(const std::string &target, const std::string &path) {
  DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  DWORD attributes = Attributes(target);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
  if (!CreateSymbolicLinkW(SystemPath(path).c_str(), SystemPath(target).c_str(), flags))
    return LastStatus();
  return Status{};
}

}  // namespace corv::platform
