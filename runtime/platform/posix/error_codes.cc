// Error-number mapping on POSIX: errno values onto the FolderItem codes.
#include "platform/error_codes.h"

#include <errno.h>

namespace corv::platform {

int32_t FolderItemErrorCode(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return 101;
    case EACCES:
    case EPERM:
    case EROFS:
      return 102;
    case ENOMEM:
    case ENOSPC:
    case EDQUOT:
      return 103;
    case EBUSY:
    case ETXTBSY:
      return 104;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
      return 105;
    case EEXIST:
      return 80;
    case ENOTEMPTY:
      return 145;
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
