// UTF-8 and the UTF-16 of the Win32 wide-character calls, both ways.
#pragma once

#include <string>
#include <string_view>

namespace corv::platform {

/// The UTF-16 form of UTF-8 text; malformed bytes become U+FFFD.
std::wstring Wide(std::string_view utf8);
/// The UTF-8 form of UTF-16 text; a lone surrogate becomes U+FFFD.
std::string Narrow(std::wstring_view utf16);

}  // namespace corv::platform
