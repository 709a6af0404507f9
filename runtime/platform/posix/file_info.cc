// Attributes, time stamps and access checks on POSIX.
#include "platform/file_info.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "platform/path.h"

namespace corv::platform {
namespace {

FileTime ToFileTime(const struct timespec &ts) {
  return FileTime{static_cast<int64_t>(ts.tv_sec), static_cast<int64_t>(ts.tv_nsec)};
}

void FillFrom(const struct stat &st, FileInfo *info) {
  info->isDirectory = S_ISDIR(st.st_mode);
  info->device = static_cast<uint64_t>(st.st_dev);
  info->inode = static_cast<uint64_t>(st.st_ino);
  info->modified = ToFileTime(st.st_mtim);
  info->changed = ToFileTime(st.st_ctim);
}

}  // namespace

Result<FileInfo> ReadFileInfo(const std::string &path) {
  FileInfo info;
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) {
    int error = errno;
    if (error != ENOENT) return Result<FileInfo>::Failure(error);
    // Missing: an item-to-be when its folder exists, unusable otherwise.
    std::string parent(PathParent(path));
    struct stat parentSt;
    if (parent.empty() || stat(parent.c_str(), &parentSt) != 0)
      return Result<FileInfo>::Failure(ENOENT);
    if (!S_ISDIR(parentSt.st_mode)) return Result<FileInfo>::Failure(ENOTDIR);
    return Result<FileInfo>::Success(info);
  }
  info.exists = true;
  info.isSymlink = S_ISLNK(st.st_mode);
  FillFrom(st, &info);
  struct stat target;
  if (info.isSymlink && stat(path.c_str(), &target) == 0) FillFrom(target, &info);
  return Result<FileInfo>::Success(info);
}

bool IsAccessible(const std::string &path, bool write) {
  int mode = write ? (R_OK | W_OK) : R_OK;
  std::string current = path;
  for (;;) {
    if (access(current.c_str(), mode) == 0) return true;
    if (errno != ENOENT) return false;
    std::string_view parent = PathParent(current);
    if (parent.empty()) return false;
    current.assign(parent);
  }
}

FileTime FileSystemClock() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME_COARSE, &ts);
  return ToFileTime(ts);
}

Status SetModificationTime(const std::string &path, FileTime time) {
  struct timespec times[2];
  times[0].tv_sec = static_cast<time_t>(time.seconds);
  times[0].tv_nsec = static_cast<long>(time.nanoseconds);
  times[1] = times[0];
  if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return Status{errno};
  return Status{};
}

Status SetWritable(const std::string &path, bool writable) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return Status{errno};
  mode_t mode = st.st_mode & 07777;
  mode = writable ? (mode | S_IWUSR) : (mode & ~(S_IWUSR | S_IWGRP | S_IWOTH));
  if (chmod(path.c_str(), mode) != 0) return Status{errno};
  return Status{};
}

}  // namespace corv::platform
