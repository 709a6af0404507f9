// Arrays: IndexOf, the two sorts and the walk over all elements.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/failure.h"
#include "corv.h"
#include "lib/array_test_util.h"

namespace {

using namespace corv::array_test;

TEST_F(ArrayTest, IndexOfIgnoresCaseAndHonoursTheStart) {
  Ref<> a = StringArray({"x", "abc", "y", "ABC"});
  EXPECT_EQ(CORVArrayIndexOfString(a.object(), Text("ABC").get(), -1), 1);
  EXPECT_EQ(CORVArrayIndexOfString(a.object(), Text("aBc").get(), 0), 1);
  EXPECT_EQ(CORVArrayIndexOfString(a.object(), Text("abc").get(), 2), 3);
  EXPECT_EQ(CORVArrayIndexOfString(a.object(), Text("abc").get(), 3), 3);
  EXPECT_EQ(CORVArrayIndexOfString(a.object(), Text("ab").get(), 0), -1);
  EXPECT_EQ(CORVArrayIndexOfString(a.object(), nullptr, 0), -1);
  EXPECT_RAISES(CORVArrayIndexOfString(a.object(), Text("x").get(), 4), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(CORVArrayIndexOfString(a.object(), Text("x").get(), -2), kOutOfBoundsExceptionDecl);
  CORVArrayRedim(a.object(), 5);  // two empty strings at the end
  EXPECT_EQ(CORVArrayIndexOfString(a.object(), nullptr, 0), 4);
}

TEST_F(ArrayTest, IndexOfOnAnEmptyArray) {
  Ref<> a = NewArray(kCORVArrayString, -1);
  EXPECT_EQ(CORVArrayIndexOfString(a.object(), Text("a").get(), -1), -1);
  EXPECT_RAISES(CORVArrayIndexOfString(a.object(), Text("a").get(), 0), kOutOfBoundsExceptionDecl);
}

TEST_F(ArrayTest, IndexOfNumbersAndObjectsComparesValuesAndIdentity) {
  Ref<> numbers = NewArray(kCORVArrayDouble, -1);
  for (double d : {1.5, -0.0, 2.0, std::nan("")}) CORVArrayAppendDouble(numbers.object(), d);
  EXPECT_EQ(CORVArrayIndexOfDouble(numbers.object(), 0.0, -1), 1);
  EXPECT_EQ(CORVArrayIndexOfDouble(numbers.object(), 2.0, 0), 2);
  EXPECT_EQ(CORVArrayIndexOfDouble(numbers.object(), std::nan(""), 0), -1);
  Ref<> objects = NewArray(kCORVArrayObject, 2);
  Ref<> probe = corv::New(&kProbeDecl);
  CORVArraySetObject(objects.object(), 2, probe.object());
  EXPECT_EQ(CORVArrayIndexOfObject(objects.object(), probe.object(), 0), 2);
  EXPECT_EQ(CORVArrayIndexOfObject(objects.object(), nullptr, 0), 0);
}

// The sort is checked against an independent ordering on inputs that
// stress the partition (sorted, reversed, all equal, few distinct values)
// at sizes around the insertion-sort limit.
std::vector<std::string> SortInputs(int32_t n, int pattern, std::mt19937 &rng) {
  std::vector<std::string> items;
  for (int32_t i = 0; i < n; ++i) {
    int32_t key = pattern == 0   ? i
                  : pattern == 1 ? n - i
                  : pattern == 2 ? 7
                  : pattern == 3 ? static_cast<int32_t>(rng() % 5)
                                 : static_cast<int32_t>(rng() % 100000);
    std::string item = "k" + std::to_string(100000 + key);
    if (rng() % 2) item[0] = 'K';  // case must not matter
    items.push_back(item);
  }
  return items;
}

std::string Folded(std::string s) {
  for (char &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

TEST_F(ArrayTest, SortOrdersStringsIgnoringCaseAtEverySize) {
  std::mt19937 rng(12345);
  for (int32_t n : {0, 1, 2, 3, 15, 16, 17, 31, 100, 1000}) {
    for (int pattern = 0; pattern < 5; ++pattern) {
      std::vector<std::string> items = SortInputs(n, pattern, rng);
      Ref<> a = StringArray(items);
      CORVArraySort(a.object());
      std::vector<std::string> sorted = Strings(a);
      ASSERT_EQ(sorted.size(), items.size());
      for (size_t i = 1; i < sorted.size(); ++i)
        ASSERT_LE(Folded(sorted[i - 1]), Folded(sorted[i])) << n << " " << pattern << " " << i;
      std::vector<std::string> before = items, after = sorted;
      std::sort(before.begin(), before.end());
      std::sort(after.begin(), after.end());
      ASSERT_EQ(before, after) << "the sort lost or duplicated elements";
    }
  }
}

TEST_F(ArrayTest, SortOrdersNumbersAndSurvivesNaN) {
  Ref<> a = NewArray(kCORVArrayInt32, -1);
  std::mt19937 rng(7);
  std::vector<int32_t> expected;
  for (int i = 0; i < 500; ++i) {
    int32_t v = static_cast<int32_t>(rng() % 2001) - 1000;
    expected.push_back(v);
    CORVArrayAppendInt32(a.object(), v);
  }
  CORVArraySort(a.object());
  std::sort(expected.begin(), expected.end());
  for (int32_t i = 0; i < 500; ++i) ASSERT_EQ(CORVArrayInt32At(a.object(), i), expected[i]);

  Ref<> d = NewArray(kCORVArrayDouble, -1);
  for (int i = 0; i < 200; ++i)
    CORVArrayAppendDouble(d.object(), i % 3 == 0 ? std::nan("") : static_cast<double>(rng() % 50));
  CORVArraySort(d.object());  // no order exists; it must still keep every element
  int nans = 0;
  for (int32_t i = 0; i < 200; ++i) nans += std::isnan(CORVArrayDoubleAt(d.object(), i));
  EXPECT_EQ(nans, 67);
}

TEST_F(ArrayTest, SortWithUsesTheGivenOrder) {
  Ref<> a = StringArray({"b", "C", "a", "d"});
  auto byLengthThenDescending = [](const void *x, const void *y, void *calls) -> int32_t {
    ++*static_cast<int *>(calls);
    return -RuntimeStringCompare(*static_cast<const CORVstring *>(x),
                                 *static_cast<const CORVstring *>(y));
  };
  int calls = 0;
  Call<void(CORVobject, CORVarrayCompare, void *)>(a, kCORVArraySortWith, +byLengthThenDescending,
                                                   &calls);
  EXPECT_EQ(Strings(a), (std::vector<std::string>{"d", "C", "b", "a"}));
  EXPECT_GT(calls, 0);
  EXPECT_RAISES(
      (Call<void(CORVobject, CORVarrayCompare, void *)>(a, kCORVArraySortWith, nullptr, nullptr)),
      kNilObjectExceptionDecl);
}

TEST_F(ArrayTest, SortingObjectsIsReportedAndChangesNothing) {
  Ref<> a = NewArray(kCORVArrayObject, 1);
  Ref<> probe = corv::New(&kProbeDecl);
  CORVArraySetObject(a.object(), 1, probe.object());
  corv::CaptureFailures(true);
  CORVArraySort(a.object());
  auto reports = corv::TakeCapturedFailures();
  corv::CaptureFailures(false);
  EXPECT_EQ(reports.size(), 1u);
  EXPECT_EQ(Ref<>::Adopt(CORVArrayObjectAt(a.object(), 1)), probe);
}

TEST_F(ArrayTest, ForEachVisitsEveryElementInOrder) {
  Ref<> a = Ref<>::Adopt(CreateArray(2, kCORVArrayInt16, 1, 2));
  std::vector<int16_t> seen;
  auto number = [](void *element, void *context) {
    auto *list = static_cast<std::vector<int16_t> *>(context);
    *static_cast<int16_t *>(element) = static_cast<int16_t>(list->size() * 10);
    list->push_back(*static_cast<int16_t *>(element));
  };
  Call<void(CORVobject, CORVarrayVisit, void *)>(a, kCORVArrayForEach, +number, &seen);
  EXPECT_EQ(seen.size(), 6u);
  auto get = reinterpret_cast<int16_t (*)(CORVobject, int32_t, int32_t)>(A(a)->ops[kCORVArrayGet]);
  EXPECT_EQ(get(a.object(), 1, 0), 30);  // row after row
  EXPECT_EQ(get(a.object(), 0, 2), 20);
}

}  // namespace
