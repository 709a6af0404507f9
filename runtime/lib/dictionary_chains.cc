// Dictionary chains as arrays of hashes and entry pointers.
#include "lib/dictionary_chains.h"

#include <cstdlib>
#include <cstring>

#include "lib/variant.h"

namespace {

constexpr int32_t kFirstChainCapacity = 4;

size_t ArrayBytes(int32_t capacity) {
  return static_cast<size_t>(capacity) * (sizeof(CORVdictionaryEntry *) + sizeof(uint32_t));
}

// Gives the chain an array of `capacity` slots, keeping its slots. False when
// memory cannot be had (the chain is then unchanged).
bool Reallocate(CORVdictionaryChain *chain, int32_t capacity) {
  auto *slots = static_cast<CORVdictionaryEntry **>(std::malloc(ArrayBytes(capacity)));
  if (!slots) return false;
  if (chain->count > 0) {
    size_t n = static_cast<size_t>(chain->count);
    std::memcpy(slots, chain->entries(), n * sizeof(CORVdictionaryEntry *));
    std::memcpy(slots + capacity, chain->hashes(), n * sizeof(uint32_t));
  }
  std::free(chain->slots);
  chain->slots = slots;
  chain->capacity = capacity;
  return true;
}

}  // namespace

CORVdictionaryChains *corv::NewDictionaryChains(int32_t bins) {
  auto *t = static_cast<CORVdictionaryChains *>(std::malloc(sizeof(CORVdictionaryChains)));
  if (!t) return nullptr;
  t->bins = bins;
  t->chain = static_cast<CORVdictionaryChain *>(
      std::calloc(static_cast<size_t>(bins), sizeof(CORVdictionaryChain)));
  if (!t->chain) {
    std::free(t);
    return nullptr;
  }
  return t;
}

void corv::FreeDictionaryChains(CORVdictionaryChains *t) {
  if (!t) return;
  for (int32_t b = 0; b < t->bins; ++b) std::free(t->chain[b].slots);
  std::free(t->chain);
  std::free(t);
}

CORVdictionaryChains *corv::BuildDictionaryChains(CORVdictionaryEntry *const *entries,
                                                  int32_t count, int32_t bins) {
  CORVdictionaryChains *t = NewDictionaryChains(bins);
  if (!t) return nullptr;
  auto chainOf = [t](const CORVdictionaryEntry *e) {
    return &t->chain[e->hash % static_cast<uint32_t>(t->bins)];
  };
  // Count first (in `count`), so that each array is allocated once, with
  // room to grow.
  for (int32_t i = 0; i < count; ++i) ++chainOf(entries[i])->count;
  for (int32_t b = 0; b < bins; ++b) {
    CORVdictionaryChain &chain = t->chain[b];
    if (chain.count == 0) continue;
    int32_t capacity = kFirstChainCapacity;
    while (capacity < chain.count) capacity *= 2;
    chain.count = 0;
    if (!Reallocate(&chain, capacity)) {
      FreeDictionaryChains(t);
      return nullptr;
    }
  }
  for (int32_t i = 0; i < count; ++i) AppendToChain(chainOf(entries[i]), entries[i]);
  return t;
}

bool corv::ReserveChainSlot(CORVdictionaryChain *chain) {
  if (chain->count < chain->capacity) return true;
  return Reallocate(chain, chain->capacity > 0 ? chain->capacity * 2 : kFirstChainCapacity);
}

int32_t corv::FindInChain(const CORVdictionaryChain &chain, const CORVvariant &key, uint32_t hash) {
  const uint32_t *hashes = chain.hashes();
  for (int32_t slot = chain.count - 1; slot >= 0; --slot)
    if (hashes[slot] == hash && VariantEquals(chain.entries()[slot]->key, key)) return slot;
  return -1;
}

void corv::RemoveFromChain(CORVdictionaryChain *chain, int32_t slot) {
  size_t after = static_cast<size_t>(chain->count - slot - 1);
  std::memmove(chain->entries() + slot, chain->entries() + slot + 1,
               after * sizeof(CORVdictionaryEntry *));
  std::memmove(chain->hashes() + slot, chain->hashes() + slot + 1, after * sizeof(uint32_t));
  // An emptied array goes at once, while it is still in the cache: freeing
  // many cold ones later, when the table goes, costs far more.
  if (--chain->count == 0) {
    std::free(chain->slots);
    chain->slots = nullptr;
    chain->capacity = 0;
  }
}
