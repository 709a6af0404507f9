// Arrays as the application sees them: Array<E>, a Ref<ArrayOf<E>> with
// typed calls of the array's operation table. They add no behaviour: each call is the slot
// that compiled code would call (Append is UBound, then Insert at UBound + 1).
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "corv/ref.h"
#include "corv_array.h"

namespace corv {

/// How the elements of an array of E cross the wrapper: `Slot` is the C type
/// of the operation table, `Value` what the application holds.
template <class E>
struct ArrayElement {
  using Slot = E;
  using Value = E;
  static Slot Borrow(const Value &v) { return v; }
  static Value Take(Slot v) { return v; }
};

/// Objects of a native class T (a struct that begins with the object header).
template <class T>
struct ArrayElement<T *> {
  using Slot = CORVobject;
  using Value = Ref<T>;
  static Slot Borrow(const Value &v) { return v.object(); }
  static Value Take(Slot v) { return Value::Adopt(reinterpret_cast<T *>(v)); }
};

template <class E>
constexpr int32_t kArrayKind = -1;  // no array of that type
template <>
inline constexpr int32_t kArrayKind<int32_t> = kCORVArrayInt32;
template <>
inline constexpr int32_t kArrayKind<int64_t> = kCORVArrayInt64;
template <>
inline constexpr int32_t kArrayKind<double> = kCORVArrayDouble;
template <>
inline constexpr int32_t kArrayKind<bool> = kCORVArrayBoolean;
template <>
inline constexpr int32_t kArrayKind<uint8_t> = kCORVArrayUInt8;
template <class T>
inline constexpr int32_t kArrayKind<T *> = kCORVArrayObject;

/// The array record seen as an array of E (it adds nothing to the record).
template <class E>
struct ArrayOf : CORVarray {};

/// A counted reference to an array of E with the language's operations. A
/// nil array raises NilObjectException, as in compiled code.
template <class E>
class Array : public Ref<ArrayOf<E>> {
  using Base = Ref<ArrayOf<E>>;
  using Element = ArrayElement<E>;
  using Slot = typename Element::Slot;

 public:
  using Value = typename Element::Value;

  Array() = default;
  Array(std::nullptr_t) {}
  Array(Base &&ref) : Base(std::move(ref)) {}
  /// Takes over the reference an entry point returned.
  static Array Adopt(CORVobject array) { return Array(Base::Adopt(array)); }
  /// Takes a new reference on a borrowed array.
  static Array Share(CORVobject array) { return Array(Base::Share(array)); }

  /// Ubound(a): -1 when empty.
  int32_t UBound() const { return RuntimeUBound(this->object()); }
  /// a(i), bounds-checked (OutOfBoundsException).
  Value operator()(int32_t i) const {
    return Element::Take(Call<Slot(CORVobject, int32_t)>(kCORVArrayGet, i));
  }
  /// a(i) = v, bounds-checked.
  void Set(int32_t i, const Value &v) const {
    Call<void(CORVobject, int32_t, Slot)>(kCORVArraySet, i, Element::Borrow(v));
  }
  void Append(const Value &v) const { Insert(UBound() + 1, v); }
  void Insert(int32_t i, const Value &v) const {
    Call<void(CORVobject, int32_t, Slot)>(kCORVArrayInsert, i, Element::Borrow(v));
  }
  void Remove(int32_t i) const { Call<void(CORVobject, int32_t)>(kCORVArrayRemove, i); }
  /// Redim a(n): n = -1 empties the array.
  void Redim(int32_t newUpperBound) const {
    Call<void(CORVobject, int32_t)>(kCORVArrayRedim, newUpperBound);
  }
  /// The first index from `start` on whose element equals v (strings ignore
  /// case), or -1. Without a start the whole array is searched, even an
  /// empty one.
  int32_t IndexOf(const Value &v, int32_t start = -1) const {
    return Call<int32_t(CORVobject, Slot, int32_t)>(kCORVArrayIndexOf, Element::Borrow(v), start);
  }
  /// Ascending; strings ignore case.
  void Sort() const { Call<void(CORVobject)>(kCORVArraySort); }

 private:
  template <class F, class... A>
  auto Call(int slot, A... args) const {
    CORVobject array = this->object();
    return reinterpret_cast<F *>(CORVArrayOps(array)[slot])(array, args...);
  }
};

using ObjectArray = Array<CORVobjectHeader *>;
using IntegerArray = Array<int32_t>;
using DoubleArray = Array<double>;

/// A new one-dimensional array of E with upper bound `upperBound` (-1: empty).
/// E is a number type, a native object type T * (kind object) or String.
template <class E>
Array<E> NewArray(int32_t upperBound = -1) {
  static_assert(kArrayKind<E> >= 0, "no array kind for this element type");
  return Array<E>::Adopt(CreateArray(1, kArrayKind<E>, upperBound));
}

}  // namespace corv
