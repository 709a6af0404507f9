// Error-number mapping on POSIX: errno values onto the FolderItem codes.
#include "platform/error_codes.h"

#include <errno.h>

#include "corv_folderitem.h"

namespace corv::platform {

int32_t FolderItemErrorCode(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kFolderItemErrorNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return kFolderItemErrorAccessDenied;
    case ENOMEM:
    case ENOSPC:
    case EDQUOT:
      return kFolderItemErrorNoSpace;
    case EBUSY:
    case ETXTBSY:
      return kFolderItemErrorBusy;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
      return kFolderItemErrorInvalidName;
    case EEXIST:
      return kFolderItemErrorTargetExists;
    case ENOTEMPTY:
      return kFolderItemErrorFolderNotEmpty;
    default:
      return error;
  }
}

int NotFoundError() {
  return ENOENT;
}

int AccessDeniedError() {
  return EACCES;
}

}  // namespace corv::platform
