// Standard Base64 encoding and decoding.
#include "base64_codec.h"

#include <cstdint>

namespace plugin {
namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int DigitValue(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

std::string EncodeBase64(const std::string &bytes, int lineWrap) {
  std::string plain;
  plain.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    uint32_t v = uint32_t{static_cast<uint8_t>(bytes[i])} << 16 |
                 uint32_t{static_cast<uint8_t>(bytes[i + 1])} << 8 |
                 static_cast<uint8_t>(bytes[i + 2]);
    plain += kAlphabet[v >> 18];
    plain += kAlphabet[(v >> 12) & 63];
    plain += kAlphabet[(v >> 6) & 63];
    plain += kAlphabet[v & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = uint32_t{static_cast<uint8_t>(bytes[i])} << 16;
    if (i + 1 < bytes.size()) v |= uint32_t{static_cast<uint8_t>(bytes[i + 1])} << 8;
    plain += kAlphabet[v >> 18];
    plain += kAlphabet[(v >> 12) & 63];
    plain += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    plain += '=';
  }
  if (lineWrap <= 0 || plain.size() <= static_cast<size_t>(lineWrap)) return plain;
  std::string wrapped;
  for (size_t at = 0; at < plain.size(); at += static_cast<size_t>(lineWrap)) {
    if (at > 0) wrapped += '\n';
    wrapped.append(plain, at, static_cast<size_t>(lineWrap));
  }
  return wrapped;
}

std::string DecodeBase64(const std::string &text) {
  std::string out;
  uint32_t buffer = 0;
  int bits = 0;
  for (unsigned char c : text) {
    if (c == '=') break;
    int value = DigitValue(c);
    if (value < 0) continue;
    buffer = (buffer << 6) | static_cast<uint32_t>(value);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((buffer >> bits) & 0xFF);
    }
  }
  return out;
}

}  // namespace plugin
