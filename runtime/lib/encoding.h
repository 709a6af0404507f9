// Text encodings inside the runtime: code pages, conversion, the common
// encoding of two strings, and the per-code-page byte tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "corv/string.h"

namespace corv {

/// UTF-16 and UTF-32 in every byte order: the codes whose bytes are not
/// ASCII-compatible. (The range 0x100-0x1FF of codes up to 0xFFFF, and the
/// Unicode format codes other than UTF-8.)
inline bool IsWideUnicode(uint32_t code) {
  if (code == kEncodingUTF8) return false;
  if (code <= 0xFFFF) return code >= 0x100 && code <= 0x1FF;
  return code < 0xFFFF0000u && (code & 0xFFFF) == 0x100;
}
/// Whether ASCII text is the same bytes in this encoding: everything but
/// UTF-16, UTF-32 and EBCDIC (code page 37).
inline bool IsAsciiCompatible(uint32_t code) {
  return !IsWideUnicode(code) && code != 0xC01 && code != 0xC02 && code != 0xFFFF0000u + 37;
}
/// How a code stores its characters: in units of one byte, or (UTF-16 and
/// UTF-32) of two or four bytes in a byte order.
struct UnitLayout {
  uint32_t size;
  bool bigEndian;

  /// The unit that begins at `bytes` (at least `size` bytes).
  uint32_t At(const unsigned char *bytes) const {
    uint32_t unit = 0;
    for (uint32_t b = 0; b < size; ++b) unit = unit << 8 | bytes[bigEndian ? b : size - 1 - b];
    return unit;
  }
};
inline UnitLayout UnitLayoutOf(uint32_t code) {
  switch (code) {
    case kEncodingUTF16:
    case kEncodingUTF16LE:
      return {2, false};
    case kEncodingUTF16BE:
      return {2, true};
    case kEncodingUTF32LE:
    case kEncodingUTF32LEAlt:
      return {4, false};
    case kEncodingUTF32BE:
      return {4, true};
    default:
      return {1, false};
  }
}
/// UTF-16 with the host's (little-endian) byte order.
inline bool IsHostUTF16(uint32_t code) {
  return code == kEncodingUTF16 || code == kEncodingUTF16LE;
}

/// One entry of the encoding table: a code and the code page it converts by.
struct EncodingEntry {
  uint32_t code;
  uint32_t codePage;  // 0: none
};
/// The codes in the order of the Encodings getter (index 1 first).
const EncodingEntry *EncodingTable(size_t *count);

/// The code page that conversions of a code go through, 0 when it has none.
/// 0xFFFF resolves to the system encoding's code page (1252 if that fails).
uint32_t CodePageOf(uint32_t code);
/// The single bytes of a code page whose character follows Microsoft's
/// published table where the system's converter of the page gives another.
struct ByteOverrides {
  char16_t character[256] = {};  // 0: the converter's own character
  unsigned char bytes[8] = {};   // the overridden bytes, `count` of them
  int count = 0;
  /// The byte an overridden character encodes to, or -1 for the converter's own.
  int ByteFor(char16_t c) const {
    for (int i = 0; i < count; ++i)
      if (character[bytes[i]] == c) return bytes[i];
    return -1;
  }
};
/// The overrides of a code page, or null when its converter needs none.
const ByteOverrides *ByteOverridesOf(uint32_t codePage);
/// The system encoding as a code, worked out once.
uint32_t SystemEncoding();

/// Decodes bytes of a code into UTF-16; false when the code has no
/// available code page or the bytes are rejected.
bool DecodeToUTF16(uint32_t code, const char *bytes, size_t length, std::u16string *out);
/// The same, but false as well when any byte sequence is malformed,
/// unassigned or cut off, where DecodeToUTF16 puts a replacement character.
bool DecodeExactlyToUTF16(uint32_t code, const char *bytes, size_t length, std::u16string *out);
/// Whether text of no declared encoding reads each ASCII byte as that
/// character, so that all-ASCII bytes hold the same text as in UTF-8 (the
/// system encoding is ASCII-compatible and stateless), worked out once.
bool UndeclaredReadsAsciiAsItself();
/// Encodes UTF-16 into a code; false when the code has no available code page.
bool EncodeFromUTF16(uint32_t code, const char16_t *units, size_t count, std::string *out);
/// The conversion of s to code t, with the one-entry memory (s itself,
/// shared, when nothing is to be done; empty when the conversion fails).
String ConvertTo(CORVstring s, uint32_t t);

/// The common encoding of two codes; 0xFFFF without force means that a
/// conversion is needed.
uint32_t CommonEncoding(uint32_t e1, uint32_t e2, bool force);
/// Two strings brought to a common encoding. When `encoding` is 0xFFFF
/// (and the strings' codes differed), a and b are the strings as they were.
struct Reconciled {
  String a, b;
  uint32_t encoding;
};
Reconciled Reconcile(CORVstring a, CORVstring b);

/// The lead-byte table of a double-byte code page (true for lead bytes),
/// or null for every other code. 0xFFFF follows the system encoding.
const bool *LeadByteTable(uint32_t code);
/// The upper-case table of the single bytes of a code (ASCII letters only
/// for multi-byte code pages).
const unsigned char *UpperByteTable(uint32_t code);

}  // namespace corv
