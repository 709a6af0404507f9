// POSIX: shared libraries through dlopen.
#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

#include "platform/path.h"
#include "platform/special_folders.h"

namespace corv::platform {

void *LoadLibrary(const std::string &pathOrName, std::string *message) {
  if (pathOrName.empty()) {
    if (message) *message = "no library named";
    return nullptr;
  }
  void *library = dlopen(pathOrName.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library && message) {
    const char *reason = dlerror();
    *message = reason ? reason : "the library cannot be loaded";
  }
  return library;
}

void *FindSymbol(void *library, const char *name) {
  if (!library || !name) return nullptr;
  return dlsym(library, name);
}

std::string WriteTemporaryLibrary(const std::string &fileName, const std::vector<uint8_t> &bytes) {
  std::string safeName;
  for (char c : fileName) safeName += (c == '/' || c == 0) ? '_' : c;
  std::string pattern = JoinPath(TemporaryFolder(), "cvtXXXXXX" + safeName);
  std::vector<char> path(pattern.begin(), pattern.end());
  path.push_back(0);
  int fd = mkstemps(path.data(), static_cast<int>(safeName.size()));
  if (fd < 0) return std::string();
  size_t written = 0;
  while (written < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  close(fd);
  if (written != bytes.size()) {
    unlink(path.data());
    return std::string();
  }
  return std::string(path.data());
}

}  // namespace corv::platform
