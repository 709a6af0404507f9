// Win32 error numbers onto the runtime's codes, by the table of FolderItem
// errors; Windows socket errors are the BSD numbers plus 10000.
#include "platform/error_codes.h"

#include <windows.h>

namespace corv::platform {

int32_t FolderItemErrorCode(int error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      return 101;
    case ERROR_ACCESS_DENIED:
    case ERROR_CURRENT_DIRECTORY:
    case ERROR_WRITE_PROTECT:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_DRIVE_LOCKED:
    case ERROR_PATH_BUSY:
    case ERROR_CANNOT_COPY:
      return 102;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
    case ERROR_HANDLE_DISK_FULL:
      return 103;
    case ERROR_NOT_DOS_DISK:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return 104;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_FILE_INVALID:
      return 105;
    default:
      return error;
  }
}

int32_t SocketErrorCode(int error) {
  return error >= WSABASEERR ? error - WSABASEERR : error;
}

int NotFoundError() {
  return ERROR_FILE_NOT_FOUND;
}

int AccessDeniedError() {
  return ERROR_ACCESS_DENIED;
}

}  // namespace corv::platform
