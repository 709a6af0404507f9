// What each element kind does with its values: the C type it stores, how a
// value is counted, ordered and compared for IndexOf.
#pragma once

#include <cstdint>

#include "corv_array.h"
#include "corv_string.h"

namespace corv::array {

/// Numbers and Booleans: stored as they are, ordered by value, never counted.
template <class T, int32_t Kind>
struct NumberElement {
  using Type = T;
  static constexpr int32_t kKind = Kind;
  static constexpr bool kSortable = true;
  static void Lock(T) {}
  static void Unlock(T) {}
  static bool Less(T x, T y) { return x < y; }
  static bool Equal(T x, T y) { return x == y; }
};

/// Strings: each stored string holds one reference; order and equality
/// ignore case, as the language's string operators do.
struct StringElement {
  using Type = CORVstring;
  static constexpr int32_t kKind = kCORVArrayString;
  static constexpr bool kSortable = true;
  static void Lock(CORVstring s) { RuntimeLockString(s); }
  static void Unlock(CORVstring s) { RuntimeUnlockString(s); }
  static bool Less(CORVstring x, CORVstring y) { return RuntimeStringCompare(x, y) < 0; }
  static bool Equal(CORVstring x, CORVstring y) { return RuntimeStringCompare(x, y) == 0; }
};

/// Objects: each stored object holds one reference; equal means the same
/// object. Object arrays have no order of their own (Sort is refused).
struct ObjectElement {
  using Type = CORVobject;
  static constexpr int32_t kKind = kCORVArrayObject;
  static constexpr bool kSortable = false;
  static void Lock(CORVobject obj) { RuntimeLockObject(obj); }
  static void Unlock(CORVobject obj) { RuntimeUnlockObject(obj); }
  static bool Less(CORVobject, CORVobject) { return false; }
  static bool Equal(CORVobject x, CORVobject y) { return x == y; }
};

}  // namespace corv::array
