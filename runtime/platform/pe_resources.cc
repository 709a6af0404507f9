// A PE file: the DOS header's last field points at the "PE\0\0" signature,
// after which come the file header, the optional header (whose third data
// directory locates the resources) and the section table, which maps the
// resources' addresses to places in the file. The resources form a tree of
// three levels: types, names, languages; its leaves give the address and
// size of the bytes.
#include "platform/pe_resources.h"

#include <cstdint>
#include <cstring>

namespace corv::platform {
namespace {

constexpr uint32_t kNameIsString = 0x80000000u;  // in an entry's first word
constexpr uint32_t kIsDirectory = 0x80000000u;   // in an entry's second word
constexpr int kMaxSections = 96;                 // the limit Windows sets

bool ReadU16(const ReadableFile &file, uint64_t at, uint16_t *value) {
  uint8_t bytes[2];
  if (!file.ReadAt(at, bytes, 2)) return false;
  *value = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
  return true;
}

bool ReadU32(const ReadableFile &file, uint64_t at, uint32_t *value) {
  uint8_t bytes[4];
  if (!file.ReadAt(at, bytes, 4)) return false;
  *value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  return true;
}

struct Section {
  uint32_t address, virtualSize, rawSize, rawOffset;
};

// The resources' tree as it lies in the file.
class ResourceTree {
 public:
  ResourceTree(const ReadableFile &file, uint64_t base, uint32_t size)
      : file_(file), base_(base), size_(size) {}

  // The entry of a directory at `offset` (from the tree's start) whose name
  // is `type`, or with `type` null, the first entry; gives the entry's
  // second word.
  bool Entry(uint32_t offset, const char *type, uint32_t *target) const {
    uint16_t named, numbered;
    if (!Inside(offset, 16) || !ReadU16(file_, base_ + offset + 12, &named) ||
        !ReadU16(file_, base_ + offset + 14, &numbered))
      return false;
    uint32_t count = static_cast<uint32_t>(named) + numbered;
    if (!Inside(offset + 16, count * 8)) return false;
    for (uint32_t i = 0; i < count; ++i) {
      uint64_t entry = base_ + offset + 16 + i * 8;
      uint32_t name;
      if (!ReadU32(file_, entry, &name) || !ReadU32(file_, entry + 4, target)) return false;
      if (!type || ((name & kNameIsString) && NameIs(name & ~kNameIsString, type))) return true;
    }
    return false;
  }

  // A leaf's address and size.
  bool Leaf(uint32_t offset, uint32_t *address, uint32_t *size) const {
    return Inside(offset, 16) && ReadU32(file_, base_ + offset, address) &&
           ReadU32(file_, base_ + offset + 4, size);
  }

 private:
  bool Inside(uint64_t offset, uint64_t length) const {
    return offset <= size_ && length <= size_ - offset;
  }

  // A name: a count of UTF-16 units, then the units.
  bool NameIs(uint32_t offset, const char *type) const {
    uint16_t length;
    size_t wanted = std::strlen(type);
    if (!Inside(offset, 2) || !ReadU16(file_, base_ + offset, &length) || length != wanted ||
        !Inside(offset + 2, 2 * static_cast<uint64_t>(length)))
      return false;
    for (size_t i = 0; i < wanted; ++i) {
      uint16_t unit;
      if (!ReadU16(file_, base_ + offset + 2 + 2 * i, &unit)) return false;
      char expected = type[i] >= 'a' && type[i] <= 'z' ? static_cast<char>(type[i] - 32) : type[i];
      if (unit >= 'a' && unit <= 'z') unit = static_cast<uint16_t>(unit - 32);
      if (unit != static_cast<uint8_t>(expected)) return false;
    }
    return true;
  }

  const ReadableFile &file_;
  uint64_t base_;
  uint32_t size_;
};

}  // namespace

bool FindPeResource(const ReadableFile &file, const char *type, FileSection *resource) {
  uint16_t dosMagic, optionalSize, sectionCount, optionalMagic;
  uint32_t peAt, signature;
  if (!ReadU16(file, 0, &dosMagic) || dosMagic != 0x5A4D ||  // "MZ"
      !ReadU32(file, 0x3C, &peAt) || !ReadU32(file, peAt, &signature) ||
      signature != 0x00004550)  // "PE\0\0"
    return false;
  uint64_t header = static_cast<uint64_t>(peAt) + 4;
  uint64_t optional = header + 20;
  if (!ReadU16(file, header + 2, &sectionCount) || !ReadU16(file, header + 16, &optionalSize) ||
      !ReadU16(file, optional, &optionalMagic))
    return false;
  // The data directories begin after the fields that differ between the
  // 32-bit and 64-bit forms; the resources are the third.
  uint64_t directories;
  if (optionalMagic == 0x10B)
    directories = 96;
  else if (optionalMagic == 0x20B)
    directories = 112;
  else
    return false;
  uint32_t directoryCount, treeAddress, treeSize;
  if (optionalSize < directories + 3 * 8 ||
      !ReadU32(file, optional + directories - 4, &directoryCount) || directoryCount < 3 ||
      !ReadU32(file, optional + directories + 16, &treeAddress) ||
      !ReadU32(file, optional + directories + 20, &treeSize) || treeAddress == 0 || treeSize == 0)
    return false;

  // Addresses become file offsets through the section that holds them.
  if (sectionCount > kMaxSections) return false;
  Section sections[kMaxSections];
  uint64_t table = optional + optionalSize;
  for (int i = 0; i < sectionCount; ++i) {
    uint64_t at = table + static_cast<uint64_t>(i) * 40;
    Section &s = sections[i];
    if (!ReadU32(file, at + 8, &s.virtualSize) || !ReadU32(file, at + 12, &s.address) ||
        !ReadU32(file, at + 16, &s.rawSize) || !ReadU32(file, at + 20, &s.rawOffset))
      return false;
  }
  // The file offset of the `length` bytes at `address`, all of them in the
  // bytes one section has in the file.
  auto fileOffset = [&](uint32_t address, uint32_t length, uint64_t *offset) {
    for (int i = 0; i < sectionCount; ++i) {
      const Section &s = sections[i];
      if (address < s.address || address - s.address >= s.rawSize) continue;
      uint32_t into = address - s.address;
      if (length > s.rawSize - into) return false;
      *offset = static_cast<uint64_t>(s.rawOffset) + into;
      return true;
    }
    return false;
  };
  uint64_t treeAt;
  if (!fileOffset(treeAddress, treeSize, &treeAt)) return false;
  ResourceTree tree(file, treeAt, treeSize);

  // Type, then the first name, then the first language: two directories
  // and a leaf.
  uint32_t names, languages, leaf, address, size;
  if (!tree.Entry(0, type, &names) || !(names & kIsDirectory) ||
      !tree.Entry(names & ~kIsDirectory, nullptr, &languages) || !(languages & kIsDirectory) ||
      !tree.Entry(languages & ~kIsDirectory, nullptr, &leaf) || (leaf & kIsDirectory) ||
      !tree.Leaf(leaf, &address, &size))
    return false;
  uint64_t offset;
  if (!fileOffset(address, size, &offset) || offset + size > file.Size()) return false;
  resource->offset = offset;
  resource->size = size;
  return true;
}

}  // namespace corv::platform
