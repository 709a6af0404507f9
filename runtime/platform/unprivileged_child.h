// Running part of a test as an unprivileged user, so that permission checks
// hold even when the tests run as the superuser (as they do in CI).
#pragma once

#include <functional>
#include <string>

namespace corv::platform {

/// Runs `body` in a child process and gives the child's exit status: what
/// the body returned, or -1 when the child could not be made or did not end
/// by exiting. When this process is the superuser, the child first hands the
/// folder `home` to the unprivileged user "nobody" and becomes that user,
/// groups included; otherwise it keeps this process's user. The child ends
/// with _exit, so this process's exit handlers (the leak check among them)
/// do not run a second time in it.
int RunInUnprivilegedChild(const std::string &home, const std::function<int()> &body);

}  // namespace corv::platform
