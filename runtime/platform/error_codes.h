// Mapping of platform error numbers onto the runtime's own codes. This is
// the one place that knows which platform error means what.
#pragma once

#include <cstdint>

namespace corv::platform {

/// The code a FolderItem keeps in LastErrorCode for a platform error (the
/// kFolderItemError… codes: not found, access denied, out of memory or
/// space, busy, invalid name, target exists, folder not empty); any other
/// error number is kept as it is.
int32_t FolderItemErrorCode(int error);

/// The code an IPC socket reports for a platform socket error: the BSD
/// number of that error (a refused connection is 61, a reset one 54, a port
/// in use 48, a time-out 60), which is also what the Windows socket numbers
/// give once 10000 is taken off.
int32_t SocketErrorCode(int error);

/// The platform's "no such file" error, for callers that must set one.
int NotFoundError();
/// The platform's "access denied" error, for callers that must set one.
int AccessDeniedError();

}  // namespace corv::platform
