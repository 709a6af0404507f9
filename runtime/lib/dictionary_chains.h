// Dictionary chains as arrays: each bin's chain again, as its entries' hashes
// and pointers side by side, which the key search scans instead of following
// the chain's links.
//
// Invariant: the array of bin b holds exactly the entries of the chain that
// starts at bins[b], oldest first, so the chain's head is the last slot and
// slot k's entry links to slot k - 1's. A search scans the hashes from the
// end, newest first, as the chain would be followed, and touches an entry
// only when its hash matches; a chain of a few dozen entries is one or two
// cache lines of hashes.
#pragma once

#include <cstdint>

#include "corv_dictionary.h"
#include "corv_variant.h"

/// One bin's chain as an array. Oldest entry first.
struct CORVdictionaryChain {
  int32_t count;
  int32_t capacity;
  /// `capacity` entry pointers, then `capacity` hashes.
  CORVdictionaryEntry **slots;

  CORVdictionaryEntry **entries() const { return slots; }
  uint32_t *hashes() const { return reinterpret_cast<uint32_t *>(slots + capacity); }
};

/// The chains of every bin.
struct CORVdictionaryChains {
  int32_t bins;
  CORVdictionaryChain *chain;  ///< `bins` chains
};

namespace corv {

/// A table of `bins` empty chains; null when it cannot be had.
CORVdictionaryChains *NewDictionaryChains(int32_t bins);
/// Frees a table and its chains' arrays (not the entries). Null is allowed.
void FreeDictionaryChains(CORVdictionaryChains *chains);

/// A new table of `bins` chains holding `count` entries, each in the chain of
/// (hash % bins), in the order given, so that the last of a bin is its head.
/// Null when memory cannot be had.
CORVdictionaryChains *BuildDictionaryChains(CORVdictionaryEntry *const *entries, int32_t count,
                                            int32_t bins);

/// Makes room for one more slot. False when memory cannot be had.
bool ReserveChainSlot(CORVdictionaryChain *chain);
/// Appends an entry as the newest of the chain; room must be reserved.
inline void AppendToChain(CORVdictionaryChain *chain, CORVdictionaryEntry *entry) {
  chain->hashes()[chain->count] = entry->hash;
  chain->entries()[chain->count++] = entry;
}
/// The slot of the newest entry whose key equals `key`, or -1.
int32_t FindInChain(const CORVdictionaryChain &chain, const CORVvariant &key, uint32_t hash);
/// Removes a slot, keeping the order of the others.
void RemoveFromChain(CORVdictionaryChain *chain, int32_t slot);

}  // namespace corv
