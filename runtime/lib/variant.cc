// Variants: making, copying and releasing them, the key hash and comparison,
// and the conversions the application reads values with.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "corv.h"
#include "corv/class_decl.h"
#include "corv/exception.h"
#include "corv_date.h"
#include "corv_variant.h"
#include "lib/case_map.h"
#include "lib/date.h"
#include "lib/encoding.h"
#include "lib/variant.h"

namespace {

enum class Kind { kNil, kBoolean, kNumber, kString, kDate, kObject };

Kind KindOf(const CORVvariant &v) {
  switch (v.type) {
    case kVariantBoolean:
      return Kind::kBoolean;
    case kVariantInt32:
    case kVariantInt64:
    case kVariantSingle:
    case kVariantDouble:
    case kVariantCurrency:
      return Kind::kNumber;
    case kVariantString:
      return v.value.string ? Kind::kString : Kind::kNil;
    case kVariantDate:
      return v.value.object ? Kind::kDate : Kind::kNil;
    case kVariantObject:
      return v.value.object ? Kind::kObject : Kind::kNil;
    default:
      return Kind::kNil;
  }
}

// A number in the one form all numeric kinds compare and hash in: an exact
// integer when the value is whole and fits 64 bits, else a double.
struct Number {
  bool integral;
  int64_t integer;
  double real;
};

constexpr double kTwoTo63 = 9223372036854775808.0;

Number MakeNumber(double d) {
  if (d >= -kTwoTo63 && d < kTwoTo63 && d == std::trunc(d))
    return {true, static_cast<int64_t>(d), 0};
  return {false, 0, d};
}

Number ToNumber(const CORVvariant &v) {
  switch (v.type) {
    case kVariantInt32:
      return {true, v.value.int32, 0};
    case kVariantInt64:
      return {true, v.value.int64, 0};
    case kVariantSingle:
      return MakeNumber(v.value.single);
    case kVariantDouble:
      return MakeNumber(v.value.real);
    case kVariantCurrency:
      if (v.value.currency % 10000 == 0) return {true, v.value.currency / 10000, 0};
      return {false, 0, static_cast<double>(v.value.currency) / 10000.0};
    default:
      return {true, 0, 0};
  }
}

int Sign(bool less, bool greater) {
  return less ? -1 : (greater ? 1 : 0);
}

// Doubles ordered with NaN equal to itself and above everything else.
int CompareReals(double a, double b) {
  bool nanA = std::isnan(a), nanB = std::isnan(b);
  if (nanA || nanB) return Sign(!nanA, !nanB);
  return Sign(a<b, a> b);
}

// An integer against a double that is not a whole 64-bit value.
int CompareIntegerReal(int64_t i, double d) {
  if (std::isnan(d) || d >= kTwoTo63) return -1;
  if (d < -kTwoTo63) return 1;
  return i <= static_cast<int64_t>(std::floor(d)) ? -1 : 1;
}

int CompareNumbers(const Number &a, const Number &b) {
  if (a.integral && b.integral) return Sign(a.integer<b.integer, a.integer> b.integer);
  if (!a.integral && !b.integral) return CompareReals(a.real, b.real);
  if (a.integral) return CompareIntegerReal(a.integer, b.real);
  return -CompareIntegerReal(b.integer, a.real);
}

uint32_t Rotate16(uint32_t x) {
  return x << 16 | x >> 16;
}

uint32_t HashDoubleBits(double d) {
  if (d == 0) d = 0;  // -0 is the same key as 0
  if (std::isnan(d)) d = std::nan("");
  uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return Rotate16(static_cast<uint32_t>(bits)) ^ static_cast<uint32_t>(bits >> 32);
}

uint32_t HashNumber(const Number &n) {
  if (n.integral)
    return static_cast<uint32_t>(n.integer) ^
           static_cast<uint32_t>(static_cast<uint64_t>(n.integer) >> 32);
  return HashDoubleBits(n.real);
}

double DateSeconds(CORVobject date) {
  return static_cast<double>(corv::DateMilliseconds(date)) / 1000.0;
}

bool IsDate(CORVobject obj) {
  CORVclass *dateClass = CORVBindDeclaration(&kDateDecl);
  for (CORVclass *cls = obj ? obj->cls : nullptr; cls; cls = cls->base)
    if (cls == dateClass) return true;
  return false;
}

void RetainHeld(const CORVvariant &v) {
  if (v.type == kVariantString) RuntimeLockString(v.value.string);
  if (v.type == kVariantDate || v.type == kVariantObject) RuntimeLockObject(v.value.object);
}

[[noreturn]] void RaiseTypeMismatch() {
  corv::RaiseNew(&kTypeMismatchExceptionDecl);
}

CORVstring AsciiString(const char *text, size_t length) {
  return RuntimeCreateString(text, static_cast<int32_t>(length), kEncodingASCII);
}

template <class T>
CORVstring FormatNumber(T value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return AsciiString(buffer, static_cast<size_t>(result.ptr - buffer));
}

CORVstring FormatCurrency(int64_t scaled) {
  std::string text = scaled < 0 ? "-" : "";
  uint64_t magnitude =
      scaled < 0 ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  text += std::to_string(magnitude / 10000);
  if (uint64_t fraction = magnitude % 10000) {
    std::string digits = std::to_string(fraction + 10000).substr(1);
    while (digits.back() == '0') digits.pop_back();
    text += '.' + digits;
  }
  return AsciiString(text.data(), text.size());
}

bool IsTrueText(CORVstring s) {
  const char *p = CORVStringBytes(s);
  if (CORVStringLength(s) != 4) return false;
  const char *word = "true";
  for (int i = 0; i < 4; ++i)
    if ((p[i] | 0x20) != word[i]) return false;
  return true;
}

void VariantBoxFinalizer(CORVobject self) {
  CORVVariantClear(&reinterpret_cast<CORVvariantObject *>(self)->value);
}

}  // namespace

const CORVclassDecl kVariantDecl =
    corv::ClassDecl("Variant", sizeof(CORVvariantObject)).Finalizer(VariantBoxFinalizer);

extern "C" CORVobject CORVVariantToObject(const CORVvariant *variant) {
  if (!variant) return nullptr;
  switch (KindOf(*variant)) {
    case Kind::kNil:
      return nullptr;
    case Kind::kDate:
    case Kind::kObject:
      RuntimeLockObject(variant->value.object);
      return variant->value.object;
    default:
      break;
  }
  CORVobject box = CORVInstantiateDeclaration(&kVariantDecl);
  reinterpret_cast<CORVvariantObject *>(box)->value = CORVVariantCopy(variant);
  return box;
}

extern "C" CORVvariant CORVVariantFromObjectForm(CORVobject object) {
  if (object && CORVBindDeclaration(&kVariantDecl) == object->cls)
    return CORVVariantCopy(&reinterpret_cast<CORVvariantObject *>(object)->value);
  return CORVVariantFromObject(object);
}

namespace {

// The hash of the leading ASCII bytes of single-byte text, and in *end where
// they stop. Four bytes a step: the same sum as one byte a step, with only
// one multiplication on the chain from step to step.
uint32_t HashAsciiPrefix(const unsigned char *p, uint32_t length, uint32_t *end) {
  constexpr uint32_t k31 = 31, k31x2 = k31 * k31, k31x3 = k31x2 * k31, k31x4 = k31x3 * k31;
  uint32_t h = 0, i = 0;
  for (; i + 4 <= length; i += 4) {
    uint32_t a = p[i], b = p[i + 1], c = p[i + 2], d = p[i + 3];
    if ((a | b | c | d) >= 0x80) break;
    h = h * k31x4 + corv::AsciiUpper(a) * k31x3 + corv::AsciiUpper(b) * k31x2 +
        corv::AsciiUpper(c) * k31 + corv::AsciiUpper(d);
  }
  for (; i < length && p[i] < 0x80; ++i) h = h * k31 + corv::AsciiUpper(p[i]);
  *end = i;
  return h;
}

// The key hash fed one character at a time.
struct KeyHash {
  uint32_t h = 0;
  bool inForeignRun = false;
  void Feed(uint32_t c) {
    // The two letters outside ASCII that compare equal to ASCII letters.
    if (c == 0x212A) c = 'K';  // Kelvin sign
    if (c == 0x017F) c = 'S';  // long s
    if (c < 0x80) {
      h = h * 31 + corv::AsciiUpper(c);
      inForeignRun = false;
    } else if (!inForeignRun) {
      h = h * 31 + static_cast<uint32_t>(-128);  // 0x80 as a signed byte
      inForeignRun = true;
    }
  }
};

// A string read through a converter hashes as the text the comparison reads
// from it; false when the converter rejects its bytes (no text).
bool HashConvertedText(CORVstring s, KeyHash *hash) {
  std::u16string text;
  if (!corv::DecodeExactlyToUTF16(CORVStringEncoding(s), CORVStringBytes(s), CORVStringLength(s),
                                  &text))
    return false;
  for (char16_t unit : text) hash->Feed(unit);
  return true;
}

}  // namespace

uint32_t corv::HashStringKey(CORVstring s) {
  const auto *p = reinterpret_cast<const unsigned char *>(CORVStringBytes(s));
  uint32_t length = CORVStringLength(s);
  uint32_t encoding = CORVStringEncoding(s);
  KeyHash hash;
  bool utf8 = encoding == kEncodingUTF8 || encoding == kEncodingASCII;
  // Undeclared ASCII is the same text as in UTF-8, without a converter.
  if (encoding == kEncodingUnknown && corv::UndeclaredReadsAsciiAsItself()) {
    uint32_t end;
    uint32_t h = HashAsciiPrefix(p, length, &end);
    if (end == length) return h;
  }
  // Bytes that are no text fall through, to be hashed as they are.
  if (!utf8 && !corv::IsHostUTF16(encoding) && HashConvertedText(s, &hash)) return hash.h;
  UnitLayout units = UnitLayoutOf(encoding);
  if (units.size == 1) {
    uint32_t i = 0;
    hash.h = HashAsciiPrefix(p, length, &i);  // most keys are all ASCII
    while (i < length) {
      uint32_t lead = p[i];
      if (lead < 0x80 || !utf8) {
        hash.Feed(lead);
        ++i;
        continue;
      }
      // Characters are cut where the comparison cuts them: by the lead byte
      // alone, without validation.
      int extra = (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : 3;
      uint32_t c = lead & (extra == 1 ? 0x1F : extra == 2 ? 0x0F : 0x07);
      for (++i; extra > 0 && i < length; --extra, ++i) c = c << 6 | (p[i] & 0x3F);
      hash.Feed(c);  // an over-long or cut-off form counts as what it decodes to
    }
    return hash.h;
  }
  for (uint32_t i = 0; i + units.size <= length; i += units.size) hash.Feed(units.At(p + i));
  return hash.h;
}

bool corv::VariantEquals(const CORVvariant &a, const CORVvariant &b) {
  if (KindOf(a) == Kind::kString && KindOf(b) == Kind::kString) {
    return StringsEqual(a.value.string, b.value.string);
  }
  return CORVVariantCompare(&a, &b) == 0;
}

extern "C" CORVvariant CORVVariantFromBoolean(bool value) {
  CORVvariant v = {kVariantBoolean, 0, {}};
  v.value.boolean = value;
  return v;
}
extern "C" CORVvariant CORVVariantFromInt32(int32_t value) {
  CORVvariant v = {kVariantInt32, 0, {}};
  v.value.int32 = value;
  return v;
}
extern "C" CORVvariant CORVVariantFromInt64(int64_t value) {
  CORVvariant v = {kVariantInt64, 0, {}};
  v.value.int64 = value;
  return v;
}
extern "C" CORVvariant CORVVariantFromSingle(float value) {
  CORVvariant v = {kVariantSingle, 0, {}};
  v.value.single = value;
  return v;
}
extern "C" CORVvariant CORVVariantFromDouble(double value) {
  CORVvariant v = {kVariantDouble, 0, {}};
  v.value.real = value;
  return v;
}
extern "C" CORVvariant CORVVariantFromCurrency(int64_t scaledValue) {
  CORVvariant v = {kVariantCurrency, 0, {}};
  v.value.currency = scaledValue;
  return v;
}
extern "C" CORVvariant CORVVariantFromString(CORVstring value) {
  CORVvariant v = {kVariantString, 0, {}};
  v.value.string = RuntimeLockString(value);
  return v;
}
extern "C" CORVvariant CORVVariantFromObject(CORVobject value) {
  CORVvariant v = {value ? (IsDate(value) ? kVariantDate : kVariantObject) : kVariantNil, 0, {}};
  v.value.object = value;
  RuntimeLockObject(value);
  return v;
}

extern "C" CORVvariant CORVVariantCopy(const CORVvariant *source) {
  if (!source) return CORVvariant{};
  RetainHeld(*source);
  return *source;
}

extern "C" void CORVVariantClear(CORVvariant *variant) {
  if (!variant) return;
  CORVvariant old = *variant;
  *variant = CORVvariant{};
  // Released last: a destructor run by the release may look at the variant.
  if (old.type == kVariantString) RuntimeUnlockString(old.value.string);
  if (old.type == kVariantDate || old.type == kVariantObject) RuntimeUnlockObject(old.value.object);
}

extern "C" uint32_t CORVVariantHash(const CORVvariant *variant) {
  if (!variant) return 0;
  switch (KindOf(*variant)) {
    case Kind::kNil:
      return 0;
    case Kind::kBoolean:
      return variant->value.boolean ? 1 : 0;
    case Kind::kNumber:
      return HashNumber(ToNumber(*variant));
    case Kind::kString:
      return corv::HashStringKey(variant->value.string);
    case Kind::kDate:
      return HashDoubleBits(DateSeconds(variant->value.object));
    case Kind::kObject: {
      uint64_t p = reinterpret_cast<uintptr_t>(variant->value.object);
      return Rotate16(static_cast<uint32_t>(p) ^ static_cast<uint32_t>(p >> 32));
    }
  }
  return 0;
}

extern "C" int32_t CORVVariantCompare(const CORVvariant *a, const CORVvariant *b) {
  static const CORVvariant kNil = {};
  if (!a) a = &kNil;
  if (!b) b = &kNil;
  Kind ka = KindOf(*a), kb = KindOf(*b);
  if (ka != kb) return ka < kb ? -1 : 1;
  switch (ka) {
    case Kind::kNil:
      return 0;
    case Kind::kBoolean:
      return Sign(!a->value.boolean && b->value.boolean, a->value.boolean && !b->value.boolean);
    case Kind::kNumber:
      return CompareNumbers(ToNumber(*a), ToNumber(*b));
    case Kind::kString: {
      CORVstring sa = a->value.string, sb = b->value.string;
      // The same bytes in the same encoding are equal without asking.
      if (sa == sb || (sa->length == sb->length && sa->encoding == sb->encoding &&
                       std::memcmp(CORVStringBytes(sa), CORVStringBytes(sb), sa->length) == 0))
        return 0;
      return RuntimeStringCompare(sa, sb);
    }
    case Kind::kDate:
      return DateCompare(a->value.object, b->value.object);
    case Kind::kObject: {
      auto pa = reinterpret_cast<uintptr_t>(a->value.object);
      auto pb = reinterpret_cast<uintptr_t>(b->value.object);
      return Sign(pa<pb, pa> pb);
    }
  }
  return 0;
}

extern "C" CORVstring CORVVariantStringValue(const CORVvariant *variant) {
  if (!variant) return nullptr;
  const CORVvariant &v = *variant;
  switch (v.type) {
    case kVariantBoolean:
      return v.value.boolean ? AsciiString("True", 4) : AsciiString("False", 5);
    case kVariantInt32:
      return FormatNumber(v.value.int32);
    case kVariantInt64:
      return FormatNumber(v.value.int64);
    case kVariantSingle:
      return FormatNumber(v.value.single);
    case kVariantDouble:
      return FormatNumber(v.value.real);
    case kVariantCurrency:
      return FormatCurrency(v.value.currency);
    case kVariantString:
      return RuntimeLockString(v.value.string);
    case kVariantDate:
      return v.value.object ? dateSQLDateTimeGetter(v.value.object) : nullptr;
    case kVariantObject:
      if (v.value.object) RaiseTypeMismatch();
      return nullptr;
    default:
      return nullptr;
  }
}

extern "C" double CORVVariantDoubleValue(const CORVvariant *variant) {
  if (!variant) return 0;
  const CORVvariant &v = *variant;
  switch (v.type) {
    case kVariantBoolean:
      return v.value.boolean ? 1 : 0;
    case kVariantInt32:
      return v.value.int32;
    case kVariantInt64:
      return static_cast<double>(v.value.int64);
    case kVariantSingle:
      return v.value.single;
    case kVariantDouble:
      return v.value.real;
    case kVariantCurrency:
      return static_cast<double>(v.value.currency) / 10000.0;
    case kVariantString:
      return StringVal(v.value.string);
    case kVariantDate:
      return v.value.object ? DateSeconds(v.value.object) : 0;
    case kVariantObject:
      if (v.value.object) RaiseTypeMismatch();
      return 0;
    default:
      return 0;
  }
}

extern "C" int64_t CORVVariantInt64Value(const CORVvariant *variant) {
  if (!variant) return 0;
  if (variant->type == kVariantInt32) return variant->value.int32;
  if (variant->type == kVariantInt64) return variant->value.int64;
  if (variant->type == kVariantCurrency) return variant->value.currency / 10000;
  double d = CORVVariantDoubleValue(variant);
  if (std::isnan(d)) return 0;
  if (d >= kTwoTo63) return INT64_MAX;
  if (d < -kTwoTo63) return INT64_MIN;
  return static_cast<int64_t>(d);
}

extern "C" bool CORVVariantBooleanValue(const CORVvariant *variant) {
  if (!variant) return false;
  switch (KindOf(*variant)) {
    case Kind::kNil:
      return false;
    case Kind::kBoolean:
      return variant->value.boolean;
    case Kind::kNumber:
      return CORVVariantDoubleValue(variant) != 0;
    case Kind::kString:
      return IsTrueText(variant->value.string) || StringVal(variant->value.string) != 0;
    default:
      RaiseTypeMismatch();
  }
}
