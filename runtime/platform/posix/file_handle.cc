// Open files on POSIX: descriptors, read, write, seek and truncate.
#include "platform/file_handle.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corv::platform {

const char kLineTerminator[] = "\n";
namespace {

int Fd(FileHandle file) {
  return static_cast<int>(file);
}

}  // namespace

Result<OpenedFile> OpenAndDescribeFile(const std::string &path, OpenMode mode) {
  int flags = O_CLOEXEC;
  switch (mode) {
    case OpenMode::kRead:
      flags |= O_RDONLY;
      break;
    case OpenMode::kReadWrite:
      flags |= O_RDWR;
      break;
    case OpenMode::kCreate:
      flags |= O_RDWR | O_CREAT | O_TRUNC;
      break;
  }
  int fd;
  do fd = open(path.c_str(), flags, 0666);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return Result<OpenedFile>::Failure(errno);
  OpenedFile opened;
  opened.handle = fd;
  struct stat st;
  if (fstat(fd, &st) == 0) {
    if (S_ISDIR(st.st_mode)) {  // a folder is not a file to stream
      close(fd);
      return Result<OpenedFile>::Failure(EISDIR);
    }
    opened.described = true;
    opened.identity = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    opened.length = st.st_size;
  }
  return Result<OpenedFile>::Success(opened);
}

Result<size_t> ReadFile(FileHandle file, void *buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = read(Fd(file), static_cast<char *>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Result<size_t>::Failure(errno);
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return Result<size_t>::Success(done);
}

Result<size_t> ReadSomeOfFile(FileHandle file, void *buffer, size_t count) {
  ssize_t n;
  do n = read(Fd(file), buffer, count);
  while (n < 0 && errno == EINTR);
  if (n < 0) return Result<size_t>::Failure(errno);
  return Result<size_t>::Success(static_cast<size_t>(n));
}

Status WriteFile(FileHandle file, const void *buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    ssize_t n = write(Fd(file), static_cast<const char *>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Status{errno};
    done += static_cast<size_t>(n);
  }
  return Status{};
}

Status WriteFileAt(FileHandle file, int64_t offset, const void *buffer, size_t count,
                   size_t *written) {
  *written = 0;
  while (*written < count) {
    ssize_t n = pwrite(Fd(file), static_cast<const char *>(buffer) + *written, count - *written,
                       static_cast<off_t>(offset + static_cast<int64_t>(*written)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Status{errno};
    *written += static_cast<size_t>(n);
  }
  return Status{};
}

Status SeekFile(FileHandle file, int64_t offset) {
  if (lseek(Fd(file), static_cast<off_t>(offset), SEEK_SET) < 0) return Status{errno};
  return Status{};
}

Result<int64_t> FilePosition(FileHandle file) {
  off_t position = lseek(Fd(file), 0, SEEK_CUR);
  if (position < 0) return Result<int64_t>::Failure(errno);
  return Result<int64_t>::Success(position);
}

Result<int64_t> FileLength(FileHandle file) {
  struct stat st;
  if (fstat(Fd(file), &st) != 0) return Result<int64_t>::Failure(errno);
  return Result<int64_t>::Success(st.st_size);
}

Status SetFileLength(FileHandle file, int64_t length) {
  if (ftruncate(Fd(file), static_cast<off_t>(length)) != 0) return Status{errno};
  return Status{};
}

Status FlushFile(FileHandle file) {
  if (fsync(Fd(file)) != 0) return Status{errno};
  return Status{};
}

Status CloseFile(FileHandle file) {
  if (close(Fd(file)) != 0) return Status{errno};
  return Status{};
}

int OpenFileHandleCount() {
  DIR *dir = opendir("/proc/self/fd");
  if (!dir) return -1;
  int count = 0;
  while (struct dirent *entry = readdir(dir))
    if (entry->d_name[0] != '.') ++count;
  closedir(dir);
  return count - 1;  // the listing's own descriptor
}

}  // namespace corv::platform
