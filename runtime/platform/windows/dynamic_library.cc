// Loading libraries on Windows: LoadLibraryExW by full path (the library's
// own folder searched for what it needs), GetProcAddress, and the system's
// message for a failure.
#include "platform/dynamic_library.h"

#include <windows.h>
// The names of our own functions, not the system's wide or narrow ones.
#undef LoadLibrary

#include "platform/special_folders.h"
#include "platform/windows/wide.h"

namespace corv::platform {
namespace {

std::string MessageOf(DWORD error) {
  wchar_t *text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
  std::wstring message = length ? std::wstring(text, length) : L"error " + std::to_wstring(error);
  LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r'))
    message.pop_back();
  return Narrow(message);
}

}  // namespace

void *LoadLibrary(const std::string &pathOrName, std::string *message) {
  std::wstring wide = Wide(pathOrName);
  bool path = wide.find_first_of(L"\\/") != std::wstring::npos;
  HMODULE library = LoadLibraryExW(wide.c_str(), nullptr, path ? LOAD_WITH_ALTERED_SEARCH_PATH : 0);
  if (!library && message) *message = MessageOf(GetLastError());
  return reinterpret_cast<void *>(library);
}

void *FindSymbol(void *library, const char *name) {
  if (!library) return nullptr;
  return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
}

// A name the system makes unique ("cvt1A2.tmp"), then given the library's
// own name after it so that it loads under that name.
std::string WriteTemporaryLibrary(const std::string &fileName, const std::vector<uint8_t> &bytes) {
  std::string safeName;
  for (char c : fileName) safeName += (c == '\\' || c == '/' || c == ':' || c == 0) ? '_' : c;
  Result<std::string> unique = CreateTemporaryFile("cvt");
  if (!unique.ok()) return {};
  std::wstring placeholder = Wide(unique.value);
  std::string path = unique.value + safeName;
  std::wstring wide = Wide(path);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  bool written = file != INVALID_HANDLE_VALUE;
  if (written) {
    DWORD put = 0;
    written = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) &&
              put == bytes.size();
    CloseHandle(file);
  }
  DeleteFileW(placeholder.c_str());
  if (!written) {
    DeleteFileW(wide.c_str());
    return {};
  }
  return path;
}

}  // namespace corv::platform
