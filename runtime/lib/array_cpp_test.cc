// The C++ view of arrays: Array<E> calls the same table slots as compiled
// code, for numbers, objects and nil arrays.
#include <gtest/gtest.h>

#include "corv.h"
#include "corv/array.h"
#include "corv/class_decl.h"
#include "corv/string.h"
#include "runtime_test.h"

namespace {

using corv::Array;
using corv::testing::RuntimeTest;

struct Item {
  CORVobjectHeader header;
  int32_t value;
};
const CORVclassDecl kItemDecl = corv::ClassDecl("ArrayCppTestItem", sizeof(Item));

using ArrayCppTest = RuntimeTest;

TEST_F(ArrayCppTest, StringArrayAppendElementSearchAndSortIgnoreCase) {
  corv::StringArray names = corv::NewArray<corv::String>();
  EXPECT_EQ(names.UBound(), -1);
  EXPECT_EQ(names.IndexOf("x"), -1);
  names.Append("pear");
  names.Append("Apple");
  names.Append("");
  names.Insert(1, "banana");
  EXPECT_EQ(names.UBound(), 3);
  EXPECT_EQ(names(1).view(), "banana");
  EXPECT_TRUE(names(3).empty());
  EXPECT_EQ(names.IndexOf("APPLE"), 2);
  EXPECT_EQ(names.IndexOf("apple", 3), -1);
  names.Sort();
  EXPECT_TRUE(names(0).empty());
  EXPECT_EQ(names(1).view(), "Apple");
  EXPECT_EQ(names(2).view(), "banana");
  EXPECT_EQ(names(3).view(), "pear");
  corv::String kept = names(3);
  names.Redim(-1);
  EXPECT_EQ(kept.view(), "pear");  // the array's reference went, ours stays
  EXPECT_RAISES(names(0), kOutOfBoundsExceptionDecl);
}

TEST_F(ArrayCppTest, IntegerArrayAppendInsertRemoveSortSearch) {
  corv::IntegerArray a = corv::NewArray<int32_t>();
  EXPECT_EQ(a.UBound(), -1);
  EXPECT_EQ(a.IndexOf(5), -1);
  for (int32_t v : {5, 3, 9}) a.Append(v);
  a.Insert(1, 7);
  EXPECT_EQ(a.UBound(), 3);
  EXPECT_EQ(a(1), 7);
  a.Remove(0);
  a.Sort();
  EXPECT_EQ(a(0), 3);
  EXPECT_EQ(a(1), 7);
  EXPECT_EQ(a(2), 9);
  EXPECT_EQ(a.IndexOf(9), 2);
  EXPECT_EQ(a.IndexOf(3, 1), -1);
  a.Set(2, -4);
  EXPECT_EQ(a(2), -4);
  EXPECT_RAISES(a(3), kOutOfBoundsExceptionDecl);
  a.Redim(-1);
  EXPECT_EQ(a.UBound(), -1);
}

TEST_F(ArrayCppTest, TypedObjectArraysHandOutCountedReferences) {
  Array<Item *> items = corv::NewArray<Item *>(1);
  EXPECT_EQ(items(0), nullptr);
  corv::Ref<Item> item = corv::New<Item>(&kItemDecl);
  item->value = 42;
  items.Set(1, item);
  items.Append(item);
  EXPECT_EQ(item->header.refCount, 3);
  {
    corv::Ref<Item> read = items(2);
    EXPECT_EQ(read->value, 42);
    EXPECT_EQ(item->header.refCount, 4);
  }
  EXPECT_EQ(items.IndexOf(item), 1);
  EXPECT_EQ(items.IndexOf(nullptr), 0);
  items = nullptr;
  EXPECT_EQ(item->header.refCount, 1);
}

TEST_F(ArrayCppTest, GenericObjectArraysAndSharing) {
  corv::ObjectArray objects = corv::NewArray<CORVobjectHeader *>();
  corv::Ref<> item = corv::New(&kItemDecl);
  objects.Append(item);
  corv::ObjectArray same = corv::ObjectArray::Share(objects.object());
  EXPECT_EQ(same.UBound(), 0);
  EXPECT_EQ(same(0), item);
  EXPECT_EQ(objects->header.refCount, 2);
}

TEST_F(ArrayCppTest, NilArraysRaiseNilObjectException) {
  corv::DoubleArray none;
  EXPECT_RAISES(none.UBound(), kNilObjectExceptionDecl);
  EXPECT_RAISES(none.Append(1.0), kNilObjectExceptionDecl);
  EXPECT_RAISES(none(0), kNilObjectExceptionDecl);
  EXPECT_RAISES(none.Sort(), kNilObjectExceptionDecl);
}

}  // namespace
