// UTF-8 and UTF-16 through the system's own conversion.
#include "platform/windows/wide.h"

#include <windows.h>

namespace corv::platform {

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  int length = static_cast<int>(utf8.size());
  int count = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  std::wstring wide(static_cast<size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), count);
  return wide;
}

std::string Narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  int length = static_cast<int>(utf16.size());
  int count = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(count), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), length, narrow.data(), count, nullptr, nullptr);
  return narrow;
}

}  // namespace corv::platform
