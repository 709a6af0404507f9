// Windows: unbuffered writes to the standard handles, byte for byte.
#include "platform/console.h"

#include <windows.h>

#include <cstdio>

namespace corv::platform {
namespace {

void WriteAll(DWORD which, const char *bytes, size_t length) {
  HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  while (length > 0) {
    DWORD chunk = length > 0x10000000 ? 0x10000000 : static_cast<DWORD>(length);
    DWORD written = 0;
    if (!WriteFile(handle, bytes, chunk, &written, nullptr) || written == 0) return;
    bytes += written;
    length -= written;
  }
}

}  // namespace

void WriteStandardError(const char *bytes, size_t length) {
  std::fflush(stderr);  // keep the order of anything the C library buffered
  WriteAll(STD_ERROR_HANDLE, bytes, length);
}

void WriteStandardOutput(const char *bytes, size_t length) {
  std::fflush(stdout);
  WriteAll(STD_OUTPUT_HANDLE, bytes, length);
}

}  // namespace corv::platform
