// The C++ view of Dictionary: the language's members over the entry points.
#include <gtest/gtest.h>

#include "corv/dictionary.h"
#include "runtime_test.h"

namespace {

using corv::Dictionary;
using corv::Ref;
using corv::Variant;
using corv::testing::RuntimeTest;

class DictionaryWrapperTest : public RuntimeTest {};

TEST_F(DictionaryWrapperTest, MembersUseTheLanguagesNames) {
  Ref<Dictionary> d = Dictionary::New();
  d->Value("Windows", "app.exe");
  d->Value("Linux", int32_t{2});
  EXPECT_EQ(d->Count(), 2);
  EXPECT_TRUE(d->HasKey("WINDOWS"));
  EXPECT_EQ(d->Value("linux").Int64Value(), 2);
  EXPECT_EQ(d->Lookup("Mac", 0.0).DoubleValue(), 0.0);
  EXPECT_EQ(d->Count(), 2);
  EXPECT_TRUE(d->Key(1) == Variant("LINUX"));
  EXPECT_EQ(d->ValueByIndex(1).Int64Value(), 2);
  auto keys = d->Keys();
  ASSERT_EQ(keys.UBound(), 1);
  EXPECT_TRUE(Variant::FromObjectForm(keys(0).object()) == Variant("windows"));
  auto values = d->Values();
  EXPECT_EQ(Variant::FromObjectForm(values(1).object()).Int64Value(), 2);
  d->BinCount(7);
  EXPECT_EQ(d->BinCount(), 7);
  d->Remove("Windows");
  EXPECT_RAISES(d->Remove("Windows"), kKeyNotFoundExceptionDecl);
  EXPECT_RAISES(d->Value("Windows"), kKeyNotFoundExceptionDecl);
  d->Clear();
  EXPECT_EQ(d->Count(), 0);
  EXPECT_EQ(d->BinCount(), 61);
}

TEST_F(DictionaryWrapperTest, NestedDictionariesAreHeldByReference) {
  Ref<Dictionary> outer = Dictionary::New();
  {
    Ref<Dictionary> inner = Dictionary::New();
    inner->Value(int32_t{0}, "first");
    outer->Value("items", inner);
  }
  Ref<Dictionary> inner = Ref<Dictionary>::Share(outer->Value("ITEMS").ObjectValue());
  ASSERT_TRUE(inner);
  EXPECT_EQ(inner->Count(), 1);
  EXPECT_TRUE(inner->Value(int32_t{0}) == Variant("FIRST"));
}

}  // namespace
