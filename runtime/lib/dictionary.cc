// Dictionary: variant keys to variant values, in hash chains and in an entry
// array at once.
//
// Invariants: every entry is on exactly one chain, the one of bin
// (hash % binCount), and at entries[entry->index]; entries[0..count) are the
// live entries, in insertion order until a removal moves the last entry into
// the gap. A new entry goes to the head of its chain. Each chain is mirrored
// by an array of its hashes and entries (dictionary_chains.h), oldest first,
// which is what the key search scans. With automatic sizing
// the table grows through kDictionaryBinSizes once count exceeds 3/4 of the
// bins. Keys and values released by an operation are released only after
// the dictionary is consistent again and no longer busy, because a release
// may run a destructor that uses the dictionary.
#include <cstdlib>
#include <cstring>

#include "corv.h"
#include "corv/class_decl.h"
#include "corv/exception.h"
#include "corv/ref.h"
#include "corv_array.h"
#include "corv_dictionary.h"
#include "lib/dictionary.h"
#include "lib/dictionary_chains.h"
#include "lib/variant.h"

namespace {

using corv::kDictionaryBinSizes;
using corv::kDictionaryInitialBins;

CORVdictionary *AsDictionary(CORVobject self) {
  if (!self) RaiseNilObjectException();
  return reinterpret_cast<CORVdictionary *>(self);
}

[[noreturn]] void RaiseOutOfMemory() {
  corv::RaiseNew(&kOutOfMemoryExceptionDecl);
}
[[noreturn]] void RaiseKeyNotFound() {
  corv::RaiseNew(&kKeyNotFoundExceptionDecl);
}
[[noreturn]] void RaiseOutOfBounds() {
  corv::RaiseNew(&kOutOfBoundsExceptionDecl);
}

// Marks the dictionary busy for one operation; a nested operation (from a
// destructor run in the middle of one) is reported and refused.
class BusyScope {
 public:
  explicit BusyScope(CORVdictionary *d) : d_(d), entered_(!d->busy) {
    if (entered_)
      d->busy = true;
    else
      CORV_REPORT("!busy", "Dictionary used while one of its operations is under way.");
  }
  ~BusyScope() {
    if (entered_) d_->busy = false;
  }
  explicit operator bool() const { return entered_; }

 private:
  CORVdictionary *d_;
  bool entered_;
};

void SetBinCount(CORVdictionary *d, int32_t bins) {
  d->binCount = bins;
  d->growthStep = bins > 4099 ? 1024 : bins / 4;
}

// A new zeroed chain table; null when it cannot be had.
CORVdictionaryEntry **NewBins(int32_t bins) {
  return static_cast<CORVdictionaryEntry **>(
      std::calloc(static_cast<size_t>(bins), sizeof(CORVdictionaryEntry *)));
}

// Puts a new table of `bins` empty chain heads and the given chain arrays in
// place of the old ones; false when either could not be allocated (the old
// ones are then kept).
bool ReplaceBins(CORVdictionary *d, int32_t bins, CORVdictionaryChains *chains) {
  CORVdictionaryEntry **table = NewBins(bins);
  if (!table || !chains) {
    std::free(table);
    corv::FreeDictionaryChains(chains);
    return false;
  }
  std::free(d->bins);
  corv::FreeDictionaryChains(d->chains);
  d->bins = table;
  d->chains = chains;
  SetBinCount(d, bins);
  return true;
}

// Moves every entry, in entry-array order, to the head of its chain in a
// new table of `bins` chains. False when the table cannot be allocated.
bool Rehash(CORVdictionary *d, int32_t bins) {
  if (!ReplaceBins(d, bins, corv::BuildDictionaryChains(d->entries, d->count, bins))) return false;
  for (int32_t i = 0; i < d->count; ++i) {
    CORVdictionaryEntry *e = d->entries[i];
    CORVdictionaryEntry **head = &d->bins[e->hash % static_cast<uint32_t>(bins)];
    e->next = *head;
    *head = e;
  }
  return true;
}

int32_t AutomaticBinCount(int32_t count) {
  int64_t target = static_cast<int64_t>(count) * 4 / 3;
  for (int i = 0; i < 10; ++i)
    if (kDictionaryBinSizes[i] >= target) return kDictionaryBinSizes[i];
  return kDictionaryBinSizes[10];
}

// Automatic resizing; a table that cannot grow keeps working as it is.
bool ResizeAutomatically(CORVdictionary *d) {
  int32_t bins = AutomaticBinCount(d->count);
  return bins == d->binCount || Rehash(d, bins);
}

// Where a key is or would go: its bin, the head of the bin's chain, and the
// key's slot in the bin's chain array (-1 when the key is absent).
struct Place {
  uint32_t bin;
  CORVdictionaryEntry *head;
  CORVdictionaryChain *chain;
  int32_t slot;
  CORVdictionaryEntry *entry() const { return slot >= 0 ? chain->EntryAt(slot) : nullptr; }
};

Place Locate(CORVdictionary *d, const CORVvariant &key, uint32_t hash) {
  uint32_t bin = hash % static_cast<uint32_t>(d->binCount);
  // The head is read before the search, so that in a large table the cache
  // misses on both tables are under way at once.
  Place place = {bin, d->bins[bin], &d->chains->chain[bin], -1};
  place.slot = corv::FindInChain(*place.chain, key, hash);
  return place;
}

CORVdictionaryEntry *Find(CORVdictionary *d, const CORVvariant &key, uint32_t hash) {
  return Locate(d, key, hash).entry();
}

// The entry array's storage is allocated in powers of two, at or above its
// capacity, so that growing by a fixed step does not copy the whole array
// each time.
size_t EntryStorage(int32_t capacity) {
  size_t storage = 0;
  if (capacity > 0)
    for (storage = 16; storage < static_cast<size_t>(capacity);) storage *= 2;
  return storage;
}

// Grows the entry array by its growth step when it is full.
void MakeRoomForAnEntry(CORVdictionary *d) {
  if (d->count < d->capacity) return;
  int32_t capacity = d->capacity + (d->growthStep > 0 ? d->growthStep : 1);
  if (EntryStorage(capacity) > EntryStorage(d->capacity)) {
    void *grown = std::realloc(d->entries, sizeof(CORVdictionaryEntry *) * EntryStorage(capacity));
    if (!grown) RaiseOutOfMemory();
    d->entries = static_cast<CORVdictionaryEntry **>(grown);
  }
  d->capacity = capacity;
}

const CORVvariant &OrNil(const CORVvariant *v) {
  static const CORVvariant kNil = {};
  return v ? *v : kNil;
}

// Releases the entries' keys and values and frees them.
void ReleaseEntries(CORVdictionaryEntry **entries, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    CORVVariantClear(&entries[i]->key);
    CORVVariantClear(&entries[i]->value);
    std::free(entries[i]);
  }
  std::free(entries);
}

// Empties the dictionary back to its first state and hands the old entry
// array to the caller, who releases it once the dictionary is consistent.
CORVdictionaryEntry **Detach(CORVdictionary *d, int32_t *count) {
  if (!ReplaceBins(d, kDictionaryInitialBins, corv::NewDictionaryChains(kDictionaryInitialBins)))
    RaiseOutOfMemory();
  CORVdictionaryEntry **entries = d->entries;
  *count = d->count;
  d->fixedSize = false;
  d->entries = nullptr;
  d->count = d->capacity = 0;
  return entries;
}

// A new object array of every entry's key (or value) in its object form.
CORVobject ListEntries(CORVdictionary *d, bool keys) {
  corv::Ref<> array = corv::Ref<>::Adopt(CreateArray(1, kCORVArrayObject, d->count - 1));
  for (int32_t i = 0; i < d->count; ++i) {
    corv::Ref<> element =
        corv::Ref<>::Adopt(CORVVariantToObject(keys ? &d->entries[i]->key : &d->entries[i]->value));
    CORVArraySetObject(array.object(), i, element.object());
  }
  return array.Leak();
}

CORVdictionaryEntry *EntryAt(CORVdictionary *d, int32_t index) {
  if (index < 0 || index >= d->count) RaiseOutOfBounds();
  return d->entries[index];
}

}  // namespace

const CORVclassDecl kDictionaryDecl = corv::ClassDecl("Dictionary", sizeof(CORVdictionary))
                                          .Initializer(dictionaryConstructor)
                                          .Destructor(dictionaryDestructor);

extern "C" void dictionaryConstructor(CORVobject self) {
  CORVdictionary *d = AsDictionary(self);
  if (d->bins) {  // already made: start over empty
    dictionaryRemoveAll(self);
    return;
  }
  if (!ReplaceBins(d, kDictionaryInitialBins, corv::NewDictionaryChains(kDictionaryInitialBins)))
    RaiseOutOfMemory();
  d->fixedSize = false;
}

extern "C" void dictionaryDestructor(CORVobject self) {
  if (!self) return;
  auto *d = reinterpret_cast<CORVdictionary *>(self);
  CORVdictionaryEntry **entries = d->entries;
  int32_t count = d->count;
  std::free(d->bins);
  corv::FreeDictionaryChains(d->chains);
  d->bins = nullptr;
  d->chains = nullptr;
  d->entries = nullptr;
  d->count = d->capacity = d->binCount = 0;
  ReleaseEntries(entries, count);
}

extern "C" int32_t dictionaryCount(CORVobject self) {
  return AsDictionary(self)->count;
}

extern "C" void dictionaryValueSetter(CORVobject self, const CORVvariant *key,
                                      const CORVvariant *value) {
  CORVdictionary *d = AsDictionary(self);
  CORVvariant replaced = {};
  {
    BusyScope busy(d);
    if (!busy) return;
    const CORVvariant &k = OrNil(key);
    uint32_t hash = CORVVariantHash(&k);
    Place place = Locate(d, k, hash);
    if (CORVdictionaryEntry *found = place.entry()) {
      replaced = found->value;
      found->value = CORVVariantCopy(value);
    } else {
      MakeRoomForAnEntry(d);
      if (!corv::ReserveChainSlot(place.chain)) RaiseOutOfMemory();
      auto *e = static_cast<CORVdictionaryEntry *>(std::malloc(sizeof(CORVdictionaryEntry)));
      if (!e) RaiseOutOfMemory();
      e->key = CORVVariantCopy(&k);
      e->value = CORVVariantCopy(value);
      e->hash = hash;
      e->index = d->count;
      e->next = place.head;
      d->bins[place.bin] = e;
      corv::AppendToChain(place.chain, e);
      d->entries[d->count++] = e;
      if (!d->fixedSize && d->binCount * 3 / 4 < d->count) ResizeAutomatically(d);
    }
  }
  CORVVariantClear(&replaced);
}

extern "C" CORVvariant dictionaryValueGetter(CORVobject self, const CORVvariant *key) {
  CORVdictionary *d = AsDictionary(self);
  BusyScope busy(d);
  if (!busy) return CORVvariant{};
  const CORVvariant &k = OrNil(key);
  CORVdictionaryEntry *e = Find(d, k, CORVVariantHash(&k));
  if (!e) RaiseKeyNotFound();
  return CORVVariantCopy(&e->value);
}

extern "C" CORVvariant DictionaryLookup(CORVobject self, const CORVvariant *key,
                                        const CORVvariant *defaultValue) {
  CORVdictionary *d = AsDictionary(self);
  BusyScope busy(d);
  if (!busy) return CORVVariantCopy(defaultValue);
  const CORVvariant &k = OrNil(key);
  CORVdictionaryEntry *e = Find(d, k, CORVVariantHash(&k));
  return CORVVariantCopy(e ? &e->value : defaultValue);
}

extern "C" bool dictionaryHasKey(CORVobject self, const CORVvariant *key) {
  CORVdictionary *d = AsDictionary(self);
  BusyScope busy(d);
  if (!busy) return false;
  const CORVvariant &k = OrNil(key);
  return Find(d, k, CORVVariantHash(&k)) != nullptr;
}

extern "C" void dictionaryRemove(CORVobject self, const CORVvariant *key) {
  CORVdictionary *d = AsDictionary(self);
  CORVdictionaryEntry *removed = nullptr;
  {
    BusyScope busy(d);
    if (!busy) return;
    const CORVvariant &k = OrNil(key);
    Place place = Locate(d, k, CORVVariantHash(&k));
    removed = place.entry();
    if (!removed) RaiseKeyNotFound();
    // The bin itself, or the next newer entry of the chain, links to it.
    if (removed == place.head)
      d->bins[place.bin] = removed->next;
    else
      place.chain->EntryAt(place.slot + 1)->next = removed->next;
    corv::RemoveFromChain(place.chain, place.slot);
    CORVdictionaryEntry *last = d->entries[--d->count];
    d->entries[removed->index] = last;
    last->index = removed->index;
  }
  CORVVariantClear(&removed->key);
  CORVVariantClear(&removed->value);
  std::free(removed);
}

extern "C" void dictionaryRemoveAll(CORVobject self) {
  CORVdictionary *d = AsDictionary(self);
  CORVdictionaryEntry **entries = nullptr;
  int32_t count = 0;
  {
    BusyScope busy(d);
    if (!busy) return;
    entries = Detach(d, &count);
  }
  ReleaseEntries(entries, count);
}

extern "C" CORVvariant dictionaryKey(CORVobject self, int32_t index) {
  return CORVVariantCopy(&EntryAt(AsDictionary(self), index)->key);
}

extern "C" CORVvariant dictionaryValueByIndex(CORVobject self, int32_t index) {
  return CORVVariantCopy(&EntryAt(AsDictionary(self), index)->value);
}

extern "C" CORVobject dictionaryKeys(CORVobject self) {
  return ListEntries(AsDictionary(self), true);
}

extern "C" CORVobject dictionaryValues(CORVobject self) {
  return ListEntries(AsDictionary(self), false);
}

extern "C" int32_t dictionaryGetBins(CORVobject self) {
  return AsDictionary(self)->binCount;
}

extern "C" void dictionarySetBins(CORVobject self, int32_t binCount) {
  CORVdictionary *d = AsDictionary(self);
  BusyScope busy(d);
  if (!busy) return;
  if (binCount > 0) {
    if (!Rehash(d, binCount)) RaiseOutOfMemory();
    d->fixedSize = true;
    return;
  }
  d->fixedSize = false;
  if (!ResizeAutomatically(d)) RaiseOutOfMemory();
}
