// The cast wrapper: an object array seen as an array of one class. It keeps
// no elements of its own; every operation goes to the wrapped array, and
// every object read from it or stored through it must be of the class.
#include "corv.h"
#include "corv/class_decl.h"
#include "lib/array_internal.h"

namespace corv::array {
namespace {

struct CastWrapper {
  CORVarray array;     // one dimension, no elements, bound -1
  CORVobject wrapped;  // counted
  CORVclass *cls;
};

CastWrapper *AsWrapper(CORVobject obj) {
  return reinterpret_cast<CastWrapper *>(obj);
}

void WrapperFinalizer(CORVobject self) {
  CORVobject wrapped = AsWrapper(self)->wrapped;
  AsWrapper(self)->wrapped = nullptr;
  RuntimeUnlockObject(wrapped);
}

const CORVclassDecl kArrayCastWrapperDecl = corv::ClassDecl("ArrayCastWrapper", sizeof(CastWrapper))
                                                .Super(&kArrayDecl)
                                                .Finalizer(WrapperFinalizer);

// Calls slot `S` of the wrapped array with the same arguments.
template <int S, class R, class... A>
R Forward(CORVobject obj, A... args) {
  if (!obj) {
    RaiseNilObjectException();
    return R();
  }
  CORVobject wrapped = AsWrapper(obj)->wrapped;
  return reinterpret_cast<R (*)(CORVobject, A...)>(AsArray(wrapped)->ops[S])(wrapped, args...);
}

// True when `value` may pass through the view; raises IllegalCastException
// otherwise. Nil always passes.
bool Admits(CORVobject obj, CORVobject value) {
  if (!value || RuntimeObjectIsa(value, AsWrapper(obj)->cls)) return true;
  CORVRaiseNew(CORVBindDeclaration(&kIllegalCastExceptionDecl));
  return false;
}

template <int S>
CORVobject CheckedGet(CORVobject obj, int32_t i) {
  CORVobject value = Forward<S, CORVobject>(obj, i);
  if (value && !RuntimeObjectIsa(value, AsWrapper(obj)->cls)) {
    RuntimeUnlockObject(value);
    CORVRaiseNew(CORVBindDeclaration(&kIllegalCastExceptionDecl));
    return nullptr;
  }
  return value;
}

template <int S>
void CheckedStore(CORVobject obj, int32_t i, CORVobject value) {
  if (!obj) {
    RaiseNilObjectException();
    return;
  }
  if (Admits(obj, value)) Forward<S, void>(obj, i, value);
}

void LockElement(CORVobject value) {
  RuntimeLockObject(value);
}
void UnlockElement(CORVobject value) {
  RuntimeUnlockObject(value);
}

template <class F>
CORVarrayOperation Slot(F function) {
  return reinterpret_cast<CORVarrayOperation>(function);
}

const CORVarrayOperation *WrapperTable() {
  static const CORVarrayOperation kTable[kCORVArraySlotCount] = {
      Slot(&CheckedGet<kCORVArrayGet>),
      Slot(&CheckedStore<kCORVArraySet>),
      Slot(&CheckedGet<kCORVArrayGetUnchecked>),
      Slot(&CheckedStore<kCORVArraySetUnchecked>),
      Slot(&Forward<kCORVArrayRedim, void, int32_t>),
      Slot(&CheckedStore<kCORVArrayInsert>),
      Slot(&Forward<kCORVArrayRemove, void, int32_t>),
      Slot(&Forward<kCORVArraySort, void>),
      Slot(&Forward<kCORVArraySortWith, void, CORVarrayCompare, void *>),
      Slot(&Forward<kCORVArrayIndexOf, int32_t, CORVobject, int32_t>),
      Slot(&Forward<kCORVArrayForEach, void, CORVarrayVisit, void *>),
      Slot(&Forward<kCORVArrayUBound, int32_t, int32_t>),
      Slot(&LockElement),
      Slot(&UnlockElement),
      Slot(&Forward<kCORVArrayReleaseAll, void>),
      Slot(&Forward<kCORVArrayElementSize, int32_t>),
      Slot(&Forward<kCORVArrayElementKind, int32_t>)};
  return kTable;
}

}  // namespace

bool IsCastWrapper(const CORVarray *a) {
  return a->ops == WrapperTable();
}

}  // namespace corv::array

extern "C" CORVobject RuntimeCreateArrayCastWrapper(CORVobject array, CORVclass *cls) {
  using namespace corv::array;
  if (!array) return nullptr;
  CORVarray *a = AsArray(array);
  if (!cls || IsCastWrapper(a)) {
    RuntimeLockObject(array);
    return array;
  }
  int32_t kind = reinterpret_cast<int32_t (*)(CORVobject)>(a->ops[kCORVArrayElementKind])(array);
  if (kind != kCORVArrayObject || a->dimensionCount != 1) {
    CORV_REPORT("kind == kCORVArrayObject && array->dimensionCount == 1",
                "only one-dimensional object arrays can be cast");
    RuntimeLockObject(array);
    return array;
  }
  CORVobject obj = CORVInstantiateDeclaration(&kArrayCastWrapperDecl);
  CastWrapper *w = AsWrapper(obj);
  w->array.ops = WrapperTable();
  w->array.dimensionCount = 1;
  w->array.growthIncrement = kInitialGrowth;
  w->array.upperBounds[0] = -1;
  RuntimeLockObject(array);
  w->wrapped = array;
  w->cls = cls;
  return obj;
}
