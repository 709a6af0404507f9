// POSIX: the executable through /proc/self/exe, file reads, and ELF section
// lookup.
#include "platform/executable.h"

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corv::platform {

std::string ExecutablePath() {
  // Read once: start-up asks for it several times (the image, each plugin),
  // and the kernel builds the link's text anew on every read.
  static const std::string path = [] {
    std::vector<char> buffer(4096);
    for (;;) {
      ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
      if (length <= 0) return std::string();
      if (static_cast<size_t>(length) < buffer.size())
        return std::string(buffer.data(), static_cast<size_t>(length));
      buffer.resize(buffer.size() * 2);  // the path may be longer than PATH_MAX
    }
  }();
  return path;
}

std::string ExecutableFolder() {
  std::string path = ExecutablePath();
  size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return std::string("/");
  return path.substr(0, slash);
}

char PathSeparator() {
  return '/';
}

bool ItemExists(const std::string &path, bool folder) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return false;
  return folder ? S_ISDIR(info.st_mode) : !S_ISDIR(info.st_mode);
}

ReadableFile::ReadableFile(const std::string &path) {
  int fd;
  do {
    fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  handle_ = fd < 0 ? kNoFile : fd;
}

ReadableFile::~ReadableFile() {
  if (IsOpen()) close(static_cast<int>(handle_));
}

uint64_t ReadableFile::Size() const {
  struct stat info;
  if (!IsOpen() || fstat(static_cast<int>(handle_), &info) != 0 || info.st_size < 0) return 0;
  return static_cast<uint64_t>(info.st_size);
}

bool ReadableFile::ReadAt(uint64_t offset, void *buffer, uint64_t length) const {
  auto *out = static_cast<char *>(buffer);
  while (length > 0) {
    ssize_t got = pread(static_cast<int>(handle_), out, length, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out += got;
    offset += static_cast<uint64_t>(got);
    length -= static_cast<uint64_t>(got);
  }
  return true;
}

// Only 64-bit little-endian ELF files are executables of this platform.
bool FindSection(const ReadableFile &file, const char *name, FileSection *section) {
  if (!file.IsOpen()) return false;
  Elf64_Ehdr header;
  if (!file.ReadAt(0, &header, sizeof header)) return false;
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_shentsize != sizeof(Elf64_Shdr) || header.e_shstrndx >= header.e_shnum)
    return false;
  std::vector<Elf64_Shdr> sections(header.e_shnum);
  if (!file.ReadAt(header.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr)))
    return false;
  const Elf64_Shdr &names = sections[header.e_shstrndx];
  if (names.sh_size > (1u << 24)) return false;
  std::vector<char> pool(names.sh_size + 1, 0);
  if (!file.ReadAt(names.sh_offset, pool.data(), names.sh_size)) return false;
  for (const Elf64_Shdr &candidate : sections) {
    if (candidate.sh_name >= names.sh_size) continue;
    if (std::strcmp(pool.data() + candidate.sh_name, name) != 0) continue;
    if (candidate.sh_type == SHT_NOBITS) return false;
    section->offset = candidate.sh_offset;
    section->size = candidate.sh_size;
    return true;
  }
  return false;
}

}  // namespace corv::platform

// The executable's PICKLE section: kilnrun-image stamps the offset and length
// of the appended image into it. Unstamped, it begins with "PICK". `used`
// keeps it in every executable that contains the loader.
__attribute__((section("PICKLE"), used)) unsigned char corvPickleSection[8] = {'P', 'I', 'C', 'K',
                                                                               'L', 'E', 0,   0};
