// Lookup and growth of the runtime link table.
//
// Lookup by name finds what a scan of the fixed entries and then the dynamic
// ones would find first, ASCII case ignored. A name index of 256 buckets over
// both parts, built on first use, answers it, and lets registerLinkEntry
// notice a name registered twice.
#include "core/link_table.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "corv.h"

namespace corv {
namespace {

struct DynamicTable {
  CORVlinkEntry *entries = nullptr;
  size_t count = 0;
  size_t capacity = 0;
};

struct IndexNode {
  const char *name;
  size_t position;  // fixed entries first, then dynamic
  IndexNode *next;
};

constexpr size_t kIndexBuckets = 256;

DynamicTable gDynamic;
IndexNode *gIndex[kIndexBuckets];
bool gIndexBuilt = false;
std::mutex gMutex;

unsigned char FoldAscii(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

bool SameName(const char *a, const char *b) {
  for (;; ++a, ++b) {
    if (FoldAscii(*a) != FoldAscii(*b)) return false;
    if (*a == 0) return true;
  }
}

size_t NameBucket(const char *name) {
  uint32_t hash = 0;
  for (; *name; ++name) hash = hash * 31 + FoldAscii(static_cast<unsigned char>(*name));
  return hash % kIndexBuckets;
}

const CORVlinkEntry &EntryAt(size_t position) {
  size_t fixedCount;
  const CORVlinkEntry *fixed = FixedLinkEntries(&fixedCount);
  return position < fixedCount ? fixed[position] : gDynamic.entries[position - fixedCount];
}

void IndexAdd(const char *name, size_t position) {
  size_t bucket = NameBucket(name);
  gIndex[bucket] = new IndexNode{name, position, gIndex[bucket]};
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

// The first entry of that name in the index, in table order.
const CORVlinkEntry *IndexFind(const char *name) {
  const IndexNode *best = nullptr;
  for (const IndexNode *node = gIndex[NameBucket(name)]; node; node = node->next)
    if (SameName(node->name, name) && (!best || node->position < best->position)) best = node;
  return best ? &EntryAt(best->position) : nullptr;
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
