// Windows has no fork: the body runs in this process, as this user. The
// permission tests that need another user rely on the access lists of the
// items instead.
#include "platform/unprivileged_child.h"

namespace corv::platform {

int RunInUnprivilegedChild(const std::string &, const std::function<int()> &body) {
  return body();
}

}  // namespace corv::platform
