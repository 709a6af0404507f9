// Arrays of two and more dimensions, the cast wrapper and the link table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/failure.h"
#include "corv.h"
#include "lib/array_test_util.h"

namespace {

using namespace corv::array_test;

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
