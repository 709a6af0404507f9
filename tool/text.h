// Small helpers the tool uses over runtime strings: owning handles and
// console lines.
#pragma once

#include <string>
#include <utility>

#include "corv.h"

namespace kilnrun {

/// An owning handle over a runtime string (null is the empty string).
class String {
 public:
  String() = default;
  String(const char *text)
      : s_(RuntimeCreateString(text, static_cast<int32_t>(std::char_traits<char>::length(text)),
                               kEncodingUTF8)) {}
  explicit String(const std::string &text)
      : s_(RuntimeCreateString(text.data(), static_cast<int32_t>(text.size()), kEncodingUTF8)) {}
  String(const String &other) : s_(RuntimeLockString(other.s_)) {}
  String(String &&other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
  String &operator=(String other) {
    std::swap(s_, other.s_);
    return *this;
  }
  ~String() { RuntimeUnlockString(s_); }

  /// Takes over the reference a returned string carries.
  static String Adopt(CORVstring s) {
    String out;
    out.s_ = s;
    return out;
  }
  /// Takes a new reference on a borrowed string.
  static String Share(CORVstring s) { return Adopt(RuntimeLockString(s)); }

  CORVstring get() const { return s_; }
  std::string bytes() const { return std::string(CORVStringBytes(s_), CORVStringLength(s_)); }
  bool empty() const { return CORVStringLength(s_) == 0; }
  /// Equality ignoring case, as every comparison of the language.
  bool Is(const String &other) const { return RuntimeStringCompare(s_, other.s_) == 0; }

 private:
  CORVstring s_ = nullptr;
};

/// A line on standard output / standard error.
void PrintLine(const std::string &text);
void ErrorLine(const std::string &text);

}  // namespace kilnrun
