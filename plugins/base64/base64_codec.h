// Standard Base64 (RFC 4648 alphabet, "=" padding) for the encoding plugins.
#pragma once

#include <string>

namespace plugin {

/// Encodes bytes; with lineWrap > 0 a "\n" follows every full line of
/// lineWrap characters except at the very end.
std::string EncodeBase64(const std::string &bytes, int lineWrap);
/// Decodes text, ignoring line breaks, white space and anything outside the
/// alphabet; decoding stops at the first "=".
std::string DecodeBase64(const std::string &text);

}  // namespace plugin
