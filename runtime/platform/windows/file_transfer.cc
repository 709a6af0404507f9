// Copying and moving on Windows with the system's own calls, which never
// replace an existing target here.
#include "platform/file_transfer.h"

#include <windows.h>
// The names of our own functions, not the system's wide or narrow ones.
#undef CopyFile

#include "platform/windows/wide.h"

namespace corv::platform {

// The system copies the attributes and times with the bytes; a folder
// cannot be copied this way.
Status CopyFile(const std::string &source, const std::string &target) {
  std::wstring from = Wide(source), to = Wide(target);
  DWORD attributes = GetFileAttributesW(from.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return Status{ERROR_ACCESS_DENIED};
  if (CopyFileExW(from.c_str(), to.c_str(), nullptr, nullptr, nullptr, COPY_FILE_FAIL_IF_EXISTS))
    return Status{};
  DWORD error = GetLastError();
  if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
    DeleteFileW(to.c_str());  // nothing half written stays behind
  return Status{static_cast<int>(error)};
}

// Files move to another volume by copying; folders only within one.
Status MoveItem(const std::string &source, const std::string &target) {
  if (!MoveFileExW(Wide(source).c_str(), Wide(target).c_str(), MOVEFILE_COPY_ALLOWED))
    return Status{static_cast<int>(GetLastError())};
  return Status{};
}

}  // namespace corv::platform
