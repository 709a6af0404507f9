// Special folders on Windows: the system's temporary folder and unique
// names in it, the current directory, and the shell's well-known folders by
// their CSIDL numbers.
#include "platform/special_folders.h"

#include <shlobj.h>
#include <windows.h>

#include <string>

#include "platform/path.h"
#include "platform/windows/wide.h"

namespace corv::platform {
namespace {

// A folder path as the runtime stores it: absolute, without a trailing
// backslash (a drive root as "C:").
std::string Stored(const std::wstring &path) {
  return ResolvePath("C:", Narrow(path));
}

std::string ShellFolder(int csidl) {
  wchar_t path[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return Stored(path);
}

std::string SystemDirectory() {
  wchar_t path[MAX_PATH];
  UINT length = GetSystemDirectoryW(path, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::string() : Stored(path);
}

std::string WindowsDirectory() {
  wchar_t path[MAX_PATH];
  UINT length = GetWindowsDirectoryW(path, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::string() : Stored(path);
}

// The CSIDL of a special-folder code, -1 when it has none.
int CsidlOf(int32_t code) {
  switch (code) {
    case 1002:
      return CSIDL_FONTS;
    case 1003:
    case 1006:
      return CSIDL_APPDATA;
    case 1005:
      return CSIDL_STARTUP;
    case 1007:
    case 1012:
      return CSIDL_SYSTEM;
    case 1009:
      return CSIDL_DESKTOPDIRECTORY;
    case 1010:
      return CSIDL_PERSONAL;
    case 1011:
      return CSIDL_PROGRAMS;
    case 1013:
    case 1046:
      return CSIDL_COMMON_APPDATA;
    case 1014:
      return CSIDL_COMMON_DESKTOPDIRECTORY;
    case 1015:
      return CSIDL_FAVORITES;
    case 1016:
      return CSIDL_COMMON_FAVORITES;
    case 1017:
      return CSIDL_COMMON_DOCUMENTS;
    case 1018:
      return CSIDL_COOKIES;
    case 1019:
      return CSIDL_HISTORY;
    case 1020:
      return CSIDL_INTERNET_CACHE;
    case 1021:
      return CSIDL_MYMUSIC;
    case 1022:
      return CSIDL_MYPICTURES;
    case 1023:
      return CSIDL_PROGRAM_FILES;
    case 1024:
      return CSIDL_PROGRAM_FILES_COMMON;
    case 1025:
      return CSIDL_RECENT;
    case 1026:
      return CSIDL_SENDTO;
    case 1027:
    case 1028:
      return CSIDL_WINDOWS;
    case 1029:
      return CSIDL_COMMON_STARTUP;
    case 1030:
      return CSIDL_TEMPLATES;
    case 1031:
      return CSIDL_COMMON_TEMPLATES;
    case 1032:
      return CSIDL_NETHOOD;
    case 1033:
      return CSIDL_PRINTHOOD;
    default:
      return -1;
  }
}

}  // namespace

std::string TemporaryFolder() {
  wchar_t path[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, path);
  if (length == 0 || length > MAX_PATH) return WindowsDirectory();
  return Stored(std::wstring(path, length));
}

// The system makes the name unique and creates the file ("cvt1A2.tmp");
// it takes the first three characters of the prefix.
Result<std::string> CreateTemporaryFile(const std::string &prefix) {
  wchar_t name[MAX_PATH];
  if (GetTempFileNameW(Wide(TemporaryFolder() + "\\").c_str(), Wide(prefix).c_str(), 0, name) == 0)
    return Result<std::string>::Failure(static_cast<int>(GetLastError()));
  return Result<std::string>::Success(Narrow(name));
}

// A unique name as for a file, the file then replaced by a folder; another
// name is tried should something take the name in between.
Result<std::string> CreateTemporaryFolder(const std::string &prefix) {
  DWORD error = ERROR_ALREADY_EXISTS;
  for (int attempt = 0; attempt < 100 && error == ERROR_ALREADY_EXISTS; ++attempt) {
    Result<std::string> file = CreateTemporaryFile(prefix);
    if (!file.ok()) return file;
    std::wstring path = Wide(file.value);
    DeleteFileW(path.c_str());
    if (CreateDirectoryW(path.c_str(), nullptr)) return file;
    error = GetLastError();
  }
  return Result<std::string>::Failure(static_cast<int>(error));
}

std::string CurrentDirectory() {
  DWORD length = GetCurrentDirectoryW(0, nullptr);
  std::wstring path(length, L'\0');
  length = GetCurrentDirectoryW(length, path.data());
  path.resize(length);
  return Stored(path);
}

std::string VolumeRoot(int32_t index) {
  // Drives are counted from C:; A: and B: never are.
  DWORD drives = GetLogicalDrives();
  for (int drive = 2; drive < 26; ++drive) {
    if (!(drives & (1u << drive))) continue;
    if (index-- == 0) return std::string(1, static_cast<char>('A' + drive)) + ":";
  }
  return {};
}

std::string SpecialFolderPath(int32_t code) {
  if (code == 1001) return TemporaryFolder();
  if (code == 1047) return CurrentDirectory();
  int csidl = CsidlOf(code);
  if (csidl < 0) return {};
  std::string path = ShellFolder(csidl);
  if (path.empty() && (code == 1007 || code == 1012)) return SystemDirectory();
  if (path.empty() && (code == 1027 || code == 1028)) return WindowsDirectory();
  return path;
}

}  // namespace corv::platform
