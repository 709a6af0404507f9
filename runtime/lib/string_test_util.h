// Helpers for the string tests: strings of given bytes and encodings.
#pragma once

#include <string>
#include <string_view>

#include "corv/string.h"

namespace corv::testing {

/// A string of exactly these bytes, tagged with the code.
inline String Bytes(std::string_view bytes, uint32_t encoding) {
  return String(bytes, encoding);
}
/// UTF-16 (host order) text from a UTF-16 literal.
inline String Utf16(std::u16string_view text) {
  return String(std::string_view(reinterpret_cast<const char *>(text.data()), text.size() * 2),
                kEncodingUTF16);
}
/// The bytes of a string, for exact comparison.
inline std::string BytesOf(const String &s) {
  return std::string(s.view());
}
/// The Windows-code-page code of a page number.
constexpr uint32_t CodePage(uint32_t page) {
  return 0xFFFF0000u + page;
}

}  // namespace corv::testing
