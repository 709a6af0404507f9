// Lookup and growth of the runtime link table.
//
// Lookup by name finds what a scan of the fixed entries and then the dynamic
// ones would find first, ASCII case ignored. A name index answers it and
// lets registerLinkEntry notice a name registered twice: an open-addressing
// table of entry positions (position + 1; 0 is a free slot), built on first
// use, at most half full. Positions are inserted in table order and a name
// already present is not inserted again, so the slot a name reaches holds
// its first entry.
#include "core/link_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "corv.h"
#include "lib/case_map.h"

namespace corv {
namespace {

struct DynamicTable {
  CORVlinkEntry *entries = nullptr;
  size_t count = 0;
  size_t capacity = 0;
};

DynamicTable gDynamic;
std::vector<uint32_t> gSlots;  // size a power of two
size_t gIndexed = 0;           // entries in the index
bool gIndexBuilt = false;
std::mutex gMutex;

bool SameName(const char *a, const char *b) {
  for (;; ++a, ++b) {
    if (AsciiLower(static_cast<unsigned char>(*a)) != AsciiLower(static_cast<unsigned char>(*b)))
      return false;
    if (*a == 0) return true;
  }
}

uint32_t NameHash(const char *name) {
  uint32_t hash = 2166136261u;  // FNV-1a over the folded bytes
  for (; *name; ++name) hash = (hash ^ AsciiLower(static_cast<unsigned char>(*name))) * 16777619u;
  return hash;
}

const CORVlinkEntry &EntryAt(size_t position) {
  size_t fixedCount;
  const CORVlinkEntry *fixed = FixedLinkEntries(&fixedCount);
  return position < fixedCount ? fixed[position] : gDynamic.entries[position - fixedCount];
}

// The slot that holds that name, or the free slot where it would go.
size_t SlotOf(const char *name) {
  size_t mask = gSlots.size() - 1;
  for (size_t slot = NameHash(name) & mask;; slot = (slot + 1) & mask) {
    uint32_t held = gSlots[slot];
    if (held == 0 || SameName(EntryAt(held - 1).name, name)) return slot;
  }
}

void IndexAdd(const char *name, size_t position);

void Rehash(size_t slots) {
  std::vector<uint32_t> old;
  old.swap(gSlots);
  gSlots.assign(slots, 0);
  gIndexed = 0;
  std::vector<uint32_t> positions;
  for (uint32_t held : old)
    if (held) positions.push_back(held - 1);
  // Back in table order, so that the first of equal names is kept.
  std::sort(positions.begin(), positions.end());
  for (uint32_t position : positions) IndexAdd(EntryAt(position).name, position);
}

void IndexAdd(const char *name, size_t position) {
  if (gSlots.empty() || 2 * (gIndexed + 1) > gSlots.size())
    Rehash(gSlots.empty() ? 4096 : 2 * gSlots.size());
  size_t slot = SlotOf(name);
  if (gSlots[slot] != 0) return;  // an earlier entry has that name
  gSlots[slot] = static_cast<uint32_t>(position + 1);
  ++gIndexed;
}

void BuildIndex() {
  if (gIndexBuilt) return;
  gIndexBuilt = true;
  size_t fixedCount;
  const CORVlinkEntry *fixed = FixedLinkEntries(&fixedCount);
  for (size_t i = 0; i < fixedCount; ++i)
    if (fixed[i].name) IndexAdd(fixed[i].name, i);
  for (size_t i = 0; i < gDynamic.count; ++i)
    if (gDynamic.entries[i].name) IndexAdd(gDynamic.entries[i].name, fixedCount + i);
}

// The first entry of that name in table order.
const CORVlinkEntry *IndexFind(const char *name) {
  if (gSlots.empty()) return nullptr;
  uint32_t held = gSlots[SlotOf(name)];
  return held ? &EntryAt(held - 1) : nullptr;
}

void AppendDynamic(const char *name, void *function) {
  if (gDynamic.count == gDynamic.capacity) {
    // Grows by its current capacity, at least 16 entries at a time.
    size_t grow = gDynamic.capacity < 16 ? 16 : gDynamic.capacity;
    size_t capacity = gDynamic.capacity + grow;
    auto *entries = static_cast<CORVlinkEntry *>(
        std::realloc(gDynamic.entries, capacity * sizeof(CORVlinkEntry)));
    if (!entries) return;
    gDynamic.entries = entries;
    gDynamic.capacity = capacity;
  }
  char *copy = strdup(name);  // entries live until the process ends
  gDynamic.entries[gDynamic.count] = CORVlinkEntry{copy, function, 0, 0};
  size_t fixedCount;
  FixedLinkEntries(&fixedCount);
  IndexAdd(copy, fixedCount + gDynamic.count);
  ++gDynamic.count;
}

}  // namespace

const CORVlinkEntry *DynamicLinkEntries(size_t *count) {
  *count = gDynamic.count;
  return gDynamic.entries;
}

}  // namespace corv

extern "C" void *CORVLookupLinkEntry(const char *name) {
  if (!name) return nullptr;
  std::lock_guard<std::mutex> hold(corv::gMutex);
  // The index gives the entry a scan in table order would find first; an
  // image and three plugins resolve hundreds of names at every start.
  corv::BuildIndex();
  const CORVlinkEntry *entry = corv::IndexFind(name);
  return entry ? entry->code : nullptr;
}

extern "C" void registerLinkEntry(const char *name, void *function) {
  if (!name) return;
  bool clash = false;
  {
    std::lock_guard<std::mutex> hold(corv::gMutex);
    corv::BuildIndex();
    if (const CORVlinkEntry *old = corv::IndexFind(name))
      clash = old->code != function;
    else
      corv::AppendDynamic(name, function);
  }
  if (clash) CORV_REPORT("functionPtr == oldEntry->code", nullptr);
}
