/* Dictionary: a hash map from variant keys to variant values whose entries
 * can also be listed by index. String keys compare without case. */
#ifndef CORV_DICTIONARY_H
#define CORV_DICTIONARY_H

#include <stdbool.h>

#include "corv_object.h"
#include "corv_variant.h"

CORV_BEGIN_DECLS

typedef struct CORVdictionaryEntry {
  CORVvariant key;                  /* one reference held */
  CORVvariant value;                /* one reference held */
  uint32_t hash;                    /* of the key */
  int32_t index;                    /* position in the entry array */
  struct CORVdictionaryEntry *next; /* next entry of the same chain */
} CORVdictionaryEntry;

typedef struct CORVdictionary {
  CORVobjectHeader header;
  bool fixedSize; /* the application chose the number of bins */
  /* The entry array, in insertion order until something is removed. */
  int32_t growthStep;
  CORVdictionaryEntry **entries;
  int32_t count;
  int32_t capacity;
  int32_t binCount;
  CORVdictionaryEntry **bins; /* one chain head per bin */
  bool busy;                  /* an operation is under way */
  /* Private to the dictionary: each bin's chain again as an array of hashes
   * and entries, which the key search scans instead of the links. */
  struct CORVdictionaryChains *chains;
} CORVdictionary;

extern const CORVclassDecl kDictionaryDecl;

/* Variant arguments are borrowed (a null pointer is nil); a returned variant
 * holds one reference for the caller (release it with CORVVariantClear). */
void dictionaryConstructor(CORVobject self);
void dictionaryDestructor(CORVobject self);
int32_t dictionaryCount(CORVobject self);
void dictionaryValueSetter(CORVobject self, const CORVvariant *key, const CORVvariant *value);
CORVvariant dictionaryValueGetter(CORVobject self, const CORVvariant *key);
CORVvariant DictionaryLookup(CORVobject self, const CORVvariant *key,
                             const CORVvariant *defaultValue);
bool dictionaryHasKey(CORVobject self, const CORVvariant *key);
void dictionaryRemove(CORVobject self, const CORVvariant *key);
void dictionaryRemoveAll(CORVobject self);
CORVvariant dictionaryKey(CORVobject self, int32_t index);
CORVvariant dictionaryValueByIndex(CORVobject self, int32_t index);
/* New object arrays (one reference) of upper bound Count - 1, in entry
 * order, holding the keys / values in their object form (see
 * CORVVariantToObject). */
CORVobject dictionaryKeys(CORVobject self);
CORVobject dictionaryValues(CORVobject self);
int32_t dictionaryGetBins(CORVobject self);
void dictionarySetBins(CORVobject self, int32_t binCount);

CORV_END_DECLS

#endif
