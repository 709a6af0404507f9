// POSIX: console writes through stdio, flushed after each write.
#include "platform/console_stream.h"

#include <clocale>
#include <cstdio>
#include <mutex>

namespace corv::platform {
namespace {

FILE *FileOf(ConsoleFile file) {
  return file == ConsoleFile::kStandardOutput ? stdout : stderr;
}

}  // namespace

void PrepareConsoleLocale() {
  static std::once_flag once;
  std::call_once(once, [] { std::setlocale(LC_CTYPE, ""); });
}

void WriteConsoleFile(ConsoleFile file, const char *bytes, size_t length) {
  FILE *f = FileOf(file);
  if (length) std::fwrite(bytes, 1, length, f);
  std::fflush(f);
}

void FlushConsoleFile(ConsoleFile file) {
  std::fflush(FileOf(file));
}

}  // namespace corv::platform
