// The Dictionary with string keys of several encodings: every stored key is
// found by itself, no two stored keys compare equal, and keys that compare
// equal hash alike.
#include <vector>

#include "corv/variant.h"
#include "fuzz_input.h"

using corv::Ref;
using corv::String;
using corv::Variant;
using corv::fuzz::Require;

namespace {

constexpr size_t kMostKeys = 64;

void CheckStoredKeys(const Ref<CORVdictionary> &d) {
  CORVobject self = d.object();
  int32_t count = dictionaryCount(self);
  std::vector<Variant> keys;
  for (int32_t i = 0; i < count; ++i) {
    keys.push_back(Variant::Adopt(dictionaryKey(self, i)));
    Variant stored = Variant::Adopt(dictionaryValueByIndex(self, i));
    Variant found = Variant::Adopt(dictionaryValueGetter(self, keys.back().get()));
    Require(CORVVariantCompare(found.get(), stored.get()) == 0, "a stored key finds its own value");
  }
  for (size_t i = 0; i < keys.size(); ++i)
    for (size_t j = i + 1; j < keys.size(); ++j)
      Require(CORVVariantCompare(keys[i].get(), keys[j].get()) != 0,
              "no two stored keys compare equal");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  corv::fuzz::TrapFailureReports();
  corv::fuzz::FuzzInput in(data, size);
  uint8_t flags = in.Flags();
  std::vector<Variant> keys;
  while (!in.empty() && keys.size() < kMostKeys) keys.emplace_back(in.NextString());

  for (size_t i = 0; i < keys.size(); ++i)
    for (size_t j = i + 1; j < keys.size(); ++j)
      if (CORVVariantCompare(keys[i].get(), keys[j].get()) == 0)
        Require(keys[i].Hash() == keys[j].Hash(), "keys that compare equal hash alike");

  Ref<CORVdictionary> d = corv::New<CORVdictionary>(&kDictionaryDecl);
  if (flags & 1) dictionarySetBins(d.object(), 1 + (flags >> 4));  // long chains
  for (size_t i = 0; i < keys.size(); ++i) {
    Variant value(static_cast<int32_t>(i));
    dictionaryValueSetter(d.object(), keys[i].get(), value.get());
    Require(dictionaryHasKey(d.object(), keys[i].get()), "a key just set is there");
  }
  CheckStoredKeys(d);
  if (flags & 2) {
    for (size_t i = 0; i < keys.size(); i += 3)
      if (dictionaryHasKey(d.object(), keys[i].get())) dictionaryRemove(d.object(), keys[i].get());
    CheckStoredKeys(d);
  }
  return 0;
}
