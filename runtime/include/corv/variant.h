// Variant: an owning handle over a CORVvariant, made implicitly from the
// values the application stores in dictionaries.
#pragma once

#include <cstdint>
#include <utility>

#include "corv/ref.h"
#include "corv/string.h"
#include "corv_string.h"
#include "corv_variant.h"

namespace corv {

class Variant {
 public:
  Variant() = default;
  Variant(std::nullptr_t) {}
  Variant(bool value) : v_(CORVVariantFromBoolean(value)) {}
  Variant(int32_t value) : v_(CORVVariantFromInt32(value)) {}
  Variant(int64_t value) : v_(CORVVariantFromInt64(value)) {}
  Variant(float value) : v_(CORVVariantFromSingle(value)) {}
  Variant(double value) : v_(CORVVariantFromDouble(value)) {}
  /// UTF-8 text.
  Variant(const char *text) : Variant(String(text)) {}
  /// Shares a string (borrowed).
  explicit Variant(CORVstring s) : v_(CORVVariantFromString(s)) {}
  Variant(const String &s) : v_(CORVVariantFromString(s.get())) {}
  template <class T>
  Variant(const Ref<T> &object) : v_(CORVVariantFromObject(object.object())) {}
  Variant(const Variant &other) : v_(CORVVariantCopy(&other.v_)) {}
  Variant(Variant &&other) noexcept : v_(std::exchange(other.v_, CORVvariant{})) {}
  ~Variant() { CORVVariantClear(&v_); }

  Variant &operator=(Variant other) noexcept {
    std::swap(v_, other.v_);
    return *this;
  }

  /// Takes over the reference a variant returned by an entry point holds.
  static Variant Adopt(CORVvariant v) {
    Variant result;
    result.v_ = v;
    return result;
  }
  /// The variant an element of a variant array (Dictionary.Keys/Values)
  /// stands for.
  static Variant FromObjectForm(CORVobject element) {
    return Adopt(CORVVariantFromObjectForm(element));
  }
  /// A currency value from its count of ten-thousandths.
  static Variant Currency(int64_t scaled) { return Adopt(CORVVariantFromCurrency(scaled)); }

  const CORVvariant *get() const { return &v_; }
  CORVvariantType Type() const { return static_cast<CORVvariantType>(v_.type); }
  bool IsNil() const { return CORVVariantCompare(&v_, nullptr) == 0; }

  /// The value as a string: numbers in decimal, Booleans "True"/"False",
  /// dates as SQL date-time text; another object raises TypeMismatchException.
  String StringValue() const { return String::Adopt(CORVVariantStringValue(&v_)); }
  double DoubleValue() const { return CORVVariantDoubleValue(&v_); }
  int64_t Int64Value() const { return CORVVariantInt64Value(&v_); }
  bool BooleanValue() const { return CORVVariantBooleanValue(&v_); }
  /// The object held (a Date too), borrowed; null for any other value.
  CORVobject ObjectValue() const {
    return (v_.type == kVariantObject || v_.type == kVariantDate) ? v_.value.object : nullptr;
  }

  /// Key equality: strings without case, numbers by value, objects by identity.
  bool operator==(const Variant &other) const { return CORVVariantCompare(&v_, &other.v_) == 0; }
  uint32_t Hash() const { return CORVVariantHash(&v_); }

 private:
  CORVvariant v_ = {};
};

}  // namespace corv
