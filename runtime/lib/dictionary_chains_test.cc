// Dictionary chains and their arrays: removal across bins, growth, Clear of
// a fixed table, long chains, the entry array's growth step.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "corv.h"
#include "corv/ref.h"
#include "corv/variant.h"
#include "lib/dictionary.h"
#include "lib/dictionary_chains.h"
#include "lib/dictionary_test_util.h"

namespace {

using namespace corv::dictionary_test;

class DictionaryChainsTest : public DictionaryTestBase {};

int64_t GetInteger(const Ref<CORVdictionary> &d, const Variant &key) {
  return Get(d, key).Int64Value();
}

std::string KeyName(int i) {
  return "Item_" + std::to_string(i) + "/Name";
}

std::string Upper(std::string s) {
  for (char &c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

// The entries of bin b's chain, following the links from the head.
std::vector<const CORVdictionaryEntry *> Linked(const CORVdictionary *d, int32_t b) {
  std::vector<const CORVdictionaryEntry *> chain;
  for (const CORVdictionaryEntry *e = d->bins[b]; e && chain.size() <= size_t(d->count);
       e = e->next)
    chain.push_back(e);
  return chain;
}

// Every chain is on its bin, reachable from the entry array, and mirrored
// exactly, oldest first, by its bin's array with the entries' hashes.
void ExpectChainsMirrored(const CORVdictionary *d) {
  ASSERT_NE(d->chains, nullptr);
  ASSERT_EQ(d->chains->bins, d->binCount);
  int32_t seen = 0;
  for (int32_t b = 0; b < d->binCount; ++b) {
    std::vector<const CORVdictionaryEntry *> linked = Linked(d, b);
    const CORVdictionaryChain &chain = d->chains->chain[b];
    ASSERT_EQ(static_cast<size_t>(chain.count), linked.size()) << "bin " << b;
    ASSERT_LE(chain.count, chain.capacity);
    for (int32_t slot = 0; slot < chain.count; ++slot) {
      const CORVdictionaryEntry *e = linked[linked.size() - 1 - static_cast<size_t>(slot)];
      ASSERT_EQ(chain.EntryAt(slot), e) << "bin " << b << " slot " << slot;
      EXPECT_EQ(chain.HashAt(slot), e->hash);
      EXPECT_EQ(e->hash % static_cast<uint32_t>(d->binCount), static_cast<uint32_t>(b));
      ASSERT_GE(e->index, 0);
      ASSERT_LT(e->index, d->count);
      EXPECT_EQ(d->entries[e->index], e);
    }
    seen += chain.count;
  }
  EXPECT_EQ(seen, d->count);
}

// Removing keys in one order moves the last entry, which lives in some other
// bin, into each gap; every remaining key must still be found, under its
// value, in either case.
TEST_F(DictionaryChainsTest, RemovalMovesTheLastEntryAcrossBins) {
  auto d = NewDictionary();
  constexpr int kCount = 3000;
  for (int i = 0; i < kCount; ++i) Set(d, KeyName(i).c_str(), i);
  std::vector<int> order(kCount);
  for (int i = 0; i < kCount; ++i) order[i] = i;
  std::shuffle(order.begin(), order.end(), std::mt19937(11));
  std::vector<bool> present(kCount, true);
  for (int n = 0; n < kCount; ++n) {
    int gone = order[n];
    dictionaryRemove(Obj(d), Variant(Upper(KeyName(gone)).c_str()).get());
    present[gone] = false;
    if (n % 499 == 0 || n == kCount - 1) {
      ExpectChainsMirrored(d.get());
      for (int i = 0; i < kCount; ++i) {
        Variant key(KeyName(i).c_str());
        ASSERT_EQ(dictionaryHasKey(Obj(d), key.get()), present[i]) << KeyName(i);
        if (present[i]) {
          ASSERT_EQ(GetInteger(d, key), i);
        }
      }
    }
  }
  EXPECT_EQ(dictionaryCount(Obj(d)), 0);
  // The emptied chains take new keys again.
  for (int i = 0; i < 100; ++i) Set(d, KeyName(i).c_str(), -i);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(GetInteger(d, Upper(KeyName(i)).c_str()), -i);
  ExpectChainsMirrored(d.get());
}

// Each automatic growth rebuilds the chains; every key is found after each.
TEST_F(DictionaryChainsTest, GrowthThroughSeveralSizesKeepsEveryKey) {
  auto d = NewDictionary();
  std::vector<int32_t> sizesSeen = {dictionaryGetBins(Obj(d))};
  for (int i = 0; i < 12000; ++i) {
    Set(d, KeyName(i).c_str(), i);
    int32_t bins = dictionaryGetBins(Obj(d));
    if (bins == sizesSeen.back()) continue;
    sizesSeen.push_back(bins);
    ExpectChainsMirrored(d.get());
    for (int k = 0; k <= i; ++k) ASSERT_EQ(GetInteger(d, Upper(KeyName(k)).c_str()), k) << bins;
  }
  EXPECT_EQ(sizesSeen, (std::vector<int32_t>{61, 127, 251, 509, 1021, 2039, 4093, 8191, 16381}));
  // Keys in insertion order, values replaced in place.
  for (int i = 0; i < 12000; i += 7) Set(d, Upper(KeyName(i)).c_str(), i + 1);
  for (int i = 0; i < 12000; ++i) {
    ASSERT_EQ(Variant::Adopt(dictionaryKey(Obj(d), i)).StringValue().view(), KeyName(i));
    ASSERT_EQ(GetInteger(d, KeyName(i).c_str()), i % 7 == 0 ? i + 1 : i);
  }
  ExpectChainsMirrored(d.get());
}

TEST_F(DictionaryChainsTest, ClearAfterSevenBinsByHandStartsOverAutomatically) {
  auto d = NewDictionary();
  dictionarySetBins(Obj(d), 7);
  for (int i = 0; i < 500; ++i) Set(d, KeyName(i).c_str(), i);
  EXPECT_EQ(dictionaryGetBins(Obj(d)), 7);
  ExpectChainsMirrored(d.get());
  dictionaryRemoveAll(Obj(d));
  EXPECT_EQ(dictionaryCount(Obj(d)), 0);
  EXPECT_EQ(dictionaryGetBins(Obj(d)), 61);
  ExpectChainsMirrored(d.get());
  for (int i = 0; i < 500; ++i) EXPECT_FALSE(dictionaryHasKey(Obj(d), Variant(i).get()));
  EXPECT_FALSE(dictionaryHasKey(Obj(d), Variant(KeyName(3).c_str()).get()));
  for (int i = 0; i < 200; ++i) Set(d, KeyName(i).c_str(), 2 * i);
  EXPECT_EQ(dictionaryGetBins(Obj(d)), 509);  // grew again: 200 > 251 * 3 / 4
  for (int i = 0; i < 200; ++i) EXPECT_EQ(GetInteger(d, Upper(KeyName(i)).c_str()), 2 * i);
  ExpectChainsMirrored(d.get());
  dictionaryRemoveAll(Obj(d));
  dictionaryRemoveAll(Obj(d));  // an empty table clears too
  EXPECT_EQ(dictionaryGetBins(Obj(d)), 61);
  ExpectChainsMirrored(d.get());
}

// With one bin every key shares one chain: the newest is its head, and
// removals and replacements keep the others' order.
TEST_F(DictionaryChainsTest, OneBinKeepsTheChainNewestFirst) {
  auto d = NewDictionary();
  dictionarySetBins(Obj(d), 1);
  constexpr int kCount = 300;
  for (int i = 0; i < kCount; ++i) Set(d, KeyName(i).c_str(), i);
  auto chainKeys = [&] {
    std::vector<std::string> keys;
    for (const CORVdictionaryEntry *e : Linked(d.get(), 0))
      keys.emplace_back(Variant::Adopt(CORVVariantCopy(&e->key)).StringValue().view());
    return keys;
  };
  std::vector<std::string> expected;
  for (int i = kCount - 1; i >= 0; --i) expected.push_back(KeyName(i));
  EXPECT_EQ(chainKeys(), expected);
  ExpectChainsMirrored(d.get());

  // The head, the tail and one in the middle go; the rest keep their order.
  for (int gone : {kCount - 1, 0, 150}) {
    dictionaryRemove(Obj(d), Variant(KeyName(gone).c_str()).get());
    expected.erase(std::find(expected.begin(), expected.end(), KeyName(gone)));
  }
  EXPECT_EQ(chainKeys(), expected);
  ExpectChainsMirrored(d.get());

  Set(d, Upper(KeyName(10)).c_str(), 1000);  // a replacement does not move
  Set(d, "newest", 1);
  expected.insert(expected.begin(), "newest");
  EXPECT_EQ(chainKeys(), expected);
  for (int i = 1; i < kCount - 1; ++i)
    if (i != 150) {
      ASSERT_EQ(GetInteger(d, KeyName(i).c_str()), i == 10 ? 1000 : i);
    }
  ExpectChainsMirrored(d.get());

  // Back to automatic sizing: the chain is spread over the right size.
  dictionarySetBins(Obj(d), 0);
  EXPECT_EQ(dictionaryGetBins(Obj(d)), 509);
  for (int i = 1; i < kCount - 1; ++i)
    if (i != 150) {
      ASSERT_EQ(GetInteger(d, Upper(KeyName(i)).c_str()), i == 10 ? 1000 : i);
    }
  ExpectChainsMirrored(d.get());
}

// A sparse table: most chains hold one entry, some two or three; chains grow
// past one entry, shrink back and fill again.
TEST_F(DictionaryChainsTest, SparseTableChainsGrowAndShrink) {
  auto d = NewDictionary();
  dictionarySetBins(Obj(d), 100003);
  constexpr int kCount = 30000;
  for (int i = 0; i < kCount; ++i) Set(d, KeyName(i).c_str(), i);
  ExpectChainsMirrored(d.get());
  int longer = 0;
  for (int32_t b = 0; b < d->binCount; ++b) longer += d->chains->chain[b].count > 1;
  EXPECT_GT(longer, 1000);  // the test covers chains past one entry
  for (int i = 0; i < kCount; i += 2) dictionaryRemove(Obj(d), Variant(KeyName(i).c_str()).get());
  ExpectChainsMirrored(d.get());
  for (int i = 0; i < kCount; ++i) {
    Variant key(Upper(KeyName(i)).c_str());
    ASSERT_EQ(dictionaryHasKey(Obj(d), key.get()), i % 2 == 1) << i;
    if (i % 2) {
      ASSERT_EQ(GetInteger(d, key), i);
    }
  }
  for (int i = 0; i < kCount; i += 2) Set(d, KeyName(i).c_str(), -i);
  for (int i = 1; i < kCount; i += 2) dictionaryRemove(Obj(d), Variant(KeyName(i).c_str()).get());
  ExpectChainsMirrored(d.get());
  for (int i = 0; i < kCount; i += 2) ASSERT_EQ(GetInteger(d, KeyName(i).c_str()), -i);
  dictionarySetBins(Obj(d), 0);
  EXPECT_EQ(dictionaryGetBins(Obj(d)), 32749);
  ExpectChainsMirrored(d.get());
  for (int i = 0; i < kCount; i += 2) ASSERT_EQ(GetInteger(d, Upper(KeyName(i)).c_str()), -i);
}

// Keys that differ only in ASCII case are one key, in one bin or in many.
TEST_F(DictionaryChainsTest, KeysEqualIgnoringCaseMeet) {
  for (int32_t bins : {1, 0}) {
    auto d = NewDictionary();
    if (bins) dictionarySetBins(Obj(d), bins);
    const char *spellings[] = {"build/Item_7/name", "BUILD/ITEM_7/NAME", "Build/item_7/Name"};
    for (int i = 0; i < 400; ++i) Set(d, KeyName(i).c_str(), i);
    for (int n = 0; n < 3; ++n) {
      Set(d, spellings[n], 100 + n);
      EXPECT_EQ(dictionaryCount(Obj(d)), 401);
      for (const char *spelling : spellings) EXPECT_EQ(GetInteger(d, spelling), 100 + n);
    }
    EXPECT_EQ(Variant::Adopt(dictionaryKey(Obj(d), 400)).StringValue().view(), spellings[0]);
    dictionaryRemove(Obj(d), Variant(spellings[2]).get());
    for (const char *spelling : spellings)
      EXPECT_FALSE(dictionaryHasKey(Obj(d), Variant(spelling).get()));
    EXPECT_EQ(GetInteger(d, "ITEM_7/NAME"), 7);
    ExpectChainsMirrored(d.get());
  }
}

// The entry array grows by the growth step of the moment, whatever its
// storage does underneath.
TEST_F(DictionaryChainsTest, EntryArrayGrowsByTheGrowthStep) {
  auto d = NewDictionary();
  int32_t capacity = 0;
  for (int i = 0; i < 20000; ++i) {
    if (d->count == capacity) capacity += d->growthStep;
    Set(d, i, i);
    ASSERT_EQ(d->capacity, capacity) << "after " << i + 1 << " entries";
  }
  dictionaryRemove(Obj(d), Variant(5).get());
  EXPECT_EQ(d->capacity, capacity);  // removal does not shrink it
  dictionarySetBins(Obj(d), 3);      // growth step 0: one entry at a time
  while (d->count < d->capacity) Set(d, d->count + 100000, 0);
  Set(d, -1, 0);
  EXPECT_EQ(d->capacity, capacity + 1);
  for (int i = 0; i < 20000; i += 7)
    if (i != 5) {
      ASSERT_EQ(GetInteger(d, i), i);
    }
  ExpectChainsMirrored(d.get());
}

}  // namespace
