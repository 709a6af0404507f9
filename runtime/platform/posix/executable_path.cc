// The executable's own folder on POSIX, from /proc/self/exe.
#include "platform/executable_path.h"

#include <limits.h>
#include <unistd.h>

#include <vector>

#include "platform/path.h"

namespace corv::platform {

std::string ExecutableFolder() {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return "/";
    if (static_cast<size_t>(n) < buffer.size()) {
      std::string exe(buffer.data(), static_cast<size_t>(n));
      std::string_view parent = PathParent(exe);
      return parent.empty() ? "/" : std::string(parent);
    }
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace corv::platform
