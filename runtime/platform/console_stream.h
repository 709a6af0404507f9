// The standard output and standard error files as the language's console
// writes them (through the C library's buffered files).
#pragma once

#include <cstddef>

namespace corv::platform {

enum class ConsoleFile { kStandardOutput, kStandardError };

/// Sets the C library's character-type locale to the user's, once; the
/// console does this before its first write.
void PrepareConsoleLocale();
/// Writes the bytes to the file and flushes it.
void WriteConsoleFile(ConsoleFile file, const char *bytes, size_t length);
void FlushConsoleFile(ConsoleFile file);

}  // namespace corv::platform
