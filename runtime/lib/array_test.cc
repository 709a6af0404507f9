// Arrays: creation, bounds, element access, growth, removal, resizing,
// search, sort, reference handling and the cast wrapper.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/failure.h"
#include "corv.h"
#include "corv/ref.h"
#include "runtime_test.h"

namespace {

using corv::Ref;
using corv::testing::RuntimeTest;

CORVarray *A(const Ref<> &array) {
  return reinterpret_cast<CORVarray *>(array.get());
}

Ref<> NewArray(int32_t kind, int32_t bound) {
  return Ref<>::Adopt(CreateArray(1, kind, bound));
}

// A string this test owns; released at the end of its scope.
class Text {
 public:
  explicit Text(const std::string &text)
      : s_(RuntimeCreateString(text.data(), static_cast<int32_t>(text.size()), kEncodingUTF8)) {}
  explicit Text(CORVstring adopted) : s_(adopted) {}
  ~Text() { RuntimeUnlockString(s_); }
  Text(const Text &) = delete;
  Text &operator=(const Text &) = delete;
  CORVstring get() const { return s_; }
  std::string str() const { return std::string(CORVStringBytes(s_), CORVStringLength(s_)); }

 private:
  CORVstring s_;
};

std::string StringAt(const Ref<> &array, int32_t i) {
  return Text(CORVArrayStringAt(array.object(), i)).str();
}

std::vector<std::string> Strings(const Ref<> &array) {
  std::vector<std::string> out;
  for (int32_t i = 0; i <= RuntimeUBound(array.object()); ++i) out.push_back(StringAt(array, i));
  return out;
}

Ref<> StringArray(const std::vector<std::string> &items) {
  Ref<> array = NewArray(kCORVArrayString, -1);
  for (const std::string &item : items) CORVArrayAppendString(array.object(), Text(item).get());
  return array;
}

template <class Fn, class... Args>
auto Call(const Ref<> &array, int slot, Args... args) {
  return reinterpret_cast<Fn *>(A(array)->ops[slot])(array.object(), args...);
}

bool Reported(const std::vector<std::string> &reports, const std::string &condition) {
  for (const std::string &report : reports)
    if (report.find(condition) != std::string::npos) return true;
  return false;
}

// Objects that count their finalizations, to prove each is released once.
int gFinalized = 0;
struct Probe {
  CORVobjectHeader header;
  int32_t tag;
};
void ProbeFinalizer(CORVobject) {
  ++gFinalized;
}
const CORVclassDecl kProbeDecl = {
    "ArrayTestProbe", nullptr, sizeof(Probe), nullptr, nullptr, ProbeFinalizer,
    nullptr,          0,       nullptr,       0,       nullptr, 0,
    nullptr,          0};
const CORVclassDecl kSubProbeDecl = {"ArrayTestSubProbe",
                                     &kProbeDecl,
                                     sizeof(Probe),
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     nullptr,
                                     0,
                                     nullptr,
                                     0,
                                     nullptr,
                                     0,
                                     nullptr,
                                     0};

class ArrayTest : public RuntimeTest {
 protected:
  void SetUp() override {
    gFinalized = 0;
    RuntimeTest::SetUp();
  }
};

TEST_F(ArrayTest, EmptyStringArrayGrowsByAppend) {
  Ref<> a = NewArray(kCORVArrayString, -1);
  EXPECT_EQ(RuntimeUBound(a.object()), -1);
  EXPECT_EQ(A(a)->buffer, nullptr);
  CORVArrayAppendString(a.object(), Text("a").get());
  EXPECT_EQ(RuntimeUBound(a.object()), 0);
  EXPECT_EQ(StringAt(a, 0), "a");
}

TEST_F(ArrayTest, CreateArrayZeroesEveryKindAndReportsMissingKinds) {
  for (int32_t kind = 0; kind <= 16; ++kind) {
    if (kind == 12) continue;
    Ref<> a = NewArray(kind, 9);
    ASSERT_TRUE(a) << kind;
    int32_t size = Call<int32_t(CORVobject)>(a, kCORVArrayElementSize);
    EXPECT_EQ(Call<int32_t(CORVobject)>(a, kCORVArrayElementKind), kind);
    EXPECT_EQ(A(a)->bufferLength, 10 * size) << kind;
    const auto *bytes = static_cast<const unsigned char *>(A(a)->buffer);
    EXPECT_TRUE(std::all_of(bytes, bytes + 10 * size, [](unsigned char b) { return b == 0; }));
  }
  corv::CaptureFailures(true);
  EXPECT_EQ(CreateArray(1, 12, 3), nullptr);
  EXPECT_EQ(CreateArray(1, 17, 3), nullptr);
  EXPECT_EQ(CreateArray(1, -1, 3), nullptr);
  EXPECT_EQ(CreateArray(0, kCORVArrayString), nullptr);
  EXPECT_EQ(CreateArray(kCORVArrayMaxDimensions + 1, kCORVArrayString, 1, 1, 1, 1, 1, 1, 1, 1, 1),
            nullptr);
  auto reports = corv::TakeCapturedFailures();
  corv::CaptureFailures(false);
  EXPECT_EQ(reports.size(), 5u);
  EXPECT_TRUE(Reported(reports, "kind != 12"));
}

TEST_F(ArrayTest, ElementSizesFollowTheKind) {
  const int32_t expected[17] = {4, 4, 8, sizeof(void *), sizeof(void *), 1, 1, 2, 2, 4, 8, 8, 0, 4,
                                4, 8, 1};
  for (int32_t kind = 0; kind <= 16; ++kind) {
    if (kind == 12) continue;
    Ref<> a = NewArray(kind, -1);
    EXPECT_EQ(Call<int32_t(CORVobject)>(a, kCORVArrayElementSize), expected[kind]) << kind;
  }
}

TEST_F(ArrayTest, BadBoundsAtCreationRaise) {
  EXPECT_RAISES(CreateArray(1, kCORVArrayInt32, -2), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(CreateArray(2, kCORVArrayInt32, 3, -5), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(CreateArray(2, kCORVArrayDouble, 0x10000, 0x10000), kOutOfMemoryExceptionDecl);
}

TEST_F(ArrayTest, IndexesOutsideTheBoundsRaiseAndChangeNothing) {
  Ref<> a = StringArray({"x", "y"});
  EXPECT_RAISES(CORVArrayStringAt(a.object(), 2), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(CORVArrayStringAt(a.object(), -1), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(CORVArraySetString(a.object(), 2, Text("z").get()), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(CORVArraySetString(a.object(), -1, Text("z").get()), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(CORVArrayInsertString(a.object(), 3, Text("z").get()), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(CORVArrayInsertString(a.object(), -1, Text("z").get()), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(CORVArrayRemove(a.object(), 2), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(CORVArrayRemove(a.object(), -1), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(CORVArrayRedim(a.object(), -2), kOutOfBoundsExceptionDecl);
  EXPECT_EQ(Strings(a), (std::vector<std::string>{"x", "y"}));
}

TEST_F(ArrayTest, NilArraysRaiseNilObjectException) {
  EXPECT_RAISES(RuntimeUBound(nullptr), kNilObjectExceptionDecl);
  EXPECT_RAISES(RuntimeUBound2Param(nullptr, 1), kNilObjectExceptionDecl);
  EXPECT_RAISES(CORVArrayAppendString(nullptr, nullptr), kNilObjectExceptionDecl);
  // The table's own operations check too, for callers that hold a table.
  Ref<> a = NewArray(kCORVArrayString, -1);
  auto insert =
      reinterpret_cast<void (*)(CORVobject, int32_t, CORVstring)>(A(a)->ops[kCORVArrayInsert]);
  EXPECT_RAISES(insert(nullptr, 0, nullptr), kNilObjectExceptionDecl);
}

TEST_F(ArrayTest, UBoundWithADimension) {
  Ref<> one = NewArray(kCORVArrayInt32, 4);
  EXPECT_EQ(RuntimeUBound2Param(one.object(), -1), 1);
  EXPECT_EQ(RuntimeUBound2Param(one.object(), 1), 4);
  EXPECT_RAISES(RuntimeUBound2Param(one.object(), 2), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(RuntimeUBound2Param(one.object(), 0), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(RuntimeUBound2Param(one.object(), -2), kOutOfBoundsExceptionDecl);
  Ref<> three = Ref<>::Adopt(CreateArray(3, kCORVArrayInt32, 1, -1, 6));
  EXPECT_EQ(RuntimeUBound2Param(three.object(), -1), 3);
  EXPECT_EQ(RuntimeUBound(three.object()), 1);
  EXPECT_EQ(RuntimeUBound2Param(three.object(), 2), -1);
  EXPECT_EQ(RuntimeUBound2Param(three.object(), 3), 6);
  EXPECT_EQ(A(three)->buffer, nullptr);  // an empty dimension leaves no elements
}

TEST_F(ArrayTest, InsertAtUBoundPlusOneAppendsAndInsertShiftsTheRest) {
  Ref<> a = StringArray({"b", "d"});
  CORVArrayInsertString(a.object(), 2, Text("e").get());
  CORVArrayInsertString(a.object(), 1, Text("c").get());
  CORVArrayInsertString(a.object(), 0, Text("a").get());
  EXPECT_EQ(Strings(a), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
}

TEST_F(ArrayTest, RemoveShiftsDownAndShrinksToTheExactSize) {
  Ref<> a = StringArray({"a", "b", "c", "d"});
  EXPECT_EQ(A(a)->bufferLength, 16 * static_cast<int32_t>(sizeof(void *)));
  EXPECT_EQ(A(a)->growthIncrement, 32);
  CORVArrayRemove(a.object(), 1);
  EXPECT_EQ(Strings(a), (std::vector<std::string>{"a", "c", "d"}));
  EXPECT_EQ(A(a)->bufferLength, 3 * static_cast<int32_t>(sizeof(void *)));
  EXPECT_EQ(A(a)->growthIncrement, 16);
  CORVArrayRemove(a.object(), 2);
  CORVArrayRemove(a.object(), 0);
  EXPECT_EQ(Strings(a), (std::vector<std::string>{"c"}));
  CORVArrayRemove(a.object(), 0);
  EXPECT_EQ(RuntimeUBound(a.object()), -1);
  EXPECT_EQ(A(a)->buffer, nullptr);
  EXPECT_EQ(A(a)->bufferLength, 0);
}

TEST_F(ArrayTest, RedimKeepsLeadingElementsZeroesNewOnesAndReleasesDroppedOnes) {
  int32_t strings = RuntimeLiveStringCount();
  Ref<> a = StringArray({"a", "b", "c"});
  EXPECT_EQ(RuntimeLiveStringCount(), strings + 3);
  CORVArrayRedim(a.object(), 4);
  EXPECT_EQ(Strings(a), (std::vector<std::string>{"a", "b", "c", "", ""}));
  EXPECT_EQ(A(a)->bufferLength, 5 * static_cast<int32_t>(sizeof(void *)));
  EXPECT_EQ(A(a)->growthIncrement, 16);
  CORVArrayRedim(a.object(), 1);
  EXPECT_EQ(Strings(a), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(RuntimeLiveStringCount(), strings + 2);
  CORVArrayRedim(a.object(), -1);
  EXPECT_EQ(RuntimeUBound(a.object()), -1);
  EXPECT_EQ(A(a)->buffer, nullptr);
  EXPECT_EQ(RuntimeLiveStringCount(), strings);
}

TEST_F(ArrayTest, RedimToTheSameBoundChangesNothing) {
  Ref<> a = StringArray({"a", "b"});
  void *buffer = A(a)->buffer;
  int32_t length = A(a)->bufferLength;
  CORVArrayRedim(a.object(), 1);
  EXPECT_EQ(A(a)->buffer, buffer);
  EXPECT_EQ(A(a)->bufferLength, length);  // the spare room of the appends stays
  EXPECT_EQ(A(a)->growthIncrement, 32);
}

TEST_F(ArrayTest, RedimTooLargeRaisesAndKeepsTheElements) {
  Ref<> a = StringArray({"a", "b"});
  EXPECT_RAISES(CORVArrayRedim(a.object(), 0x7FFFFFFF / static_cast<int32_t>(sizeof(void *))),
                kOutOfMemoryExceptionDecl);
  EXPECT_EQ(Strings(a), (std::vector<std::string>{"a", "b"}));
}

// The buffer grows by the growth increment, which doubles up to 131072
// elements and then stays; every growth keeps the elements.
TEST_F(ArrayTest, AppendGrowthFollowsTheIncrementAndItsLimit) {
  Ref<> a = NewArray(kCORVArrayUInt8, -1);
  int64_t capacity = 0, increment = 16;
  std::vector<int32_t> increments;
  for (int32_t i = 0; i < 700000; ++i) {
    if (i == capacity) {
      capacity += increment;
      if (increment < 131072) increment *= 2;
    }
    reinterpret_cast<void (*)(CORVobject, int32_t, uint8_t)>(A(a)->ops[kCORVArrayInsert])(
        a.object(), i, static_cast<uint8_t>(i * 7));
    ASSERT_EQ(A(a)->bufferLength, capacity) << "after " << i + 1 << " appends";
    ASSERT_EQ(A(a)->growthIncrement, increment);
  }
  EXPECT_EQ(A(a)->growthIncrement, 131072);
  const auto *bytes = static_cast<const uint8_t *>(A(a)->buffer);
  for (int32_t i = 0; i < 700000; ++i) ASSERT_EQ(bytes[i], static_cast<uint8_t>(i * 7));
}

TEST_F(ArrayTest, AGrowthThatFallsShortIsReportedAndStillMakesRoom) {
  Ref<> a = NewArray(kCORVArrayInt32, 2);
  A(a)->growthIncrement = 0;  // a damaged increment
  corv::CaptureFailures(true);
  CORVArrayAppendInt32(a.object(), 42);
  auto reports = corv::TakeCapturedFailures();
  corv::CaptureFailures(false);
  EXPECT_TRUE(Reported(reports, "array->bufferLength >= minimumBufferSize"));
  EXPECT_EQ(CORVArrayInt32At(a.object(), 3), 42);
  EXPECT_GE(A(a)->bufferLength, 16);
}

TEST_F(ArrayTest, StoredStringsAndObjectsAreCountedAndReleasedOnce) {
  Ref<> a = NewArray(kCORVArrayObject, 1);
  Ref<> first = corv::New(&kProbeDecl);
  Ref<> second = corv::New(&kProbeDecl);
  CORVArraySetObject(a.object(), 0, first.object());
  EXPECT_EQ(first->refCount, 2);
  CORVArraySetObject(a.object(), 0, first.object());  // the same value again
  EXPECT_EQ(first->refCount, 2);
  CORVArraySetObject(a.object(), 1, second.object());
  CORVArrayInsertObject(a.object(), 0, second.object());
  EXPECT_EQ(second->refCount, 3);
  Ref<> read = Ref<>::Adopt(CORVArrayObjectAt(a.object(), 1));
  EXPECT_EQ(read, first);
  EXPECT_EQ(first->refCount, 3);
  read = nullptr;
  first = nullptr;  // the array holds the last reference now
  EXPECT_EQ(gFinalized, 0);
  CORVArraySetObject(a.object(), 1, nullptr);  // overwriting releases it
  EXPECT_EQ(gFinalized, 1);
  CORVArrayRemove(a.object(), 0);
  EXPECT_EQ(second->refCount, 2);
  a = nullptr;  // destruction releases the rest
  EXPECT_EQ(second->refCount, 1);
}

TEST_F(ArrayTest, DestroyingAnArrayReleasesEveryElement) {
  int32_t strings = RuntimeLiveStringCount();
  {
    Ref<> a = StringArray({"one", "two", "three"});
    Ref<> objects = NewArray(kCORVArrayObject, -1);
    for (int i = 0; i < 5; ++i)
      CORVArrayAppendObject(objects.object(), corv::New(&kProbeDecl).object());
    EXPECT_EQ(RuntimeLiveStringCount(), strings + 3);
  }
  EXPECT_EQ(gFinalized, 5);
  EXPECT_EQ(RuntimeLiveStringCount(), strings);
}

// An element's finalizer that looks at the array it is leaving finds the
// array already without it.
CORVobject gWatched = nullptr;
std::vector<int32_t> gSeenBounds;
void WatchingFinalizer(CORVobject) {
  gSeenBounds.push_back(RuntimeUBound(gWatched));
}
const CORVclassDecl kWatcherDecl = {"ArrayTestWatcher",
                                    nullptr,
                                    sizeof(Probe),
                                    nullptr,
                                    nullptr,
                                    WatchingFinalizer,
                                    nullptr,
                                    0,
                                    nullptr,
                                    0,
                                    nullptr,
                                    0,
                                    nullptr,
                                    0};

TEST_F(ArrayTest, ReleasedElementsSeeTheArrayAlreadyChanged) {
  Ref<> a = NewArray(kCORVArrayObject, -1);
  gWatched = a.object();
  gSeenBounds.clear();
  for (int i = 0; i < 4; ++i) CORVArrayAppendObject(a.object(), corv::New(&kWatcherDecl).object());
  CORVArrayRemove(a.object(), 3);
  CORVArraySetObject(a.object(), 2, nullptr);
  CORVArrayRedim(a.object(), 0);
  Call<void(CORVobject)>(a, kCORVArrayReleaseAll);
  EXPECT_EQ(gSeenBounds, (std::vector<int32_t>{2, 2, 0, -1}));
  gWatched = nullptr;
}

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

TEST_F(ArrayTest, TwoDimensionalElementsAreCheckedPerIndex) {
  Ref<> a = Ref<>::Adopt(CreateArray(2, kCORVArrayString, 2, 3));
  EXPECT_EQ(A(a)->bufferLength, 12 * static_cast<int32_t>(sizeof(void *)));
  auto set = reinterpret_cast<void (*)(CORVobject, int32_t, int32_t, CORVstring)>(
      A(a)->ops[kCORVArraySet]);
  auto get =
      reinterpret_cast<CORVstring (*)(CORVobject, int32_t, int32_t)>(A(a)->ops[kCORVArrayGet]);
  for (int32_t i = 0; i <= 2; ++i)
    for (int32_t j = 0; j <= 3; ++j) set(a.object(), i, j, Text(std::to_string(i * 10 + j)).get());
  EXPECT_EQ(Text(get(a.object(), 2, 1)).str(), "21");
  EXPECT_EQ(Text(get(a.object(), 0, 3)).str(), "3");
  auto *cells = static_cast<CORVstring *>(A(a)->buffer);
  EXPECT_EQ(Text(RuntimeLockString(cells[1 * 4 + 2])).str(), "12");
  EXPECT_RAISES(get(a.object(), 0, 4), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(get(a.object(), 3, 0), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(get(a.object(), -1, 0), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(set(a.object(), 1, -1, nullptr), kOutOfBoundsExceptionDecl);
}

TEST_F(ArrayTest, ArraysOfMoreDimensionsTakeAnIndexList) {
  Ref<> a = Ref<>::Adopt(CreateArray(3, kCORVArrayObject, 1, 2, 3));
  auto set =
      reinterpret_cast<void (*)(CORVobject, const int32_t *, CORVobject)>(A(a)->ops[kCORVArraySet]);
  auto get =
      reinterpret_cast<CORVobject (*)(CORVobject, const int32_t *)>(A(a)->ops[kCORVArrayGet]);
  Ref<> probe = corv::New(&kProbeDecl);
  const int32_t at[3] = {1, 2, 3}, outside[3] = {1, 3, 0}, other[3] = {0, 0, 0};
  set(a.object(), at, probe.object());
  EXPECT_EQ(Ref<>::Adopt(get(a.object(), at)), probe);
  EXPECT_EQ(get(a.object(), other), nullptr);
  EXPECT_EQ(static_cast<CORVobject *>(A(a)->buffer)[1 * 12 + 2 * 4 + 3], probe.object());
  EXPECT_RAISES(get(a.object(), outside), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(get(a.object(), nullptr), kNilObjectExceptionDecl);
  a = nullptr;
  EXPECT_EQ(probe->refCount, 1);
}

TEST_F(ArrayTest, OneDimensionalOperationsRefuseMoreDimensions) {
  Ref<> a = Ref<>::Adopt(CreateArray(2, kCORVArrayInt32, 1, 1));
  corv::CaptureFailures(true);
  CORVArrayRedim(a.object(), 5);
  CORVArrayInsertInt32(a.object(), 0, 1);
  CORVArrayRemove(a.object(), 0);
  CORVArraySort(a.object());
  auto reports = corv::TakeCapturedFailures();
  corv::CaptureFailures(false);
  EXPECT_EQ(reports.size(), 4u);
  EXPECT_TRUE(Reported(reports, "array->dimensionCount == 1"));
  EXPECT_EQ(RuntimeUBound2Param(a.object(), 1), 1);
  EXPECT_EQ(RuntimeUBound2Param(a.object(), 2), 1);
}

TEST_F(ArrayTest, CastWrapperChecksTheClassOfEveryElementPassingThrough) {
  Ref<> objects = NewArray(kCORVArrayObject, -1);
  Ref<> probe = corv::New(&kProbeDecl);
  Ref<> sub = corv::New(&kSubProbeDecl);
  CORVArrayAppendObject(objects.object(), sub.object());
  CORVArrayAppendObject(objects.object(), probe.object());
  CORVclass *subClass = CORVBindDeclaration(&kSubProbeDecl);
  Ref<> view = Ref<>::Adopt(RuntimeCreateArrayCastWrapper(objects.object(), subClass));
  ASSERT_NE(view, objects);
  EXPECT_EQ(RuntimeUBound(view.object()), 1);
  EXPECT_EQ(Ref<>::Adopt(CORVArrayObjectAt(view.object(), 0)), sub);
  EXPECT_RAISES(CORVArrayObjectAt(view.object(), 1), kIllegalCastExceptionDecl);
  EXPECT_RAISES(CORVArrayAppendObject(view.object(), probe.object()), kIllegalCastExceptionDecl);
  EXPECT_RAISES(CORVArraySetObject(view.object(), 0, probe.object()), kIllegalCastExceptionDecl);
  EXPECT_EQ(RuntimeUBound(objects.object()), 1);
  CORVArrayAppendObject(view.object(), nullptr);
  CORVArrayAppendObject(view.object(), sub.object());
  EXPECT_EQ(RuntimeUBound(objects.object()), 3);  // stores reach the wrapped array
  EXPECT_EQ(CORVArrayIndexOfObject(view.object(), sub.object(), 1), 3);
  CORVArrayRemove(view.object(), 1);
  EXPECT_EQ(probe->refCount, 1);
  // The view keeps the wrapped array alive.
  CORVobject wrapped = objects.object();
  objects = nullptr;
  EXPECT_EQ(wrapped->refCount, 1);
  EXPECT_EQ(RuntimeUBound(view.object()), 2);
  view = nullptr;
  EXPECT_EQ(sub->refCount, 1);
}

TEST_F(ArrayTest, CastWrapperReturnsTheArrayItselfWhenThereIsNothingToCheck) {
  Ref<> objects = NewArray(kCORVArrayObject, 0);
  CORVobject same = RuntimeCreateArrayCastWrapper(objects.object(), nullptr);
  EXPECT_EQ(same, objects.object());
  EXPECT_EQ(objects->refCount, 2);
  RuntimeUnlockObject(same);
  Ref<> view = Ref<>::Adopt(
      RuntimeCreateArrayCastWrapper(objects.object(), CORVBindDeclaration(&kProbeDecl)));
  CORVobject again =
      RuntimeCreateArrayCastWrapper(view.object(), CORVBindDeclaration(&kSubProbeDecl));
  EXPECT_EQ(again, view.object());
  RuntimeUnlockObject(again);
  EXPECT_EQ(RuntimeCreateArrayCastWrapper(nullptr, CORVBindDeclaration(&kProbeDecl)), nullptr);
  Ref<> strings = NewArray(kCORVArrayString, 0);
  corv::CaptureFailures(true);
  Ref<> notObjects = Ref<>::Adopt(
      RuntimeCreateArrayCastWrapper(strings.object(), CORVBindDeclaration(&kProbeDecl)));
  EXPECT_EQ(corv::TakeCapturedFailures().size(), 1u);
  corv::CaptureFailures(false);
  EXPECT_EQ(notObjects, strings);
}

TEST_F(ArrayTest, EntryPointsAreInTheLinkTable) {
  EXPECT_EQ(CORVLookupLinkEntry("CreateArray"), reinterpret_cast<void *>(&CreateArray));
  EXPECT_EQ(CORVLookupLinkEntry("RuntimeUBound"), reinterpret_cast<void *>(&RuntimeUBound));
  EXPECT_EQ(CORVLookupLinkEntry("RuntimeUBound2Param"),
            reinterpret_cast<void *>(&RuntimeUBound2Param));
  EXPECT_EQ(CORVLookupLinkEntry("RuntimeCreateArrayCastWrapper"),
            reinterpret_cast<void *>(&RuntimeCreateArrayCastWrapper));
}

}  // namespace
