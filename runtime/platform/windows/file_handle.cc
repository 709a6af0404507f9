// Open files on Windows: file handles from CreateFileW, read, write, the
// file pointer and the end of file. Failures keep the system's error.
#include "platform/file_handle.h"

#include <windows.h>

#include <atomic>

#include "platform/windows/wide.h"

namespace corv::platform {

const char kLineTerminator[] = "\r\n";

namespace {

// The files opened here and not yet closed (the system's count of a
// process's handles takes in every other kind as well).
std::atomic<int> gOpenFiles{0};

HANDLE Handle(FileHandle file) {
  return reinterpret_cast<HANDLE>(file);
}

int LastError() {
  return static_cast<int>(GetLastError());
}

// The largest piece one call reads or writes.
DWORD Piece(size_t count) {
  return count > 0x40000000 ? 0x40000000 : static_cast<DWORD>(count);
}

Result<int64_t> MovePointer(FileHandle file, int64_t offset, DWORD from) {
  LARGE_INTEGER distance, position;
  distance.QuadPart = offset;
  if (!SetFilePointerEx(Handle(file), distance, &position, from))
    return Result<int64_t>::Failure(LastError());
  return Result<int64_t>::Success(position.QuadPart);
}

}  // namespace

// Others may read the file meanwhile, never write it; a folder cannot be
// opened this way at all (access denied).
Result<OpenedFile> OpenAndDescribeFile(const std::string &path, OpenMode mode) {
  DWORD access = mode == OpenMode::kRead ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = mode == OpenMode::kCreate ? CREATE_ALWAYS : OPEN_EXISTING;
  HANDLE handle = CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Result<OpenedFile>::Failure(LastError());
  ++gOpenFiles;
  OpenedFile opened;
  opened.handle = reinterpret_cast<FileHandle>(handle);
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(handle, &info)) {
    opened.described = true;
    opened.identity = {info.dwVolumeSerialNumber,
                       (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
    opened.length = static_cast<int64_t>((uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  }
  return Result<OpenedFile>::Success(opened);
}

Result<size_t> ReadFile(FileHandle file, void *buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    DWORD got = 0;
    if (!::ReadFile(Handle(file), static_cast<char *>(buffer) + done, Piece(count - done), &got,
                    nullptr))
      return Result<size_t>::Failure(LastError());
    if (got == 0) break;
    done += got;
  }
  return Result<size_t>::Success(done);
}

Result<size_t> ReadSomeOfFile(FileHandle file, void *buffer, size_t count) {
  DWORD got = 0;
  if (!::ReadFile(Handle(file), buffer, Piece(count), &got, nullptr))
    return Result<size_t>::Failure(LastError());
  return Result<size_t>::Success(got);
}

Status WriteFile(FileHandle file, const void *buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    DWORD put = 0;
    if (!::WriteFile(Handle(file), static_cast<const char *>(buffer) + done, Piece(count - done),
                     &put, nullptr))
      return Status{LastError()};
    done += put;
  }
  return Status{};
}

// A write at an offset moves the file pointer of a handle like this one:
// it is put back afterwards.
Status WriteFileAt(FileHandle file, int64_t offset, const void *buffer, size_t count,
                   size_t *written) {
  *written = 0;
  Result<int64_t> position = MovePointer(file, 0, FILE_CURRENT);
  if (!position.ok()) return Status{position.error};
  Status status;
  while (*written < count) {
    OVERLAPPED at = {};
    uint64_t where = static_cast<uint64_t>(offset) + *written;
    at.Offset = static_cast<DWORD>(where);
    at.OffsetHigh = static_cast<DWORD>(where >> 32);
    DWORD put = 0;
    if (!::WriteFile(Handle(file), static_cast<const char *>(buffer) + *written,
                     Piece(count - *written), &put, &at)) {
      status = Status{LastError()};
      break;
    }
    *written += put;
  }
  MovePointer(file, position.value, FILE_BEGIN);
  return status;
}

Status SeekFile(FileHandle file, int64_t offset) {
  return Status{MovePointer(file, offset, FILE_BEGIN).error};
}

Result<int64_t> FilePosition(FileHandle file) {
  return MovePointer(file, 0, FILE_CURRENT);
}

Result<int64_t> FileLength(FileHandle file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Handle(file), &size)) return Result<int64_t>::Failure(LastError());
  return Result<int64_t>::Success(size.QuadPart);
}

// The end of file is set at the file pointer: it is moved there and back.
Status SetFileLength(FileHandle file, int64_t length) {
  Result<int64_t> position = MovePointer(file, 0, FILE_CURRENT);
  if (!position.ok()) return Status{position.error};
  Result<int64_t> end = MovePointer(file, length, FILE_BEGIN);
  Status status{end.error};
  if (end.ok() && !SetEndOfFile(Handle(file))) status = Status{LastError()};
  MovePointer(file, position.value, FILE_BEGIN);
  return status;
}

Status FlushFile(FileHandle file) {
  if (!FlushFileBuffers(Handle(file))) return Status{LastError()};
  return Status{};
}

Status CloseFile(FileHandle file) {
  if (!CloseHandle(Handle(file))) return Status{LastError()};
  --gOpenFiles;
  return Status{};
}

int OpenFileHandleCount() {
  return gOpenFiles.load();
}

}  // namespace corv::platform
