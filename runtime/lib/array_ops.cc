// The element operations of every kind and shape, and their tables.
//
// Counted elements (strings, objects) follow one rule: the array changes its
// own state first and releases the values it gave up last, so a destructor
// run by a release always finds the array consistent.
#include <cstdlib>

#include "corv.h"
#include "lib/array_element.h"
#include "lib/array_internal.h"
#include "lib/array_sort.h"

namespace corv::array {
namespace {

template <class F>
CORVarrayOperation Slot(F function) {
  return reinterpret_cast<CORVarrayOperation>(function);
}

bool Usable(CORVobject obj) {
  if (obj) return true;
  RaiseNilObjectException();
  return false;
}

bool OneDimensional(CORVobject obj, const char *operation) {
  if (!Usable(obj)) return false;
  if (AsArray(obj)->dimensionCount == 1) return true;
  ReportNotOneDimension(operation);
  return false;
}

// Slot 11, shared by every table.
int32_t UBoundOf(CORVobject obj, int32_t dimension) {
  if (!Usable(obj)) return -1;
  CORVarray *a = AsArray(obj);
  if (dimension == -1) return a->dimensionCount;
  if (dimension < 1 || dimension > a->dimensionCount) {
    RaiseOutOfBoundsException();
    return -1;
  }
  return a->upperBounds[dimension - 1];
}

// Operations that do not depend on the shape.
template <class E>
struct Common {
  using T = typename E::Type;

  static void LockElement(T v) { E::Lock(v); }
  static void UnlockElement(T v) { E::Unlock(v); }

  static void ForEach(CORVobject obj, CORVarrayVisit visit, void *context) {
    if (!Usable(obj)) return;
    if (!visit) {
      RaiseNilObjectException();
      return;
    }
    CORVarray *a = AsArray(obj);
    // Re-read on every step: the visitor may resize the array.
    for (int64_t i = 0; i < ElementCount(a); ++i) visit(static_cast<T *>(a->buffer) + i, context);
  }

  static void ReleaseAll(CORVobject obj) {
    if (!Usable(obj)) return;
    int64_t count = 0;
    T *old = static_cast<T *>(DetachAll(AsArray(obj), &count));
    for (int64_t i = 0; i < count; ++i) E::Unlock(old[i]);
    std::free(old);
  }

  static int32_t ElementSize(CORVobject) { return static_cast<int32_t>(sizeof(T)); }
  static int32_t ElementKind(CORVobject) { return E::kKind; }
};

template <class E>
struct OneDim {
  using T = typename E::Type;
  static T *Elements(CORVarray *a) { return static_cast<T *>(a->buffer); }

  static T Get(CORVobject obj, int32_t i) {
    if (!Usable(obj)) return T{};
    CORVarray *a = AsArray(obj);
    if (i < 0 || i > a->upperBounds[0]) {
      RaiseOutOfBoundsException();
      return T{};
    }
    T v = Elements(a)[i];
    E::Lock(v);
    return v;
  }
  static void Set(CORVobject obj, int32_t i, T v) {
    if (!Usable(obj)) return;
    CORVarray *a = AsArray(obj);
    if (i < 0 || i > a->upperBounds[0]) {
      RaiseOutOfBoundsException();
      return;
    }
    SetUnchecked(obj, i, v);
  }
  static T GetUnchecked(CORVobject obj, int32_t i) {
    T v = Elements(AsArray(obj))[i];
    E::Lock(v);
    return v;
  }
  static void SetUnchecked(CORVobject obj, int32_t i, T v) {
    T *slot = Elements(AsArray(obj)) + i;
    E::Lock(v);
    T old = *slot;
    *slot = v;
    E::Unlock(old);
  }

  static void Redim(CORVobject obj, int32_t newUpperBound) {
    if (!OneDimensional(obj, "Redim")) return;
    CORVarray *a = AsArray(obj);
    int32_t oldUpperBound = a->upperBounds[0];
    if (newUpperBound == oldUpperBound) return;
    if (newUpperBound < -1) {
      RaiseOutOfBoundsException();
      return;
    }
    void *old = nullptr;
    if (!ResizeExactly(a, newUpperBound, sizeof(T), &old)) return;
    for (int32_t i = newUpperBound + 1; i <= oldUpperBound; ++i)
      E::Unlock(static_cast<T *>(old)[i]);
    std::free(old);
  }

  static void Insert(CORVobject obj, int32_t i, T v) {
    if (!OneDimensional(obj, "Insert")) return;
    CORVarray *a = AsArray(obj);
    if (i < 0 || i > a->upperBounds[0] + 1) {
      RaiseOutOfBoundsException();
      return;
    }
    if (!OpenGap(a, i, sizeof(T))) return;
    Elements(a)[i] = v;
    a->upperBounds[0] += 1;
    E::Lock(v);
  }

  static void Remove(CORVobject obj, int32_t i) {
    if (!OneDimensional(obj, "Remove")) return;
    CORVarray *a = AsArray(obj);
    if (i < 0 || i > a->upperBounds[0]) {
      RaiseOutOfBoundsException();
      return;
    }
    T old = Elements(a)[i];
    CloseGap(a, i, sizeof(T));
    E::Unlock(old);
  }

  static void Sort(CORVobject obj) {
    if (!OneDimensional(obj, "Sort")) return;
    if (!E::kSortable) {
      CORV_REPORT("elementKind != kCORVArrayObject", "object arrays have no order to sort by");
      return;
    }
    CORVarray *a = AsArray(obj);
    QuickSort(Elements(a), a->upperBounds[0] + 1, [](T x, T y) { return E::Less(x, y); });
  }
  static void SortWith(CORVobject obj, CORVarrayCompare compare, void *context) {
    if (!OneDimensional(obj, "SortWith")) return;
    if (!compare) {
      RaiseNilObjectException();
      return;
    }
    CORVarray *a = AsArray(obj);
    QuickSort(Elements(a), a->upperBounds[0] + 1,
              [compare, context](const T &x, const T &y) { return compare(&x, &y, context) < 0; });
  }

  // A start of -1 (what the one-argument form passes) searches from 0.
  static int32_t IndexOf(CORVobject obj, T v, int32_t start) {
    if (!OneDimensional(obj, "IndexOf")) return -1;
    CORVarray *a = AsArray(obj);
    int32_t upperBound = a->upperBounds[0];
    if (start > upperBound || start < -1) {
      RaiseOutOfBoundsException();
      return -1;
    }
    const T *e = Elements(a);
    for (int32_t i = start < 0 ? 0 : start; i <= upperBound; ++i)
      if (E::Equal(e[i], v)) return i;
    return -1;
  }
};

// Elements of an array of two or more dimensions lie row after row: the
// last index varies fastest. Each index is checked against its own bound.
template <class E>
struct ManyDim {
  using T = typename E::Type;

  static T *Locate(CORVobject obj, const int32_t *indexes, bool checked) {
    if (checked && !Usable(obj)) return nullptr;
    if (!indexes) {
      RaiseNilObjectException();
      return nullptr;
    }
    CORVarray *a = AsArray(obj);
    int64_t offset = 0;
    for (int32_t d = 0; d < a->dimensionCount; ++d) {
      if (checked && (indexes[d] < 0 || indexes[d] > a->upperBounds[d])) {
        RaiseOutOfBoundsException();
        return nullptr;
      }
      offset = offset * (static_cast<int64_t>(a->upperBounds[d]) + 1) + indexes[d];
    }
    return static_cast<T *>(a->buffer) + offset;
  }
  static T Read(T *slot) {
    if (!slot) return T{};
    E::Lock(*slot);
    return *slot;
  }
  static void Write(T *slot, T v) {
    if (!slot) return;
    E::Lock(v);
    T old = *slot;
    *slot = v;
    E::Unlock(old);
  }

  static T Get(CORVobject obj, const int32_t *ix) { return Read(Locate(obj, ix, true)); }
  static void Set(CORVobject obj, const int32_t *ix, T v) { Write(Locate(obj, ix, true), v); }
  static T GetUnchecked(CORVobject obj, const int32_t *ix) { return Read(Locate(obj, ix, false)); }
  static void SetUnchecked(CORVobject obj, const int32_t *ix, T v) {
    Write(Locate(obj, ix, false), v);
  }

  static T Get2(CORVobject obj, int32_t i, int32_t j) {
    const int32_t ix[2] = {i, j};
    return Get(obj, ix);
  }
  static void Set2(CORVobject obj, int32_t i, int32_t j, T v) {
    const int32_t ix[2] = {i, j};
    Set(obj, ix, v);
  }
  static T GetUnchecked2(CORVobject obj, int32_t i, int32_t j) {
    const int32_t ix[2] = {i, j};
    return GetUnchecked(obj, ix);
  }
  static void SetUnchecked2(CORVobject obj, int32_t i, int32_t j, T v) {
    const int32_t ix[2] = {i, j};
    SetUnchecked(obj, ix, v);
  }
};

// One table per kind and shape. Slots 4 to 9 are the one-dimensional
// operations in every shape: they refuse arrays of more dimensions.
template <class E>
const CORVarrayOperation *Table(Shape shape) {
  using One = OneDim<E>;
  using Many = ManyDim<E>;
  using C = Common<E>;
#define CORV_ARRAY_SLOTS_FROM_4                                                                    \
  Slot(&One::Redim), Slot(&One::Insert), Slot(&One::Remove), Slot(&One::Sort),                     \
      Slot(&One::SortWith), Slot(&One::IndexOf), Slot(&C::ForEach), Slot(&UBoundOf),               \
      Slot(&C::LockElement), Slot(&C::UnlockElement), Slot(&C::ReleaseAll), Slot(&C::ElementSize), \
      Slot(&C::ElementKind)
  static const CORVarrayOperation kOne[kCORVArraySlotCount] = {
      Slot(&One::Get), Slot(&One::Set), Slot(&One::GetUnchecked), Slot(&One::SetUnchecked),
      CORV_ARRAY_SLOTS_FROM_4};
  static const CORVarrayOperation kTwo[kCORVArraySlotCount] = {
      Slot(&Many::Get2), Slot(&Many::Set2), Slot(&Many::GetUnchecked2), Slot(&Many::SetUnchecked2),
      CORV_ARRAY_SLOTS_FROM_4};
  static const CORVarrayOperation kMore[kCORVArraySlotCount] = {
      Slot(&Many::Get), Slot(&Many::Set), Slot(&Many::GetUnchecked), Slot(&Many::SetUnchecked),
      CORV_ARRAY_SLOTS_FROM_4};
#undef CORV_ARRAY_SLOTS_FROM_4
  return shape == kOneDimension ? kOne : shape == kTwoDimensions ? kTwo : kMore;
}

}  // namespace

const CORVarrayOperation *OperationsFor(int32_t kind, Shape shape) {
  switch (kind) {
    case kCORVArrayInt32:
      return Table<NumberElement<int32_t, kCORVArrayInt32>>(shape);
    case kCORVArraySingle:
      return Table<NumberElement<float, kCORVArraySingle>>(shape);
    case kCORVArrayInt64:
      return Table<NumberElement<int64_t, kCORVArrayInt64>>(shape);
    case kCORVArrayString:
      return Table<StringElement>(shape);
    case kCORVArrayObject:
      return Table<ObjectElement>(shape);
    case kCORVArrayBoolean:
      return Table<NumberElement<bool, kCORVArrayBoolean>>(shape);
    case kCORVArrayInt8:
      return Table<NumberElement<int8_t, kCORVArrayInt8>>(shape);
    case kCORVArrayInt16:
      return Table<NumberElement<int16_t, kCORVArrayInt16>>(shape);
    case kCORVArrayUInt16:
      return Table<NumberElement<uint16_t, kCORVArrayUInt16>>(shape);
    case kCORVArrayColor:
      return Table<NumberElement<uint32_t, kCORVArrayColor>>(shape);
    case kCORVArrayDouble:
      return Table<NumberElement<double, kCORVArrayDouble>>(shape);
    case kCORVArrayUInt64:
      return Table<NumberElement<uint64_t, kCORVArrayUInt64>>(shape);
    case kCORVArrayUInt32:
      return Table<NumberElement<uint32_t, kCORVArrayUInt32>>(shape);
    case kCORVArrayEnum:
      return Table<NumberElement<int32_t, kCORVArrayEnum>>(shape);
    case kCORVArrayCurrency:
      return Table<NumberElement<int64_t, kCORVArrayCurrency>>(shape);
    case kCORVArrayUInt8:
      return Table<NumberElement<uint8_t, kCORVArrayUInt8>>(shape);
    default:
      return nullptr;
  }
}

int32_t ElementSize(int32_t kind) {
  const CORVarrayOperation *ops = OperationsFor(kind, kOneDimension);
  if (!ops) return 0;
  return reinterpret_cast<int32_t (*)(CORVobject)>(ops[kCORVArrayElementSize])(nullptr);
}

}  // namespace corv::array
