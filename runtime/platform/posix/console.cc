// POSIX: unbuffered writes to the standard streams.
#include "platform/console.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace corv::platform {
namespace {

void WriteAll(int fd, const char *bytes, size_t length) {
  while (length > 0) {
    ssize_t n = write(fd, bytes, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    bytes += n;
    length -= static_cast<size_t>(n);
  }
}

}  // namespace

void WriteStandardError(const char *bytes, size_t length) {
  std::fflush(stderr);  // keep the order of anything the C library buffered
  WriteAll(STDERR_FILENO, bytes, length);
}

void WriteStandardOutput(const char *bytes, size_t length) {
  std::fflush(stdout);
  WriteAll(STDOUT_FILENO, bytes, length);
}

}  // namespace corv::platform
