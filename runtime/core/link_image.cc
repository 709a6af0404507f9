// Linking the placed image: imports by name through their site chains,
// relocations, external library functions and string-literal fix-ups.
//
// Every site and fix-up word must lie inside the code segment and every
// string literal inside the data segment; a record that points elsewhere is
// reported and skipped, and a site chain that would loop is cut off, so a
// damaged image cannot make the loader write outside its own blocks.
#include <cstring>
#include <string>
#include <vector>

#include "core/image_format.h"
#include "core/loader.h"
#include "corv.h"
#include "lib/case_map.h"
#include "platform/dynamic_library.h"
#include "platform/memory.h"

namespace corv {
namespace {

struct LoadedLibrary {
  std::string name;
  void *handle;
};
std::vector<LoadedLibrary> gLibraries;  // newest first

bool CodeWordInRange(uint32_t offset) {
  return uint64_t{offset} + 4 <= ImageCodeLength();
}

uint32_t CodeAddress(uint32_t offset) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ImageCodeBase())) + offset;
}

void AddToCodeWord(uint32_t offset, uint32_t amount) {
  if (!CodeWordInRange(offset)) {
    CORV_REPORT("0", "A relocation lies outside the code segment.");
    return;
  }
  uint8_t *word = ImageCodeBase() + offset;
  image::WriteU32(word, image::ReadU32(word) + amount);
}

// Writes the target into every site of a chain; each site holds the offset
// of the next one and the last holds 0.
void PatchChain(uint32_t firstSite, uint32_t target, bool relative) {
  uint32_t site = firstSite;
  uint32_t limit = ImageCodeLength() / 4 + 1;
  for (uint32_t steps = 0; site != 0; ++steps) {
    if (!CodeWordInRange(site) || steps > limit) {
      CORV_REPORT("0", "A site chain leaves the code segment or loops.");
      return;
    }
    uint8_t *word = ImageCodeBase() + site;
    uint32_t next = image::ReadU32(word);
    image::WriteU32(word, relative ? target - (CodeAddress(site) + 4) : target);
    site = next;
  }
}

// Imports reach native functions through stubs below 4 GiB, because a
// 32-bit site cannot hold a 64-bit address.
uint32_t StubFor(void *function) {
  uint32_t stub = platform::MakeLowCallStub(function);
  if (stub == 0) CORV_REPORT("0", "No call stub could be made for an import.");
  return stub;
}

uint32_t UnresolvedStub() {
  static uint32_t stub = StubFor(reinterpret_cast<void *>(&CORVUnresolvedImport));
  return stub;
}

void *LibraryFunction(const std::string &library, const std::string &function) {
  LoadedLibrary *found = nullptr;
  for (LoadedLibrary &entry : gLibraries)
    if (EqualsIgnoringAsciiCase(entry.name, library)) {
      found = &entry;
      break;
    }
  if (!found) {
    // A library that fails to load is still entered, with no handle.
    gLibraries.insert(gLibraries.begin(), LoadedLibrary{library, platform::LoadLibrary(library)});
    found = &gLibraries.front();
  }
  return platform::FindSymbol(found->handle, function.c_str());
}

void FixStringLiteral(uint32_t offset) {
  if (!CodeWordInRange(offset)) {
    CORV_REPORT("0", "A string literal fix-up lies outside the code segment.");
    return;
  }
  uint8_t *word = ImageCodeBase() + offset;
  uint32_t dataBase = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ImageDataBase()));
  uint32_t literalOffset = image::ReadU32(word);
  image::WriteU32(word, literalOffset + dataBase);
  if (uint64_t{literalOffset} + image::kLiteralHeader > ImageDataLength()) {
    CORV_REPORT("0", "A string literal lies outside the data segment.");
    return;
  }
  uint8_t *literal = ImageDataBase() + literalOffset;
  if (image::ReadU32(literal + 4) == 0)
    image::WriteU32(literal + 4, dataBase + literalOffset + image::kLiteralHeader);
}

// Reads a name of `length` bytes followed by one 0 byte.
bool ReadName(const uint8_t *records, uint32_t length, uint32_t *position, std::string *name) {
  if (*position >= length) return false;
  uint32_t n = records[(*position)++];
  if (uint64_t{*position} + n + 1 > length) return false;
  name->assign(reinterpret_cast<const char *>(records + *position), n);
  *position += n + 1;
  return true;
}

}  // namespace

extern "C" int32_t CORVUnresolvedImport(void) {
  CORV_REPORT("foundFunction", "A function that the image imports was not found at load time.");
  return 0;
}

}  // namespace corv

extern "C" void linkImage(const uint8_t *records, uint32_t length) {
  using namespace corv;
  uint32_t dataBase = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ImageDataBase()));
  uint32_t codeBase = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ImageCodeBase()));
  uint32_t position = 0;
  auto truncated = [] { CORV_REPORT("0", "The link records end inside a record."); };
  while (records && position < length) {
    uint8_t type = records[position++];
    switch (type) {
      case image::kImport: {
        if (uint64_t{position} + 5 > length) return truncated();
        bool relative = records[position] == 1;
        uint32_t firstSite = image::ReadU32(records + position + 1);
        position += 5;
        std::string name;
        if (!ReadName(records, length, &position, &name)) return truncated();
        void *function = CORVLookupLinkEntry(name.c_str());
        if (!function) {
          std::string message = "Function '" + name + "' was not exported";
          CORV_REPORT("foundFunction", message.c_str());
          // Calling it must fail in a defined way: every site leads to a
          // function that reports and returns 0.
          PatchChain(firstSite, UnresolvedStub(), relative);
        } else if (firstSite != 0) {
          PatchChain(firstSite, StubFor(function), relative);
        }
        break;
      }
      case image::kDataRelocation:
      case image::kCodeRelocation:
      case image::kStringLiteral: {
        if (uint64_t{position} + 4 > length) return truncated();
        uint32_t offset = image::ReadU32(records + position);
        position += 4;
        if (type == image::kDataRelocation) AddToCodeWord(offset, dataBase);
        if (type == image::kCodeRelocation) AddToCodeWord(offset, codeBase);
        if (type == image::kStringLiteral) FixStringLiteral(offset);
        break;
      }
      case image::kExternal: {
        if (uint64_t{position} + 4 > length) return truncated();
        uint32_t firstSite = image::ReadU32(records + position);
        position += 4;
        std::string function, library;
        if (!ReadName(records, length, &position, &function) ||
            !ReadName(records, length, &position, &library))
          return truncated();
        void *address = LibraryFunction(library, function);
        if (!address) {
          std::string message = "Could not resolve function '" + function + "' in " + library;
          CORV_REPORT("functionEntry", message.c_str());
        }
        PatchChain(firstSite, address ? StubFor(address) : UnresolvedStub(), true);
        break;
      }
      default:
        break;  // unknown bytes are skipped one at a time
    }
  }
}
