// The image's resource table, option text and symbol table.
//
// Resource entries point into the resources block, which the loader keeps
// for the rest of the run; names are copied out because a record's name need
// not be 0-terminated. Records that run past the end of the segment are
// reported and end the walk.
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/image_format.h"
#include "core/loader.h"
#include "corv.h"
#include "lib/string_record.h"

namespace corv {
namespace {

struct ResourceSlot {
  CORVresource entry;
  std::string name;
};
std::vector<std::unique_ptr<ResourceSlot>> gResources;

CORVstring gOptionText = nullptr;
bool gOptionsPresent = false;

// A symbol's name stays in the block: names may share their bytes, and a
// table whose every entry points at one long text must not copy it each time.
struct Symbol {
  uint32_t offset;
  uint64_t nameAt;  // in gSymbolBlock; may lie past its end (an empty name)
};
std::vector<uint8_t> gSymbolBlock;
std::vector<Symbol> gSymbols;
bool gSymbolsUnpacked = false;

void UnpackSymbols() {
  gSymbolsUnpacked = true;
  if (gSymbolBlock.size() < 4) return;
  uint64_t count = image::ReadU32(gSymbolBlock.data());
  uint64_t pool = 4 + count * 8;
  if (pool > gSymbolBlock.size()) {
    CORV_REPORT("0", "The symbol table is truncated.");
    return;
  }
  for (uint64_t i = 0; i < count; ++i) {
    const uint8_t *entry = gSymbolBlock.data() + 4 + i * 8;
    gSymbols.push_back(Symbol{image::ReadU32(entry), pool + image::ReadU32(entry + 4)});
  }
}

// The name at `at`: up to its 0 byte or the end of the block.
std::string_view SymbolName(uint64_t at) {
  if (at >= gSymbolBlock.size()) return {};
  const char *start = reinterpret_cast<const char *>(gSymbolBlock.data() + at);
  size_t room = gSymbolBlock.size() - at;
  const void *end = std::memchr(start, 0, room);
  return {start, end ? static_cast<size_t>(static_cast<const char *>(end) - start) : room};
}

}  // namespace

void SetImageSymbols(std::vector<uint8_t> &&symbols) {
  gSymbolBlock = std::move(symbols);
  gSymbols.clear();
  gSymbolsUnpacked = false;
}

void ResetImageTablesForTest() {
  gResources.clear();
  RuntimeUnlockString(gOptionText);
  gOptionText = nullptr;
  gOptionsPresent = false;
  SetImageSymbols({});
}

}  // namespace corv

extern "C" void registerResources(const uint8_t *records, uint32_t length, uint32_t fileOffset) {
  uint32_t position = 0;
  while (records && position < length) {
    if (uint64_t{position} + 14 > length) {
      CORV_REPORT("0", "A resource record is truncated.");
      return;
    }
    const uint8_t *header = records + position;
    uint32_t nameLength = corv::image::ReadU32(header + 6);
    uint32_t dataLength = corv::image::ReadU32(header + 10);
    if (uint64_t{position} + 14 + dataLength + nameLength > length) {
      CORV_REPORT("0", "A resource record is truncated.");
      return;
    }
    auto owned = std::make_unique<corv::ResourceSlot>();
    corv::ResourceSlot *slot = owned.get();
    slot->entry.type = corv::image::ReadU32(header);
    slot->entry.id = corv::image::ReadU16(header + 4);
    slot->entry.data = header + 14;
    slot->entry.length = dataLength;
    const char *name = reinterpret_cast<const char *>(header + 14 + dataLength);
    slot->name.assign(name, nameLength);
    while (!slot->name.empty() && slot->name.back() == 0) slot->name.pop_back();
    slot->entry.name = nameLength > 0 ? slot->name.c_str() : nullptr;
    slot->entry.fileOffset = fileOffset == 0 ? 0 : fileOffset + position + 14;
    corv::gResources.push_back(std::move(owned));
    position += 14 + dataLength + nameLength;
  }
}

extern "C" int32_t CORVResourceCount(void) {
  return static_cast<int32_t>(corv::gResources.size());
}

extern "C" const CORVresource *CORVResourceAt(int32_t index) {
  if (index < 0 || index >= CORVResourceCount()) return nullptr;
  return &corv::gResources[static_cast<size_t>(index)]->entry;
}

extern "C" const CORVresource *CORVFindResource(uint32_t type, uint16_t id) {
  for (const auto &slot : corv::gResources)
    if (slot->entry.type == type && slot->entry.id == id) return &slot->entry;
  return nullptr;
}

extern "C" void applyOptions(const uint8_t *records, uint32_t length) {
  uint32_t position = 0;
  while (records && position < length) {
    if (records[position] != 0) {
      CORV_REPORT("0", nullptr);  // not an option record: skip the byte
      ++position;
      continue;
    }
    ++position;
    corv::gOptionsPresent = true;
    if (uint64_t{position} + 4 > length) {
      CORV_REPORT("0", "An option record is truncated.");
      return;
    }
    int32_t n = static_cast<int32_t>(corv::image::ReadU32(records + position));
    position += 4;
    if (n <= 0) continue;
    if (uint64_t{position} + static_cast<uint32_t>(n) + 4 > length) {
      CORV_REPORT("0", "An option record is truncated.");
      return;
    }
    uint32_t encoding = corv::image::ReadU32(records + position + n);
    CORVstring text =
        RuntimeCreateString(reinterpret_cast<const char *>(records + position), n, encoding);
    RuntimeUnlockString(corv::gOptionText);
    corv::gOptionText = text;
    position += static_cast<uint32_t>(n) + 4;
  }
}

extern "C" CORVstring CORVImageOptions(void) {
  return RuntimeLockString(corv::gOptionText);
}

extern "C" bool CORVImageHasOptions(void) {
  return corv::gOptionsPresent;
}

extern "C" bool symbolFor(uint32_t address, CORVstring *name, uint32_t *offset) {
  if (name) *name = nullptr;
  if (offset) *offset = 0;
  if (corv::gSymbolBlock.empty()) return false;
  if (!corv::gSymbolsUnpacked) corv::UnpackSymbols();
  uint32_t codeBase = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(corv::ImageCodeBase()));
  if (address < codeBase || address - codeBase >= corv::ImageCodeLength()) return false;
  uint32_t relative = address - codeBase;
  const corv::Symbol *best = nullptr;
  for (const corv::Symbol &symbol : corv::gSymbols)
    if (symbol.offset <= relative) best = &symbol;  // the last such entry wins
  if (!best) return false;
  if (name) {
    std::string_view text = corv::SymbolName(best->nameAt);
    *name = RuntimeCreateString(text.data(), static_cast<int32_t>(text.size()), kEncodingUTF8);
  }
  if (offset) *offset = relative - best->offset;
  return true;
}
