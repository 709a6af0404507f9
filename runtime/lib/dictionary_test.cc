// Dictionary: case-insensitive string keys, the bin-size schedule, entry
// order after removals, releases, re-entry and errors.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <string_view>

#include "core/failure.h"
#include "core/runtime_classes.h"
#include "corv.h"
#include "corv/class_decl.h"
#include "corv/ref.h"
#include "corv/variant.h"
#include "lib/dictionary.h"
#include "lib/dictionary_test_util.h"

namespace {

using namespace corv::dictionary_test;

class DictionaryTest : public DictionaryTestBase {};

std::string Text(const Variant &v) {
  return std::string(v.StringValue().view());
}

std::string KeyText(const Ref<CORVdictionary> &d, int32_t i) {
  return Text(Variant::Adopt(dictionaryKey(Obj(d), i)));
}

Variant Encoded(const std::string &bytes, uint32_t encoding) {
  CORVstring s = RuntimeCreateString(bytes.data(), static_cast<int32_t>(bytes.size()), encoding);
  Variant v(s);
  RuntimeUnlockString(s);
  return v;
}

// Checks every invariant the dictionary states about its chains and array.
void ExpectConsistent(const CORVdictionary *d) {
  int32_t onChains = 0;
  for (int32_t b = 0; b < d->binCount; ++b)
    for (const CORVdictionaryEntry *e = d->bins[b]; e; e = e->next) {
      ++onChains;
      EXPECT_EQ(e->hash % static_cast<uint32_t>(d->binCount), static_cast<uint32_t>(b));
      EXPECT_EQ(e->hash, CORVVariantHash(&e->key));
      ASSERT_GE(e->index, 0);
      ASSERT_LT(e->index, d->count);
      EXPECT_EQ(d->entries[e->index], e);
    }
  EXPECT_EQ(onChains, d->count);
  EXPECT_LE(d->count, d->capacity);
}

// Images and plugins reach the class by its name, in any case.
TEST_F(DictionaryTest, ClassIsFoundByName) {
  corv::RegisterRuntimeClassDeclarations();
  CORVstring name = RuntimeCreateString("dictionary", 10, kEncodingUTF8);
  CORVclass *cls = RuntimeLookupClass(name);
  RuntimeUnlockString(name);
  ASSERT_NE(cls, nullptr);
  EXPECT_EQ(cls, CORVBindDeclaration(&kDictionaryDecl));
  auto d = Ref<CORVdictionary>::Adopt(RuntimeNewObject(cls));
  EXPECT_EQ(dictionaryGetBins(Obj(d)), 61);  // made by its constructor
  Set(d, "k", 1);
  EXPECT_EQ(Get(d, "K").Int64Value(), 1);
}

TEST_F(DictionaryTest, StringKeysIgnoreCase) {
  auto d = NewDictionary();
  Set(d, "NAME", "first");
  EXPECT_EQ(Text(Get(d, "Name")), "first");
  EXPECT_TRUE(dictionaryHasKey(Obj(d), Variant("name").get()));
  EXPECT_TRUE(dictionaryHasKey(Obj(d), Variant("NAME").get()));
  EXPECT_FALSE(dictionaryHasKey(Obj(d), Variant("names").get()));
  Set(d, "nAmE", "second");
  EXPECT_EQ(dictionaryCount(Obj(d)), 1);
  EXPECT_EQ(Text(Get(d, "NAME")), "second");
  EXPECT_EQ(KeyText(d, 0), "NAME");  // the first key object is kept
  // Keys with non-ASCII letters are compared by the string comparison.
  Set(d, "\xC3\x84rger", "trouble");
  EXPECT_EQ(Text(Get(d, "\xC3\x84RGER")), "trouble");
  EXPECT_FALSE(dictionaryHasKey(Obj(d), Variant("\xC3\x84rgers").get()));
  EXPECT_FALSE(dictionaryHasKey(Obj(d), Variant("Name ").get()));
}

// Keys that the string comparison calls equal meet whatever their encoding.
TEST_F(DictionaryTest, KeysMeetAcrossEncodings) {
  auto d = NewDictionary();
  Set(d, Encoded(std::string("k\0e\0y\0", 6), kEncodingUTF16), 1);
  Set(d, Encoded("caf\xE9", 0xFFFF04E4u), 2);             // Windows-1252
  Set(d, "\xCE\xA3\xCE\xBF\xCF\x86\xCE\xAF\xCE\xB1", 3);  // Greek, mixed case
  EXPECT_EQ(Get(d, "KEY").Int64Value(), 1);
  EXPECT_EQ(Get(d, "CAF\xC3\x89").Int64Value(), 2);
  EXPECT_EQ(Get(d, "\xCE\xA3\xCE\x9F\xCE\xA6\xCE\x8A\xCE\x91").Int64Value(), 3);
  EXPECT_EQ(dictionaryCount(Obj(d)), 3);
}

// Texts of one byte length where one ends early ("ohm ohm" against
// "omega omega e-acute") hash alike but are different keys; texts that
// compare equal still meet.
TEST_F(DictionaryTest, KeysThatEndEarlyStayApart) {
  auto d = NewDictionary();
  Set(d, "\xE2\x84\xA6\xE2\x84\xA6", 1);
  Set(d, "\xCF\x89\xCF\x89\xC3\xA9", 2);
  Set(d, "\xC5\xBFs", 3);  // long s, s
  Set(d, "ssX", 4);
  EXPECT_EQ(dictionaryCount(Obj(d)), 4);
  EXPECT_EQ(Get(d, "\xE2\x84\xA6\xE2\x84\xA6").Int64Value(), 1);
  EXPECT_EQ(Get(d, "\xCF\x89\xCF\x89\xC3\xA9").Int64Value(), 2);
  EXPECT_EQ(Get(d, "S\xC5\xBF").Int64Value(), 3);
  EXPECT_EQ(Get(d, "SSx").Int64Value(), 4);
  Set(d, "\xE2\x84\xA6\xCE\xA9\x20", 5);  // ohm sign, capital omega, space
  EXPECT_EQ(Get(d, "\xCE\xA9\xE2\x84\xA6 ").Int64Value(), 5);
  EXPECT_EQ(dictionaryCount(Obj(d)), 5);
  ExpectConsistent(d.get());
}

// Keys in the encodings that compare through the collator, keys that are no
// text in their encoding, and malformed UTF-8: a pair is one key exactly
// when it compares 0, and then it hashes alike, so the dictionary never
// holds two equal keys.
TEST_F(DictionaryTest, KeysAreOneExactlyWhenTheyCompareEqual) {
  using namespace std::string_view_literals;
  constexpr uint32_t k1252 = 0xFFFF04E4u, k932 = 0xFFFF03A4u;
  struct Row {
    std::string_view a;
    uint32_t codeA;
    std::string_view b;
    uint32_t codeB;
    int32_t sign;  // of comparing a with b; 0: one key, hashed alike
  } rows[] = {
      {"a\x01", k1252, "a\x02", k1252, -1},       // the collator ignores controls
      {"caf\xE9", k1252, "CAF\xC9", k1252, 0},    // case still ignored
      {"\x82\x60", k932, "A", k932, 1},           // full-width A is not A
      {"\x82\x60", k932, "A", kEncodingUTF8, 1},  // in any pair of codes
      {"\x82\x81", k932, "\x82\x60", k932, 0},    // full-width a and A
      {"\x82\x81", k932, "\xEF\xBC\xA1", kEncodingUTF8, 0},
      {"\x45\x03\0\0"sv, kEncodingUTF32LE, "\xB9\x03\0\0"sv, kEncodingUTF32LE, 0},  // U+0345, iota
      {"\xFB", kEncodingUTF32LE, "\xFB", k932, -1},                 // no text: ordered by code,
      {"\xFB", k932, "\xFC", k932, -1},                             // then by bytes,
      {"\xFB", k932, "\xFB", k932, 0},                              // equal when both agree,
      {"\xFB", k932, "z", kEncodingUTF8, 1},                        // after every text
      {"\0\xD8 \0"sv, kEncodingUTF16LE, "? ", k1252, 1},            // a lone surrogate is not "?"
      {"\xC1\x81x", kEncodingUTF8, "A\xC1\xB8", kEncodingUTF8, 0},  // over-long forms
      {"\xE9", kEncodingASCII, "\xFD\xFF", kEncodingUTF16,
       -1},  // a stray byte in ASCII reads as UTF-8
      // No declared encoding: ASCII is the same text as in UTF-8.
      {"Define", kEncodingUnknown, "DEFINE", kEncodingUTF8, 0},
      {"%v1%", kEncodingUnknown, "%V1%", kEncodingUnknown, 0},
      {"key", kEncodingUnknown, "kez", kEncodingUTF8, -1},
      {"ab", kEncodingUnknown, "ABC", kEncodingASCII, -1},
      {"k", kEncodingUnknown, "\xE2\x84\xAA", kEncodingUTF8, 0},  // the Kelvin sign
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(std::string(row.a) + " / " + std::string(row.b));
    Variant a = Encoded(std::string(row.a), row.codeA), b = Encoded(std::string(row.b), row.codeB);
    EXPECT_EQ(RuntimeStringCompare(a.get()->value.string, b.get()->value.string), row.sign);
    EXPECT_EQ(RuntimeStringCompare(b.get()->value.string, a.get()->value.string), -row.sign);
    if (row.sign == 0) {
      EXPECT_EQ(a.Hash(), b.Hash());
    }
    auto d = NewDictionary();
    Set(d, a, 1);
    Set(d, b, 2);
    EXPECT_EQ(dictionaryCount(Obj(d)), row.sign == 0 ? 1 : 2);
    EXPECT_EQ(Get(d, a).Int64Value(), row.sign == 0 ? 2 : 1);
    EXPECT_EQ(Get(d, b).Int64Value(), 2);
  }
}

TEST_F(DictionaryTest, BinCountFollowsTheSizeSchedule) {
  auto d = NewDictionary();
  EXPECT_EQ(dictionaryGetBins(Obj(d)), 61);
  EXPECT_EQ(d->growthStep, 15);
  std::map<int, int32_t> binsAfter;
  for (int i = 1; i <= 200; ++i) {
    Set(d, Variant(("key" + std::to_string(i)).c_str()), i);
    binsAfter[i] = dictionaryGetBins(Obj(d));
  }
  EXPECT_EQ(binsAfter[45], 61);
  EXPECT_EQ(binsAfter[46], 61);  // past 45, but the target 61 is the current size
  EXPECT_EQ(binsAfter[47], 127);
  EXPECT_EQ(binsAfter[95], 127);
  EXPECT_EQ(binsAfter[96], 251);
  EXPECT_EQ(binsAfter[188], 251);
  EXPECT_EQ(binsAfter[189], 509);
  EXPECT_EQ(d->growthStep, 509 / 4);
  ExpectConsistent(d.get());
}

TEST_F(DictionaryTest, LargeTablesStopAtTheLastSizeWithTheLargeGrowthStep) {
  auto d = NewDictionary();
  for (int32_t i = 0; i < 50000; ++i) Set(d, i, i);
  EXPECT_EQ(dictionaryGetBins(Obj(d)), 65521);
  EXPECT_EQ(d->growthStep, 1024);
  EXPECT_LT(d->capacity - dictionaryCount(Obj(d)), 1024);
  for (int32_t i = 0; i < 50000; i += 997) EXPECT_EQ(Get(d, i).Int64Value(), i);
  ExpectConsistent(d.get());
}

TEST_F(DictionaryTest, RemovalMovesTheLastEntryIntoTheGap) {
  auto d = NewDictionary();
  Set(d, "a", 1);
  Set(d, "b", 2);
  Set(d, "c", 3);
  dictionaryRemove(Obj(d), Variant("A").get());
  ASSERT_EQ(dictionaryCount(Obj(d)), 2);
  EXPECT_EQ(KeyText(d, 0), "c");
  EXPECT_EQ(KeyText(d, 1), "b");
  EXPECT_EQ(Variant::Adopt(dictionaryValueByIndex(Obj(d), 0)).Int64Value(), 3);
  EXPECT_FALSE(dictionaryHasKey(Obj(d), Variant("a").get()));
  ExpectConsistent(d.get());
}

TEST_F(DictionaryTest, KeysAndValuesListEntriesInArrayOrder) {
  auto d = NewDictionary();
  Ref<> empty = Ref<>::Adopt(dictionaryKeys(Obj(d)));
  EXPECT_EQ(RuntimeUBound(empty.object()), -1);
  auto object = NewDictionary();
  Set(d, "a", 1.5);
  Set(d, "b", object);
  Set(d, "c", nullptr);
  dictionaryRemove(Obj(d), Variant("a").get());
  Ref<> keys = Ref<>::Adopt(dictionaryKeys(Obj(d)));
  Ref<> values = Ref<>::Adopt(dictionaryValues(Obj(d)));
  ASSERT_EQ(RuntimeUBound(keys.object()), 1);
  ASSERT_EQ(RuntimeUBound(values.object()), 1);
  auto element = [](const Ref<> &array, int32_t i) {
    Ref<> form = Ref<>::Adopt(CORVArrayObjectAt(array.object(), i));
    return Variant::Adopt(CORVVariantFromObjectForm(form.object()));
  };
  EXPECT_EQ(Text(element(keys, 0)), "c");
  EXPECT_EQ(Text(element(keys, 1)), "b");
  EXPECT_TRUE(element(values, 0).IsNil());
  // An object value is the object itself in the array, not a box.
  Ref<> second = Ref<>::Adopt(CORVArrayObjectAt(values.object(), 1));
  EXPECT_EQ(second.object(), object.object());
  Set(d, "n", int64_t{42});
  Ref<> more = Ref<>::Adopt(dictionaryValues(Obj(d)));
  EXPECT_EQ(element(more, 2).Type(), kVariantInt64);
  EXPECT_EQ(element(more, 2).Int64Value(), 42);
}

TEST_F(DictionaryTest, ClearAfterFixedBinCountReturnsToAutomaticSizing) {
  auto d = NewDictionary();
  dictionarySetBins(Obj(d), 7);
  EXPECT_EQ(dictionaryGetBins(Obj(d)), 7);
  EXPECT_EQ(d->growthStep, 1);
  for (int32_t i = 0; i < 100; ++i) Set(d, i, i);
  EXPECT_EQ(dictionaryGetBins(Obj(d)), 7);  // fixed: no growth
  ExpectConsistent(d.get());
  dictionaryRemoveAll(Obj(d));
  EXPECT_EQ(dictionaryCount(Obj(d)), 0);
  EXPECT_EQ(dictionaryGetBins(Obj(d)), 61);
  for (int32_t i = 0; i < 47; ++i) Set(d, i, i);
  EXPECT_EQ(dictionaryGetBins(Obj(d)), 127);  // growing again
}

TEST_F(DictionaryTest, NonPositiveBinCountResizesAtOnce) {
  auto d = NewDictionary();
  dictionarySetBins(Obj(d), 3);
  for (int32_t i = 0; i < 100; ++i) Set(d, i, i);
  dictionarySetBins(Obj(d), 0);
  EXPECT_EQ(dictionaryGetBins(Obj(d)), 251);  // 100 * 4 / 3 = 133
  ExpectConsistent(d.get());
  Set(d, 1000, 1);
  dictionarySetBins(Obj(d), -5);
  EXPECT_EQ(dictionaryGetBins(Obj(d)), 251);
  EXPECT_EQ(Get(d, 57).Int64Value(), 57);
}

TEST_F(DictionaryTest, LookupReturnsTheDefaultWithoutAdding) {
  auto d = NewDictionary();
  Set(d, "present", 1);
  Variant fallback(0.5);
  Variant found =
      Variant::Adopt(DictionaryLookup(Obj(d), Variant("PRESENT").get(), fallback.get()));
  EXPECT_EQ(found.Int64Value(), 1);
  Variant missing =
      Variant::Adopt(DictionaryLookup(Obj(d), Variant("absent").get(), fallback.get()));
  EXPECT_EQ(missing.DoubleValue(), 0.5);
  EXPECT_EQ(dictionaryCount(Obj(d)), 1);
  EXPECT_FALSE(dictionaryHasKey(Obj(d), Variant("absent").get()));
}

TEST_F(DictionaryTest, MissingKeysAndBadIndexesRaise) {
  auto d = NewDictionary();
  Set(d, "k", nullptr);  // a nil value is still an entry
  EXPECT_TRUE(Get(d, "K").IsNil());
  EXPECT_RAISES(Get(d, "other"), kKeyNotFoundExceptionDecl);
  EXPECT_RAISES(dictionaryRemove(Obj(d), Variant("other").get()), kKeyNotFoundExceptionDecl);
  EXPECT_RAISES(Variant::Adopt(dictionaryKey(Obj(d), 1)), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(Variant::Adopt(dictionaryKey(Obj(d), -1)), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(Variant::Adopt(dictionaryValueByIndex(Obj(d), 1)), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(dictionaryCount(nullptr), kNilObjectExceptionDecl);
  EXPECT_FALSE(d->busy);  // raising left the dictionary usable
  EXPECT_EQ(dictionaryCount(Obj(d)), 1);
}

TEST_F(DictionaryTest, NumbersMeetByValueAndOtherKindsStayApart) {
  auto d = NewDictionary();
  Set(d, int32_t{1}, "one");
  EXPECT_EQ(Text(Get(d, 1.0)), "one");
  EXPECT_EQ(Text(Get(d, int64_t{1})), "one");
  EXPECT_EQ(Text(Get(d, Variant::Currency(10000))), "one");
  EXPECT_FALSE(dictionaryHasKey(Obj(d), Variant(true).get()));
  EXPECT_FALSE(dictionaryHasKey(Obj(d), Variant("1").get()));
  Set(d, nullptr, "nil");
  EXPECT_EQ(Text(Get(d, nullptr)), "nil");
  EXPECT_EQ(dictionaryCount(Obj(d)), 2);
}

TEST_F(DictionaryTest, ObjectKeysByIdentityDateKeysByInstant) {
  auto d = NewDictionary();
  auto a = NewDictionary(), b = NewDictionary();
  Set(d, a, 1);
  EXPECT_TRUE(dictionaryHasKey(Obj(d), Variant(a).get()));
  EXPECT_FALSE(dictionaryHasKey(Obj(d), Variant(b).get()));
  auto date1 = corv::New<CORVdate>(&kDateDecl), date2 = corv::New<CORVdate>(&kDateDecl);
  dateTotalSecondsSetter(date1.object(), 1000);
  dateTotalSecondsSetter(date2.object(), 1000);
  Set(d, date1, "then");
  EXPECT_EQ(Text(Get(d, date2)), "then");
  EXPECT_EQ(a->header.refCount, 2);  // the key holds one
  dictionaryRemoveAll(Obj(d));
  EXPECT_EQ(a->header.refCount, 1);
}

struct Tracked {
  CORVobjectHeader header;
};
int gTrackedDestroyed = 0;
CORVobject gDictionaryToTouch = nullptr;
void TrackedDestructor(CORVobject) {
  ++gTrackedDestroyed;
  // A destructor that uses the dictionary whose release destroyed it.
  if (gDictionaryToTouch) {
    Variant key("from destructor");
    dictionaryValueSetter(gDictionaryToTouch, key.get(), key.get());
  }
}
const CORVclassDecl kTrackedDecl =
    corv::ClassDecl("DictionaryTestTracked", sizeof(Tracked)).Destructor(TrackedDestructor);

TEST_F(DictionaryTest, ValuesAreReleasedOnReplaceRemoveClearAndDestruction) {
  gTrackedDestroyed = 0;
  {
    auto d = NewDictionary();
    Set(d, "replaced", corv::New<Tracked>(&kTrackedDecl));
    Set(d, "removed", corv::New<Tracked>(&kTrackedDecl));
    Set(d, "cleared", corv::New<Tracked>(&kTrackedDecl));
    Set(d, "replaced", 1);
    EXPECT_EQ(gTrackedDestroyed, 1);
    dictionaryRemove(Obj(d), Variant("removed").get());
    EXPECT_EQ(gTrackedDestroyed, 2);
    dictionaryRemoveAll(Obj(d));
    EXPECT_EQ(gTrackedDestroyed, 3);
    Set(d, corv::New<Tracked>(&kTrackedDecl), "key object");
  }
  EXPECT_EQ(gTrackedDestroyed, 4);
}

TEST_F(DictionaryTest, DestructorsRunAfterTheDictionaryIsConsistentAgain) {
  gTrackedDestroyed = 0;
  auto d = NewDictionary();
  gDictionaryToTouch = Obj(d);
  Set(d, "a", corv::New<Tracked>(&kTrackedDecl));
  Set(d, "b", 2);
  dictionaryRemove(Obj(d), Variant("a").get());
  gDictionaryToTouch = nullptr;
  EXPECT_EQ(gTrackedDestroyed, 1);
  EXPECT_EQ(dictionaryCount(Obj(d)), 2);  // "b" and the destructor's entry
  EXPECT_TRUE(dictionaryHasKey(Obj(d), Variant("FROM DESTRUCTOR").get()));
  ExpectConsistent(d.get());
}

TEST_F(DictionaryTest, ReentryWhileBusyIsReportedAndRefused) {
  auto d = NewDictionary();
  d->busy = true;  // as if an operation were under way
  corv::CaptureFailures(true);
  Set(d, "k", 1);
  auto reports = corv::TakeCapturedFailures();
  corv::CaptureFailures(false);
  d->busy = false;
  EXPECT_EQ(reports.size(), 1u);
  EXPECT_EQ(dictionaryCount(Obj(d)), 0);
}

TEST_F(DictionaryTest, RandomOperationsMatchAModel) {
  auto d = NewDictionary();
  std::map<int32_t, int32_t> model;
  std::mt19937 random(7);
  for (int step = 0; step < 20000; ++step) {
    int32_t key = static_cast<int32_t>(random() % 600);
    switch (random() % 4) {
      case 0:
      case 1:
        Set(d, key, step);
        model[key] = step;
        break;
      case 2:
        if (model.erase(key))
          dictionaryRemove(Obj(d), Variant(key).get());
        else
          EXPECT_RAISES(dictionaryRemove(Obj(d), Variant(key).get()), kKeyNotFoundExceptionDecl);
        break;
      case 3:
        if (step % 5000 == 3) {
          dictionaryRemoveAll(Obj(d));
          model.clear();
        }
        break;
    }
  }
  ASSERT_EQ(dictionaryCount(Obj(d)), static_cast<int32_t>(model.size()));
  for (auto [key, value] : model) EXPECT_EQ(Get(d, key).Int64Value(), value);
  ExpectConsistent(d.get());
}

}  // namespace
