// Special folders on POSIX: $TMPDIR or /tmp, mkstemp, the current directory.
#include "platform/special_folders.h"

#include <errno.h>
#include <stdlib.h>
#include <unistd.h>

#include <vector>

#include "platform/path.h"

namespace corv::platform {

std::string TemporaryFolder() {
  const char *dir = getenv("TMPDIR");
  if (dir && IsAbsolutePath(dir)) return ResolvePath("/", dir);
  return "/tmp";
}

Result<std::string> CreateTemporaryFile(const std::string &prefix) {
  std::string pattern = JoinPath(TemporaryFolder(), prefix + "XXXXXX");
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back(0);
  int fd = mkstemp(name.data());
  if (fd < 0) return Result<std::string>::Failure(errno);
  close(fd);
  return Result<std::string>::Success(std::string(name.data()));
}

Result<std::string> CreateTemporaryFolder(const std::string &prefix) {
  std::string pattern = JoinPath(TemporaryFolder(), prefix + "XXXXXX");
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back(0);
  if (!mkdtemp(name.data())) return Result<std::string>::Failure(errno);
  return Result<std::string>::Success(std::string(name.data()));
}

std::string CurrentDirectory() {
  std::vector<char> buffer(4096);
  while (!getcwd(buffer.data(), buffer.size())) {
    if (errno != ERANGE) return "/";
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::string VolumeRoot(int32_t index) {
  return index == 0 ? "/" : "";  // one tree, one volume
}

std::string SpecialFolderPath(int32_t code) {
  switch (code) {
    case 1001:
      return TemporaryFolder();
    case 1047:
      return CurrentDirectory();
    default:
      return {};  // no POSIX counterpart
  }
}

}  // namespace corv::platform
