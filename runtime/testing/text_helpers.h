// Test helpers for strings handed across the C interface.
#pragma once

#include <string>
#include <string_view>

#include "corv.h"
#include "corv/string.h"

namespace corv::testing {

/// A UTF-8 string argument that lives for the scope of the holder and
/// passes as the CORVstring it holds.
class Arg {
 public:
  Arg(std::string_view text) : s_(text) {}
  operator CORVstring() const { return s_.get(); }

 private:
  String s_;
};

/// The bytes of a returned string, whose reference is given up.
inline std::string Take(CORVstring s) {
  return std::string(String::Adopt(s).view());
}

}  // namespace corv::testing
