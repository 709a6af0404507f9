// Case mapping of the runtime: the fixed table of case-folding pairs, the
// two lookup maps built from it, and the UTF-8 decoding and encoding that
// every character-wise operation uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace corv {

/// One pair of the table: a character and its folded (lower-case) form.
struct CasePair {
  uint16_t character;
  uint16_t folded;
};
/// The table, sorted by character.
const CasePair *CaseTable(size_t *count);

/// The chain of the lookup maps that holds a character.
inline uint32_t CaseBucket(uint16_t ch) {
  return (ch & 3u) * 256u + (ch >> 8);
}
constexpr uint32_t kCaseBuckets = 1024;

/// Lower-case map: a character of the table to its folded character;
/// every other character (and all above U+FFFF) to itself.
uint32_t LowerCase(uint32_t ch);
/// Upper-case map: a character of the table (either column) to the
/// smallest character that folds as it does, so "s", "S" and the long s all
/// give "S". Every other character maps to itself.
uint32_t UpperCase(uint32_t ch);
/// Whether the character is a key of either map.
bool HasCaseMapping(uint32_t ch);
/// The number of keys in each map's chain (for tests of the layout).
size_t LowerChainLength(uint32_t bucket);
size_t UpperChainLength(uint32_t bucket);

/// ASCII upper case, as the upper-case map gives it for characters below
/// 0x80; every other character is left as it is.
constexpr uint32_t AsciiUpper(uint32_t c) {
  return (c >= 'a' && c <= 'z') ? c - 32 : c;
}
/// ASCII lower case: only 'A'-'Z' change. Names the runtime looks up (entry
/// points, classes, plugin members, libraries) ignore case this way, the
/// same in every locale.
constexpr uint32_t AsciiLower(uint32_t c) {
  return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}
/// Whether two texts are the same when ASCII letters ignore case.
inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(static_cast<unsigned char>(a[i])) !=
        AsciiLower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}
/// The text with its ASCII letters in lower case: the key of a map whose
/// names ignore case.
inline std::string AsciiLowerCopy(std::string_view text) {
  std::string out(text);
  for (char &c : out) c = static_cast<char>(AsciiLower(static_cast<unsigned char>(c)));
  return out;
}

/// Decodes one character at *p and advances *p (never past end): a lead
/// below 0x80 is one byte, 110xxxxx two, 1110xxxx three, anything else
/// four; the low bits are assembled without validation.
/// The bytes DecodeUTF8 takes for a character with this lead, when the
/// text holds them.
constexpr int UTF8SequenceLength(unsigned char lead) {
  return lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : 4;
}
inline uint32_t DecodeUTF8(const unsigned char **p, const unsigned char *end) {
  const unsigned char *s = *p;
  unsigned char lead = *s;
  if (lead < 0x80) {
    *p = s + 1;
    return lead;
  }
  int extra = UTF8SequenceLength(lead) - 1;
  uint32_t ch = lead & (extra == 1 ? 0x1F : extra == 2 ? 0x0F : 0x07);
  ++s;
  for (int i = 0; i < extra && s < end; ++i, ++s) ch = (ch << 6) | (*s & 0x3F);
  *p = s;
  return ch;
}
/// Writes one to four bytes for a character up to 0x1FFFFF (nothing for
/// larger values); returns the count.
size_t EncodeUTF8(uint32_t ch, char *out);
/// Whether the byte begins a character (is not 10xxxxxx).
inline bool IsCharStart(unsigned char b) {
  return (b & 0xC0) != 0x80;
}

}  // namespace corv
