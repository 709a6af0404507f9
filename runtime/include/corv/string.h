// corv::String, an owning handle over CORVstring, and the language's string
// functions under their language names. They add no behaviour: each one is
// the runtime entry point of the same meaning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "corv/array.h"
#include "corv_event_loop.h"
#include "corv_string.h"

namespace corv {

/// Whether RuntimeStringCompare would call the two strings equal, decided
/// without it when both are ASCII.
bool StringsEqual(CORVstring a, CORVstring b);

/// An owning handle over a string record; the empty string is null.
class String {
 public:
  String() = default;
  String(std::nullptr_t) {}
  /// UTF-8 text (the encoding of the tool's own literals).
  String(const char *text) : String(std::string_view(text ? text : "")) {}
  String(std::string_view text, uint32_t encoding = kEncodingUTF8)
      : s_(RuntimeCreateString(text.data(), static_cast<int32_t>(text.size()), encoding)) {}
  String(const String &other) : s_(RuntimeLockString(other.s_)) {}
  String(String &&other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
  ~String() { RuntimeUnlockString(s_); }

  String &operator=(const String &other) {
    s_ = RuntimeLockUnlockStrings(other.s_, s_);
    return *this;
  }
  String &operator=(String &&other) noexcept {
    String moved(std::move(other));
    std::swap(s_, moved.s_);
    return *this;
  }

  /// Takes over the one reference that `s` carries (a returned string).
  static String Adopt(CORVstring s) {
    String str;
    str.s_ = s;
    return str;
  }
  /// Takes a new reference on a borrowed string.
  static String Share(CORVstring s) { return Adopt(RuntimeLockString(s)); }

  CORVstring get() const { return s_; }
  /// Gives the reference up to the caller (to return it across C linkage).
  CORVstring Leak() { return std::exchange(s_, nullptr); }

  bool empty() const { return s_ == nullptr; }
  uint32_t size() const { return CORVStringLength(s_); }
  uint32_t encoding() const { return CORVStringEncoding(s_); }
  const char *data() const { return CORVStringBytes(s_); }
  std::string_view view() const { return {data(), size()}; }

  String operator+(const String &other) const { return Adopt(RuntimeAddString(s_, other.s_)); }
  String &operator+=(const String &other) { return *this = *this + other; }
  /// The language's comparison: case ignored.
  friend bool operator==(const String &a, const String &b) { return StringsEqual(a.s_, b.s_); }
  friend bool operator<(const String &a, const String &b) {
    return RuntimeStringCompare(a.s_, b.s_) < 0;
  }
  friend bool operator>(const String &a, const String &b) { return b < a; }
  friend bool operator<=(const String &a, const String &b) { return !(b < a); }
  friend bool operator>=(const String &a, const String &b) { return !(a < b); }

 private:
  CORVstring s_ = nullptr;
};

/// The language's assignment to a String field of a record: the new value
/// gains a reference, the old one loses its own.
inline void Assign(CORVstring *field, const String &value) {
  *field = RuntimeLockUnlockStrings(value.get(), *field);
}

/// Exact byte identity (encoding included), for code that needs it.
inline bool SameBytes(const String &a, const String &b) {
  return a.encoding() == b.encoding() && a.view() == b.view();
}

inline namespace literals {
/// "text"_s is a UTF-8 String.
inline String operator""_s(const char *text, size_t length) {
  return String(std::string_view(text, length));
}
}  // namespace literals

inline String Left(const String &s, int32_t n) {
  return String::Adopt(StringDBCSLeft(s.get(), n));
}
inline String LeftB(const String &s, int32_t n) {
  return String::Adopt(StringLeft(s.get(), n));
}
inline String Right(const String &s, int32_t n) {
  return String::Adopt(StringDBCSRight(s.get(), n));
}
inline String RightB(const String &s, int32_t n) {
  return String::Adopt(StringRight(s.get(), n));
}
inline String Mid(const String &s, int32_t start) {
  return String::Adopt(StringDBCSMid2(s.get(), start));
}
inline String Mid(const String &s, int32_t start, int32_t length) {
  return String::Adopt(StringDBCSMid3(s.get(), start, length));
}
inline String MidB(const String &s, int32_t start) {
  return String::Adopt(StringMid2(s.get(), start));
}
inline String MidB(const String &s, int32_t start, int32_t length) {
  return String::Adopt(StringMid3(s.get(), start, length));
}
inline int32_t Len(const String &s) {
  return StringDBCSLen(s.get());
}
inline int32_t LenB(const String &s) {
  return StringLen(s.get());
}
inline String Chr(int32_t code) {
  return String::Adopt(StringDBCSChr(code));
}

inline int32_t InStr(int32_t start, const String &source, const String &find) {
  return StringInStr(start, source.get(), find.get());
}
inline int32_t InStr(const String &source, const String &find) {
  return InStr(1, source, find);
}
inline int32_t InStrB(int32_t start, const String &source, const String &find) {
  return StringInStrB(start, source.get(), find.get());
}
inline int32_t InStrB(const String &source, const String &find) {
  return InStrB(1, source, find);
}
inline String Replace(const String &source, const String &find, const String &replacement) {
  return String::Adopt(StringReplace(source.get(), find.get(), replacement.get()));
}
inline String ReplaceAll(const String &source, const String &find, const String &replacement) {
  return String::Adopt(StringReplaceAll(source.get(), find.get(), replacement.get()));
}
inline String ReplaceLineEndings(const String &source, const String &ending) {
  return String::Adopt(RuntimeReplaceLineEndings(source.get(), ending.get()));
}

inline int32_t CountFields(const String &source, const String &delimiter) {
  return StringCountFields(source.get(), delimiter.get());
}
inline String NthField(const String &source, const String &delimiter, int32_t n) {
  return String::Adopt(StringNthField(source.get(), delimiter.get(), n));
}
/// Strings cross the array's operation table as borrowed CORVstring
/// values; a read element comes with the reference the getter hands out.
template <>
struct ArrayElement<String> {
  using Slot = CORVstring;
  using Value = String;
  static Slot Borrow(const Value &v) { return v.get(); }
  static Value Take(Slot v) { return String::Adopt(v); }
};
template <>
inline constexpr int32_t kArrayKind<String> = kCORVArrayString;
using StringArray = Array<String>;

inline StringArray Split(const String &source, const String &delimiter) {
  return StringArray::Adopt(StringSplit(source.get(), delimiter.get()));
}
inline String Join(const StringArray &array, const String &delimiter) {
  return String::Adopt(StringJoin(array.object(), delimiter.get()));
}
inline String Trim(const String &s) {
  return String::Adopt(runTrim(s.get()));
}
inline String LTrim(const String &s) {
  return String::Adopt(runLTrim(s.get()));
}
inline String RTrim(const String &s) {
  return String::Adopt(runRTrim(s.get()));
}

inline String Str(int32_t value) {
  return String::Adopt(StringStrInt32(value));
}
inline double Val(const String &s) {
  return StringVal(s.get());
}
/// The language's conversion of a Double to an Integer: truncated toward
/// zero; NaN and values out of range give -2147483648.
inline int32_t ToInteger(double value) {
  return RuntimeDoubleToInteger(value);
}
inline String Hex(int32_t value) {
  return String::Adopt(RuntimeHex(value));
}
inline String Oct(int32_t value) {
  return String::Adopt(RuntimeOct(value));
}
inline uint32_t Ticks() {
  return RuntimeTicks();
}
/// The ticks passed since `start` (a value of Ticks), across the counter's wrap.
inline uint32_t TicksSince(uint32_t start) {
  return CORVElapsedTicks(start, RuntimeTicks());
}

/// DefineEncoding and ConvertEncoding by code.
inline String DefineEncoding(const String &s, uint32_t encoding) {
  return String::Adopt(RuntimeDefineEncoding(s.get(), encoding));
}
inline String ConvertEncoding(const String &s, uint32_t encoding) {
  return String::Adopt(RuntimeConvertString(s.get(), encoding));
}

}  // namespace corv
