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

int32_t SocketErrorCode(int error) {
  struct Pair {
    int error;
    int32_t code;
  };
  static constexpr Pair kBsdNumbers[] = {
      {EINTR, 4},          {EBADF, 9},         {EACCES, 13},          {EFAULT, 14},
      {EINVAL, 22},        {EMFILE, 24},       {EWOULDBLOCK, 35},     {EINPROGRESS, 36},
      {EALREADY, 37},      {ENOTSOCK, 38},     {EDESTADDRREQ, 39},    {EMSGSIZE, 40},
      {EPROTOTYPE, 41},    {ENOPROTOOPT, 42},  {EPROTONOSUPPORT, 43}, {ESOCKTNOSUPPORT, 44},
      {EOPNOTSUPP, 45},    {EPFNOSUPPORT, 46}, {EAFNOSUPPORT, 47},    {EADDRINUSE, 48},
      {EADDRNOTAVAIL, 49}, {ENETDOWN, 50},     {ENETUNREACH, 51},     {ENETRESET, 52},
      {ECONNABORTED, 53},  {ECONNRESET, 54},   {ENOBUFS, 55},         {EISCONN, 56},
      {ENOTCONN, 57},      {ESHUTDOWN, 58},    {ETOOMANYREFS, 59},    {ETIMEDOUT, 60},
      {ECONNREFUSED, 61},  {ELOOP, 62},        {ENAMETOOLONG, 63},    {EHOSTDOWN, 64},
      {EHOSTUNREACH, 65},
  };
  for (const Pair &pair : kBsdNumbers)
    if (pair.error == error) return pair.code;
  return error;
}

int NotFoundError() {
  return ENOENT;
}

int AccessDeniedError() {
  return EACCES;
}

}  // namespace corv::platform
