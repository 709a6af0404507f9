// Folders on POSIX: listing, creating and removing.
#include "platform/directory.h"

#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/path.h"

namespace corv::platform {

Result<std::vector<std::string>> ListFolder(const std::string &path) {
  DIR *dir = opendir(path.c_str());
  if (!dir) return Result<std::vector<std::string>>::Failure(errno);
  std::vector<std::string> names;
  errno = 0;
  while (struct dirent *entry = readdir(dir)) {
    const char *name = entry->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    names.emplace_back(name);
  }
  int error = errno;
  closedir(dir);
  if (error != 0) return Result<std::vector<std::string>>::Failure(error);
  return Result<std::vector<std::string>>::Success(std::move(names));
}

Status CreateFolder(const std::string &path) {
  if (mkdir(path.c_str(), 0777) != 0) return Status{errno};
  return Status{};
}

Status RemoveItem(const std::string &path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return Status{errno};
  // lstat: a link to a folder is removed as a link; its target is untouched.
  int rc = S_ISDIR(st.st_mode) ? rmdir(path.c_str()) : unlink(path.c_str());
  if (rc != 0) return Status{errno == EEXIST ? ENOTEMPTY : errno};
  return Status{};
}

Status RemoveTree(const std::string &path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return Status{errno};
  if (S_ISDIR(st.st_mode)) {
    auto names = ListFolder(path);
    if (!names.ok()) return Status{names.error};
    for (const std::string &name : names.value) {
      Status status = RemoveTree(JoinPath(path, name));
      if (!status.ok()) return status;
    }
  }
  return RemoveItem(path);
}

Status CreateSymbolicLink(const std::string &target, const std::string &path) {
  if (symlink(target.c_str(), path.c_str()) != 0) return Status{errno};
  return Status{};
}

}  // namespace corv::platform
