// The process's standard streams as the runtime itself writes to them.
#pragma once

#include <cstddef>

namespace corv::platform {

/// Writes the bytes to standard error and flushes it.
void WriteStandardError(const char *bytes, size_t length);
/// Writes the bytes to standard output and flushes it.
void WriteStandardOutput(const char *bytes, size_t length);

}  // namespace corv::platform
