// POSIX: a forked child that drops to the user "nobody" before it runs a body.
#include "platform/unprivileged_child.h"

#include <errno.h>
#include <grp.h>
#include <pwd.h>
#include <stdio.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corv::platform {
namespace {

constexpr int kNotRun = 125;  // the child could not become the user, or the body threw

void Say(const char *text) {
  std::string line = std::string("unprivileged child: ") + text + "\n";
  ssize_t written = write(STDERR_FILENO, line.data(), line.size());
  (void)written;  // nothing better to do if even this fails
}

bool BecomeUser(uid_t uid, gid_t gid, const std::string &home) {
  if (chown(home.c_str(), uid, gid) != 0) return false;
  // Groups first: once the user ids change, the right to change them is gone.
  if (setgroups(0, nullptr) != 0 || setresgid(gid, gid, gid) != 0 || setresuid(uid, uid, uid) != 0)
    return false;
  // New ids make the process undumpable, which closes /proc/self to it; the
  // file-handle count and the sanitizers read there.
  prctl(PR_SET_DUMPABLE, 1);
  return geteuid() == uid;
}

}  // namespace

int RunInUnprivilegedChild(const std::string &home, const std::function<int()> &body) {
  bool drop = geteuid() == 0;
  // Looked up before the fork: the user database may take locks that some
  // other thread holds at that moment. 65534 is nobody's usual number.
  uid_t uid = 65534;
  gid_t gid = 65534;
  if (const passwd *user = drop ? getpwnam("nobody") : nullptr) {
    uid = user->pw_uid;
    gid = user->pw_gid;
  }
  fflush(nullptr);  // else the child would write this process's pending output again
  pid_t pid = fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int code = kNotRun;
    if (drop && !BecomeUser(uid, gid, home)) {
      Say("cannot become the user nobody");
    } else {
      try {
        code = body();
      } catch (...) {
        Say("the body threw");
      }
    }
    fflush(nullptr);
    _exit(code);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace corv::platform
