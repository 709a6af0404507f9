// Dictionary chains as arrays of hashes and entry pointers.
#include "lib/dictionary_chains.h"

#include <cstdlib>
#include <cstring>

#include "lib/variant.h"

namespace {

// The smallest array; a chain of one entry keeps it without one.
constexpr int32_t kFirstArrayCapacity = 4;

// Gives the chain an array of `capacity` (at least kFirstArrayCapacity)
// slots, keeping its slots. False when memory cannot be had (the chain is
// then unchanged).
bool Reallocate(CORVdictionaryChain *chain, int32_t capacity) {
  size_t bytes = static_cast<size_t>(capacity) * (sizeof(CORVdictionaryEntry *) + sizeof(uint32_t));
  auto *slots = static_cast<CORVdictionaryEntry **>(std::malloc(bytes));
  if (!slots) return false;
  auto *hashes = reinterpret_cast<uint32_t *>(slots + capacity);
  for (int32_t k = 0; k < chain->count; ++k) {
    slots[k] = chain->EntryAt(k);
    hashes[k] = chain->HashAt(k);
  }
  if (chain->capacity > 1) std::free(chain->slots);
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
  for (int32_t b = 0; b < t->bins; ++b)
    if (t->chain[b].capacity > 1) std::free(t->chain[b].slots);
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
    int32_t needed = chain.count;
    chain.count = 0;
    if (needed == 1) chain.capacity = 1;
    if (needed <= 1) continue;
    int32_t capacity = kFirstArrayCapacity;
    while (capacity < needed) capacity *= 2;
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
  if (chain->capacity == 0) {
    chain->capacity = 1;
    chain->single = nullptr;
    return true;
  }
  int32_t capacity = chain->capacity * 2;
  return Reallocate(chain, capacity < kFirstArrayCapacity ? kFirstArrayCapacity : capacity);
}

int32_t corv::FindInChain(const CORVdictionaryChain &chain, const CORVvariant &key, uint32_t hash) {
  if (chain.IsSingle())
    return chain.count == 1 && chain.single->hash == hash && VariantEquals(chain.single->key, key)
               ? 0
               : -1;
  const uint32_t *hashes = chain.hashes();
  for (int32_t slot = chain.count - 1; slot >= 0; --slot)
    if (hashes[slot] == hash && VariantEquals(chain.slots[slot]->key, key)) return slot;
  return -1;
}

void corv::RemoveFromChain(CORVdictionaryChain *chain, int32_t slot) {
  if (chain->IsSingle()) {
    chain->single = nullptr;
    chain->count = 0;
    return;
  }
  size_t after = static_cast<size_t>(chain->count - slot - 1);
  std::memmove(chain->slots + slot, chain->slots + slot + 1, after * sizeof(CORVdictionaryEntry *));
  std::memmove(chain->hashes() + slot, chain->hashes() + slot + 1, after * sizeof(uint32_t));
  // An emptied array goes at once, while it is still in the cache: freeing
  // many cold ones later, when the table goes, costs far more.
  if (--chain->count == 0) {
    std::free(chain->slots);
    chain->slots = nullptr;
    chain->capacity = 0;
  }
}
