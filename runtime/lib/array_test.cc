// Arrays: creation, bounds, element access, growth, removal, resizing and
// reference handling of stored strings and objects.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/failure.h"
#include "corv.h"
#include "corv/class_decl.h"
#include "lib/array_test_util.h"

namespace {

using namespace corv::array_test;

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
const CORVclassDecl kWatcherDecl =
    corv::ClassDecl("ArrayTestWatcher", sizeof(Probe)).Finalizer(WatchingFinalizer);

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

TEST_F(ArrayTest, AfterARemoveTheNextAppendGrowsBySixteenAgain) {
  Ref<> a = NewArray(kCORVArrayInt64, -1);
  auto append = [&](int64_t v) {
    reinterpret_cast<void (*)(CORVobject, int32_t, int64_t)>(A(a)->ops[kCORVArrayInsert])(
        a.object(), RuntimeUBound(a.object()) + 1, v);
  };
  for (int64_t i = 0; i < 40; ++i) append(i);
  EXPECT_EQ(A(a)->bufferLength, (16 + 32) * 8);
  EXPECT_EQ(A(a)->growthIncrement, 64);
  CORVArrayRemove(a.object(), 0);
  EXPECT_EQ(A(a)->bufferLength, 39 * 8);
  append(40);
  append(41);
  EXPECT_EQ(A(a)->bufferLength, (39 + 16) * 8);
  EXPECT_EQ(A(a)->growthIncrement, 32);
  auto get = reinterpret_cast<int64_t (*)(CORVobject, int32_t)>(A(a)->ops[kCORVArrayGet]);
  EXPECT_EQ(get(a.object(), 0), 1);
  EXPECT_EQ(get(a.object(), 40), 41);
}

TEST_F(ArrayTest, UncheckedSlotsAndElementReferenceSlotsCountLikeTheCheckedOnes) {
  int32_t strings = RuntimeLiveStringCount();
  Ref<> a = NewArray(kCORVArrayString, 1);
  auto setUnchecked = reinterpret_cast<void (*)(CORVobject, int32_t, CORVstring)>(
      A(a)->ops[kCORVArraySetUnchecked]);
  auto getUnchecked =
      reinterpret_cast<CORVstring (*)(CORVobject, int32_t)>(A(a)->ops[kCORVArrayGetUnchecked]);
  auto lock = reinterpret_cast<void (*)(CORVstring)>(A(a)->ops[kCORVArrayLockElement]);
  auto unlock = reinterpret_cast<void (*)(CORVstring)>(A(a)->ops[kCORVArrayUnlockElement]);
  {
    Text one("one");
    setUnchecked(a.object(), 1, one.get());
    EXPECT_EQ(one.get()->refCount, 2);
    lock(one.get());
    EXPECT_EQ(one.get()->refCount, 3);
    unlock(one.get());
    Text read(getUnchecked(a.object(), 1));
    EXPECT_EQ(read.get(), one.get());
    EXPECT_EQ(one.get()->refCount, 3);
  }
  setUnchecked(a.object(), 1, nullptr);
  EXPECT_EQ(RuntimeLiveStringCount(), strings);
  Ref<> numbers = NewArray(kCORVArrayInt32, 0);
  auto lockNumber = reinterpret_cast<void (*)(int32_t)>(A(numbers)->ops[kCORVArrayLockElement]);
  lockNumber(12345);  // numbers are not counted: nothing to take
}

}  // namespace
