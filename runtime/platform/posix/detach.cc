// POSIX: fork, exit the parent at once, and start a new session in the child.
#include "platform/detach.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

namespace corv::platform {

Status DetachProcess() {
  pid_t child = fork();
  if (child < 0) return Status{errno};
  // The parent leaves without running exit handlers or flushing buffers
  // that the child owns as well.
  if (child > 0) _exit(0);
  setsid();
  int null = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null >= 0) {
    for (int fd = 0; fd <= 2; ++fd) dup2(null, fd);
    if (null > 2) close(null);
  }
  return Status{};
}

}  // namespace corv::platform
