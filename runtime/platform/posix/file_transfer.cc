// Copying and moving on POSIX, never replacing an existing target.
#include "platform/file_transfer.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/directory.h"
#include "platform/path.h"

namespace corv::platform {
namespace {

Status CopyBytes(int from, int to) {
  std::vector<char> buffer(128 * 1024);
  for (;;) {
    ssize_t n = read(from, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Status{errno};
    if (n == 0) return Status{};
    for (ssize_t done = 0; done < n;) {
      ssize_t w = write(to, buffer.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return Status{errno};
      done += w;
    }
  }
}

bool Exists(const std::string &path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

Status CopyTree(const std::string &source, const std::string &target);

Status CopyEntry(const std::string &source, const std::string &target) {
  struct stat st;
  if (lstat(source.c_str(), &st) != 0) return Status{errno};
  if (S_ISLNK(st.st_mode)) {
    std::vector<char> buffer(static_cast<size_t>(st.st_size) + 1);
    ssize_t n = readlink(source.c_str(), buffer.data(), buffer.size());
    if (n < 0) return Status{errno};
    return CreateSymbolicLink(std::string(buffer.data(), static_cast<size_t>(n)), target);
  }
  if (S_ISDIR(st.st_mode)) return CopyTree(source, target);
  if (S_ISREG(st.st_mode)) return CopyFile(source, target);
  return Status{ENOTSUP};  // devices, pipes and sockets are not moved between disks
}

Status CopyFolderEntries(const std::string &source, const std::string &target) {
  auto names = ListFolder(source);
  if (!names.ok()) return Status{names.error};
  for (const std::string &name : names.value) {
    Status status = CopyEntry(JoinPath(source, name), JoinPath(target, name));
    if (!status.ok()) return status;
  }
  return Status{};
}

// Makes `target` as a new folder and copies the tree into it. On failure
// the new folder goes again; a `target` that already existed is refused by
// mkdir and left alone, as it is not ours.
Status CopyTree(const std::string &source, const std::string &target) {
  struct stat st;
  if (stat(source.c_str(), &st) != 0) return Status{errno};
  if (mkdir(target.c_str(), st.st_mode & 07777) != 0) return Status{errno};
  Status status = CopyFolderEntries(source, target);
  if (!status.ok()) RemoveTree(target);
  return status;
}

}  // namespace

Status CopyFile(const std::string &source, const std::string &target) {
  int from = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (from < 0) return Status{errno};
  struct stat st;
  int error = fstat(from, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
  if (error != 0) {
    close(from);
    return Status{error};
  }
  // Made exclusively, so the clean-up below can only remove our own file.
  int to = open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
  if (to < 0) {
    error = errno;
    close(from);
    return Status{error};
  }
  Status status = CopyBytes(from, to);
  if (status.ok() && fchmod(to, st.st_mode & 07777) != 0) status = Status{errno};
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (status.ok() && futimens(to, times) != 0) status = Status{errno};
  if (close(to) != 0 && status.ok()) status = Status{errno};
  close(from);
  if (!status.ok()) unlink(target.c_str());  // no half copies
  return status;
}

Status MoveItem(const std::string &source, const std::string &target) {
  if (renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
    return Status{};
  int error = errno;
  if (error == EINVAL || error == ENOSYS) {
    // The file system cannot refuse replacement by itself: check first.
    if (Exists(target)) return Status{EEXIST};
    if (rename(source.c_str(), target.c_str()) == 0) return Status{};
    error = errno;
  }
  if (error != EXDEV) return Status{error};

  // Another file system: copy, then remove the original. The copy creates
  // its target exclusively and removes what it made when it fails, so an
  // item that another process put there meanwhile is refused and kept.
  Status status = CopyEntry(source, target);
  if (!status.ok()) return status;
  return RemoveTree(source);
}

}  // namespace corv::platform
