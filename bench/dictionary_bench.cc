// Dictionary with 1,000,000 string keys inserted, looked up (in another
// case) and removed, against std::unordered_map with a case-insensitive
// hash and equality in the same run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "corv.h"
#include "corv/ref.h"
#include "corv/variant.h"

namespace {

constexpr int kKeys = 1000000;

// Keys like "Build/Item_000123/Name": typical of configuration keys, with
// letters in both cases so the lookups in upper case must fold.
std::string KeyText(int i) {
  return "Build/Item_" + std::to_string(i) + "/Name";
}

std::string Upper(std::string s) {
  for (char &c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

struct Keys {
  std::vector<std::string> texts, upperTexts;
  std::vector<corv::Variant> variants, upperVariants;
  Keys() {
    for (int i = 0; i < kKeys; ++i) {
      texts.push_back(KeyText(i));
      upperTexts.push_back(Upper(texts.back()));
      variants.emplace_back(texts.back().c_str());
      upperVariants.emplace_back(upperTexts.back().c_str());
    }
  }
};

const Keys &TheKeys() {
  static const Keys keys;
  return keys;
}

struct CaseInsensitiveHash {
  size_t operator()(const std::string &s) const {
    uint32_t h = 0;
    for (unsigned char c : s) h = h * 31 + (c >= 'a' && c <= 'z' ? c - 32 : c);
    return h;
  }
};
struct CaseInsensitiveEqual {
  bool operator()(const std::string &a, const std::string &b) const {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      unsigned char x = a[i], y = b[i];
      if (x != y && (x | 0x20) != (y | 0x20)) return false;
      if (x != y && !((x | 0x20) >= 'a' && (x | 0x20) <= 'z')) return false;
    }
    return true;
  }
};
using StdMap = std::unordered_map<std::string, int64_t, CaseInsensitiveHash, CaseInsensitiveEqual>;

corv::Ref<CORVdictionary> FilledDictionary(int32_t fixedBins) {
  auto d = corv::New<CORVdictionary>(&kDictionaryDecl);
  if (fixedBins > 0) dictionarySetBins(d.object(), fixedBins);
  const Keys &keys = TheKeys();
  for (int i = 0; i < kKeys; ++i) {
    corv::Variant value(int32_t{i});
    dictionaryValueSetter(d.object(), keys.variants[i].get(), value.get());
  }
  return d;
}

StdMap FilledMap() {
  StdMap map;
  const Keys &keys = TheKeys();
  for (int i = 0; i < kKeys; ++i) map.emplace(keys.texts[i], i);
  return map;
}

// Argument: 0 for automatic sizing, else a bin count the application fixes.
void BM_DictionaryInsert(benchmark::State &state) {
  TheKeys();
  for (auto _ : state) {
    auto d = FilledDictionary(static_cast<int32_t>(state.range(0)));
    benchmark::DoNotOptimize(d.get());
    state.PauseTiming();
    d = nullptr;
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_DictionaryInsert)->Arg(0)->Arg(1048573)->Unit(benchmark::kMillisecond);

void BM_StdMapInsert(benchmark::State &state) {
  TheKeys();
  for (auto _ : state) {
    StdMap map = FilledMap();
    benchmark::DoNotOptimize(map.size());
    state.PauseTiming();
    map = StdMap();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_StdMapInsert)->Unit(benchmark::kMillisecond);

void BM_DictionaryLookup(benchmark::State &state) {
  auto d = FilledDictionary(static_cast<int32_t>(state.range(0)));
  const Keys &keys = TheKeys();
  for (auto _ : state) {
    int64_t sum = 0;
    for (int i = 0; i < kKeys; ++i) {
      CORVvariant v = dictionaryValueGetter(d.object(), keys.upperVariants[i].get());
      sum += v.value.int32;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_DictionaryLookup)->Arg(0)->Arg(1048573)->Unit(benchmark::kMillisecond);

void BM_StdMapLookup(benchmark::State &state) {
  StdMap map = FilledMap();
  const Keys &keys = TheKeys();
  for (auto _ : state) {
    int64_t sum = 0;
    for (int i = 0; i < kKeys; ++i) sum += map.find(keys.upperTexts[i])->second;
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_StdMapLookup)->Unit(benchmark::kMillisecond);

void BM_DictionaryRemove(benchmark::State &state) {
  const Keys &keys = TheKeys();
  for (auto _ : state) {
    state.PauseTiming();
    auto d = FilledDictionary(static_cast<int32_t>(state.range(0)));
    state.ResumeTiming();
    for (int i = 0; i < kKeys; ++i) dictionaryRemove(d.object(), keys.upperVariants[i].get());
    benchmark::DoNotOptimize(dictionaryCount(d.object()));
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_DictionaryRemove)->Arg(0)->Arg(1048573)->Unit(benchmark::kMillisecond);

void BM_StdMapRemove(benchmark::State &state) {
  const Keys &keys = TheKeys();
  for (auto _ : state) {
    state.PauseTiming();
    StdMap map = FilledMap();
    state.ResumeTiming();
    for (int i = 0; i < kKeys; ++i) map.erase(keys.upperTexts[i]);
    benchmark::DoNotOptimize(map.size());
  }
  state.SetItemsProcessed(state.iterations() * kKeys);
}
BENCHMARK(BM_StdMapRemove)->Unit(benchmark::kMillisecond);

}  // namespace
