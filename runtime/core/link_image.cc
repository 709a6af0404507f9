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

// Reads a name of `length` bytes followed by one 0 byte.
bool ReadName(const uint8_t *records, uint32_t length, uint32_t *position, std::string *name) {
  if (*position >= length) return false;
  uint32_t n = records[(*position)++];
  if (uint64_t{*position} + n + 1 > length) return false;
  name->assign(reinterpret_cast<const char *>(records + *position), n);
  *position += n + 1;
  return true;
}

// The walk over the link records and what it writes into the code and data.
// The loader links the placed image with it; the image check runs the same
// walk over copies, with made-up addresses and nothing loaded.
class Linker {
 public:
  Linker(uint8_t *code, uint32_t codeLength, uint8_t *data, uint32_t dataLength)
      : code_(code), codeLength_(codeLength), data_(data), dataLength_(dataLength) {}
  virtual ~Linker() = default;

  void Link(const uint8_t *records, uint32_t length);

 protected:
  virtual void Report(const char *condition, const std::string &message) = 0;
  /// The address that calls `function`; nil is the unresolved-import function.
  virtual uint32_t Stub(void *function) = 0;
  virtual void *ExternalFunction(const std::string &library, const std::string &function) = 0;
  /// Where the blocks are when the image runs.
  virtual uint32_t CodeBase() { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(code_)); }
  virtual uint32_t DataBase() { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(data_)); }

 private:
  bool CodeWordInRange(uint32_t offset) const { return uint64_t{offset} + 4 <= codeLength_; }
  void AddToCodeWord(uint32_t offset, uint32_t amount);
  void PatchChain(uint32_t firstSite, uint32_t target, bool relative);
  void FixStringLiteral(uint32_t offset);

  uint8_t *code_;
  uint32_t codeLength_;
  uint8_t *data_;
  uint32_t dataLength_;
};

void Linker::AddToCodeWord(uint32_t offset, uint32_t amount) {
  if (!CodeWordInRange(offset)) {
    Report("0", "A relocation lies outside the code segment.");
    return;
  }
  uint8_t *word = code_ + offset;
  image::WriteU32(word, image::ReadU32(word) + amount);
}

// Writes the target into every site of a chain; each site holds the offset
// of the next one and the last holds 0.
void Linker::PatchChain(uint32_t firstSite, uint32_t target, bool relative) {
  uint32_t site = firstSite;
  uint32_t limit = codeLength_ / 4 + 1;
  for (uint32_t steps = 0; site != 0; ++steps) {
    if (!CodeWordInRange(site) || steps > limit) {
      Report("0", "A site chain leaves the code segment or loops.");
      return;
    }
    uint8_t *word = code_ + site;
    uint32_t next = image::ReadU32(word);
    image::WriteU32(word, relative ? target - (CodeBase() + site + 4) : target);
    site = next;
  }
}

void Linker::FixStringLiteral(uint32_t offset) {
  if (!CodeWordInRange(offset)) {
    Report("0", "A string literal fix-up lies outside the code segment.");
    return;
  }
  uint8_t *word = code_ + offset;
  uint32_t dataBase = DataBase();
  uint32_t literalOffset = image::ReadU32(word);
  image::WriteU32(word, literalOffset + dataBase);
  if (uint64_t{literalOffset} + image::kLiteralHeader > dataLength_) {
    Report("0", "A string literal lies outside the data segment.");
    return;
  }
  uint8_t *literal = data_ + literalOffset;
  if (image::ReadU32(literal + 4) == 0)
    image::WriteU32(literal + 4, dataBase + literalOffset + image::kLiteralHeader);
}

void Linker::Link(const uint8_t *records, uint32_t length) {
  uint32_t position = 0;
  auto truncated = [this] { Report("0", "The link records end inside a record."); };
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
          Report("foundFunction", "Function '" + name + "' was not exported");
          // Calling it must fail in a defined way: every site leads to a
          // function that reports and returns 0.
          PatchChain(firstSite, Stub(nullptr), relative);
        } else if (firstSite != 0) {
          PatchChain(firstSite, Stub(function), relative);
        }
        break;
      }
      case image::kDataRelocation:
      case image::kCodeRelocation:
      case image::kStringLiteral: {
        if (uint64_t{position} + 4 > length) return truncated();
        uint32_t offset = image::ReadU32(records + position);
        position += 4;
        if (type == image::kDataRelocation) AddToCodeWord(offset, DataBase());
        if (type == image::kCodeRelocation) AddToCodeWord(offset, CodeBase());
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
        void *address = ExternalFunction(library, function);
        if (!address)
          Report("functionEntry", "Could not resolve function '" + function + "' in " + library);
        PatchChain(firstSite, Stub(address), true);
        break;
      }
      default:
        break;  // unknown bytes are skipped one at a time
    }
  }
}

// The placed image: real stubs, libraries loaded, problems reported.
class PlacedImageLinker : public Linker {
 public:
  PlacedImageLinker()
      : Linker(ImageCodeBase(), ImageCodeLength(), ImageDataBase(), ImageDataLength()) {}

 protected:
  void Report(const char *condition, const std::string &message) override {
    CORV_REPORT(condition, message.c_str());
  }
  uint32_t Stub(void *function) override { return function ? StubFor(function) : UnresolvedStub(); }
  void *ExternalFunction(const std::string &library, const std::string &function) override {
    return LibraryFunction(library, function);
  }
};

// Copies of the code and data at fixed made-up addresses. No library is
// loaded, since loading one runs its initialisers: every external counts as
// found, and no stub is made.
class CheckingLinker : public Linker {
 public:
  static constexpr uint32_t kCodeBase = 0x10000000, kDataBase = 0x20000000;
  static constexpr uint32_t kStub = 0x30000000;

  CheckingLinker(std::vector<uint8_t> *code, std::vector<uint8_t> *data,
                 std::vector<std::string> *problems)
      : Linker(code->data(), static_cast<uint32_t>(code->size()), data->data(),
               static_cast<uint32_t>(data->size())),
        problems_(problems) {}

 protected:
  void Report(const char *, const std::string &message) override { problems_->push_back(message); }
  uint32_t Stub(void *) override { return kStub; }
  void *ExternalFunction(const std::string &, const std::string &) override { return this; }
  uint32_t CodeBase() override { return kCodeBase; }
  uint32_t DataBase() override { return kDataBase; }

 private:
  std::vector<std::string> *problems_;
};

}  // namespace

extern "C" int32_t CORVUnresolvedImport(void) {
  CORV_REPORT("foundFunction", "A function that the image imports was not found at load time.");
  return 0;
}

std::vector<std::string> CheckImageLinks(const ImageSegments &segments) {
  std::vector<std::string> problems;
  if (segments.segments[image::kCode].size() > UINT32_MAX ||
      segments.segments[image::kData].size() > UINT32_MAX) {
    problems.push_back("The image is too large.");
    return problems;
  }
  std::vector<uint8_t> code = segments.segments[image::kCode];
  std::vector<uint8_t> data = segments.segments[image::kData];
  const std::vector<uint8_t> &link = segments.segments[image::kLink];
  CheckingLinker(&code, &data, &problems).Link(link.data(), static_cast<uint32_t>(link.size()));
  return problems;
}

}  // namespace corv

extern "C" void linkImage(const uint8_t *records, uint32_t length) {
  corv::PlacedImageLinker().Link(records, length);
}
