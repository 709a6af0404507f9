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

/// One bin's chain as an array, oldest entry first. A chain that has held
/// no more than one entry keeps it in place of the array, so the many short
/// chains of a sparse table cost no allocation and no extra cache line; the
/// hash is then read from the entry.
struct CORVdictionaryChain {
  int32_t count;
  int32_t capacity;  ///< 1: the one slot is `single`
  union {
    CORVdictionaryEntry **slots;  ///< `capacity` entry pointers, then `capacity` hashes
    CORVdictionaryEntry *single;
  };

  bool IsSingle() const { return capacity == 1; }
  CORVdictionaryEntry *EntryAt(int32_t slot) const { return IsSingle() ? single : slots[slot]; }
  uint32_t HashAt(int32_t slot) const { return IsSingle() ? single->hash : hashes()[slot]; }
  /// The array's hashes, when it is not single.
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
  if (chain->IsSingle()) {
    chain->single = entry;
  } else {
    chain->hashes()[chain->count] = entry->hash;
    chain->slots[chain->count] = entry;
  }
  ++chain->count;
}
/// The slot of the newest entry whose key equals `key`, or -1.
int32_t FindInChain(const CORVdictionaryChain &chain, const CORVvariant &key, uint32_t hash);
/// Removes a slot, keeping the order of the others.
void RemoveFromChain(CORVdictionaryChain *chain, int32_t slot);

}  // namespace corv
