// Test helpers for strings handed across the C interface.
#pragma once

#include <string>
#include <string_view>

#include "corv.h"

namespace corv::testing {

/// A UTF-8 string argument that lives for the scope of the holder.
class Arg {
 public:
  Arg(std::string_view text)
      : s_(RuntimeCreateString(text.data(), static_cast<int32_t>(text.size()), kEncodingUTF8)) {}
  ~Arg() { RuntimeUnlockString(s_); }
  Arg(const Arg &) = delete;
  Arg &operator=(const Arg &) = delete;
  operator CORVstring() const { return s_; }

 private:
  CORVstring s_;
};

/// The bytes of a returned string, whose reference is given up.
inline std::string Take(CORVstring s) {
  std::string text(CORVStringBytes(s), CORVStringLength(s));
  RuntimeUnlockString(s);
  return text;
}

}  // namespace corv::testing
