// The file primitive under every stream: a platform handle, its last error
// and the process-wide file lock held around each platform call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "corv_stream.h"
#include "platform/file_handle.h"

namespace corv::stream {

/// A new open primitive, or null with the platform's error in `*error`.
CORVfilePrimitive *OpenFile(const std::string &path, platform::OpenMode mode, int *error);
/// Closes the file (when still open) and frees the primitive; gives the
/// last error.
int32_t CloseFile(CORVfilePrimitive *file);

/// Reads up to `count` bytes; the count read (0 on failure).
size_t ReadFile(CORVfilePrimitive *file, void *buffer, size_t count);
bool WriteFile(CORVfilePrimitive *file, const void *buffer, size_t count);
bool SeekFile(CORVfilePrimitive *file, int64_t offset);
int64_t FilePosition(CORVfilePrimitive *file);
int64_t FileLength(CORVfilePrimitive *file);
/// Sets the length; the position stays where it was.
bool SetFileLength(CORVfilePrimitive *file, int64_t length);
bool FlushFile(CORVfilePrimitive *file);
/// True when the position is at or past the length.
bool FileAtEnd(CORVfilePrimitive *file);

/// The code of a TextEncoding object; 0xFFFF for nil.
uint32_t EncodingCodeOf(CORVobject encoding);
/// The code strings read with `argument` get: the argument when given, else
/// the stream's own encoding when set, else 0xFFFF.
uint32_t ReadEncoding(CORVobject argument, CORVobject streamEncoding);

}  // namespace corv::stream
