// Dictionary as the application uses it: Ref<Dictionary> with the language's
// members. Each member is the entry point of the same meaning.
#pragma once

#include <cstdint>

#include "corv/array.h"
#include "corv/ref.h"
#include "corv/variant.h"
#include "corv_dictionary.h"

namespace corv {

/// The dictionary record with the language's members (it adds no fields).
struct Dictionary : CORVdictionary {
  /// new Dictionary: 61 bins, no entries.
  static Ref<Dictionary> New() { return corv::New<Dictionary>(&kDictionaryDecl); }

  int32_t Count() { return dictionaryCount(self()); }
  /// d.Value(key): KeyNotFoundException when the key is missing.
  Variant Value(const Variant &key) {
    return Variant::Adopt(dictionaryValueGetter(self(), key.get()));
  }
  /// d.Value(key) = value.
  void Value(const Variant &key, const Variant &value) {
    dictionaryValueSetter(self(), key.get(), value.get());
  }
  /// The value, or `defaultValue` when the key is missing (nothing is added).
  Variant Lookup(const Variant &key, const Variant &defaultValue) {
    return Variant::Adopt(DictionaryLookup(self(), key.get(), defaultValue.get()));
  }
  bool HasKey(const Variant &key) { return dictionaryHasKey(self(), key.get()); }
  /// KeyNotFoundException when the key is missing.
  void Remove(const Variant &key) { dictionaryRemove(self(), key.get()); }
  /// Removes every entry; back to 61 bins and automatic sizing.
  void Clear() { dictionaryRemoveAll(self()); }
  /// The key / value of the entry at index 0..Count-1 (OutOfBoundsException).
  Variant Key(int32_t index) { return Variant::Adopt(dictionaryKey(self(), index)); }
  Variant ValueByIndex(int32_t index) {
    return Variant::Adopt(dictionaryValueByIndex(self(), index));
  }
  /// Arrays of the keys / values in entry order, each element in its object
  /// form (Variant::FromObjectForm reads it back).
  ObjectArray Keys() { return ObjectArray::Adopt(dictionaryKeys(self())); }
  ObjectArray Values() { return ObjectArray::Adopt(dictionaryValues(self())); }
  int32_t BinCount() { return dictionaryGetBins(self()); }
  /// n > 0 fixes the table at n bins; n <= 0 returns to automatic sizing.
  void BinCount(int32_t n) { dictionarySetBins(self(), n); }

 private:
  CORVobject self() { return reinterpret_cast<CORVobject>(this); }
};
static_assert(sizeof(Dictionary) == sizeof(CORVdictionary));

}  // namespace corv
