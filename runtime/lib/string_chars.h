// Character units of an encoding, for every function that counts
// characters: UTF-8 sequences, UTF-16 units, double-byte characters, bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "lib/case_map.h"
#include "lib/encoding.h"

namespace corv {

/// 10xxxxxx, as one signed comparison (which vectorises to one instruction).
inline bool IsContinuation(unsigned char b) {
  return static_cast<signed char>(b) < -64;
}

/// Bytes counted in one block: a multiple of common vector widths, below 256.
constexpr size_t kCountBlock = 240;

/// The number of UTF-8 characters in the bytes: every byte that is not a
/// continuation byte (10xxxxxx). Blocks of a fixed size let the compiler
/// count sixteen or more bytes at a time in byte-wide lanes, which cannot
/// overflow within a block; this runs at the speed of memory on long texts.
inline size_t CountUTF8Characters(const unsigned char *bytes, size_t length) {
  size_t n = 0, i = 0;
  for (; i + kCountBlock <= length; i += kCountBlock) {
    uint8_t continuations = 0;
    for (size_t j = 0; j < kCountBlock; ++j) continuations += IsContinuation(bytes[i + j]);
    n += kCountBlock - continuations;
  }
  for (; i < length; ++i) n += IsCharStart(bytes[i]);
  return n;
}

/// CountUTF8Characters that also notes whether any byte b of the text has
/// (b | fold) == folded, in the same pass: a search can skip the text
/// while counting when none has.
inline size_t CountUTF8CharactersNoting(const unsigned char *bytes, size_t length,
                                        unsigned char folded, unsigned char fold, bool *seen) {
  size_t n = 0, i = 0;
  unsigned char any = 0;
  for (; i + kCountBlock <= length; i += kCountBlock) {
    // Both counted, not or-ed: sums of byte lanes are the cheap reduction.
    uint8_t continuations = 0, hits = 0;
    for (size_t j = 0; j < kCountBlock; ++j) {
      continuations += IsContinuation(bytes[i + j]);
      hits += (bytes[i + j] | fold) == folded;
    }
    n += kCountBlock - continuations;
    any |= hits;
  }
  for (; i < length; ++i) {
    n += IsCharStart(bytes[i]);
    any |= (bytes[i] | fold) == folded;
  }
  *seen = any != 0;
  return n;
}

/// How one encoding divides its bytes into characters.
struct CharUnits {
  enum Kind { kByte, kUTF8, kUTF16, kDoubleByte } kind;
  const bool *lead;  // lead bytes, for kDoubleByte

  static CharUnits Of(uint32_t code) {
    if (code == kEncodingUTF8) return {kUTF8, nullptr};
    if (IsHostUTF16(code)) return {kUTF16, nullptr};
    if (code == kEncodingASCII) return {kByte, nullptr};
    if (const bool *lead = LeadByteTable(code)) return {kDoubleByte, lead};
    return {kByte, nullptr};
  }

  /// The byte size of the character at offset `at` (never past `length`).
  size_t SizeAt(const unsigned char *bytes, size_t length, size_t at) const {
    size_t size = 1;
    switch (kind) {
      case kByte:
        break;
      case kUTF8:
        while (at + size < length && !IsCharStart(bytes[at + size])) ++size;
        break;
      case kUTF16:
        size = 2;
        break;
      case kDoubleByte:
        size = lead[bytes[at]] ? 2 : 1;
        break;
    }
    return at + size <= length ? size : length - at;
  }

  /// The number of characters in the bytes.
  int32_t Count(const unsigned char *bytes, size_t length) const {
    if (kind == kByte) return static_cast<int32_t>(length);
    if (kind == kUTF16) return static_cast<int32_t>((length + 1) / 2);
    size_t n = 0;
    if (kind == kUTF8) {
      n = CountUTF8Characters(bytes, length);
    } else {
      for (size_t i = 0; i < length; i += SizeAt(bytes, length, i)) ++n;
    }
    return static_cast<int32_t>(n);
  }

  /// The byte offset after `n` characters from `from` (at most `length`).
  size_t Advance(const unsigned char *bytes, size_t length, size_t from, int64_t n) const {
    if (n <= 0) return from;
    if (kind == kByte)
      return from + static_cast<size_t>(n) < length ? from + static_cast<size_t>(n) : length;
    if (kind == kUTF16) {
      uint64_t to = from + static_cast<uint64_t>(n) * 2;
      return to < length ? static_cast<size_t>(to) : length;
    }
    size_t at = from;
    // Each step goes to the next character start after `at`; whole blocks
    // holding fewer starts than are left are passed by counting them.
    if (kind == kUTF8)
      for (int64_t c;
           length - at > kCountBlock &&
           (c = static_cast<int64_t>(CountUTF8Characters(bytes + at + 1, kCountBlock))) < n;
           at += kCountBlock)
        n -= c;
    while (n-- > 0 && at < length) at += SizeAt(bytes, length, at);
    return at;
  }

  /// The byte offset where the last `n` characters begin.
  size_t BackFromEnd(const unsigned char *bytes, size_t length, int64_t n) const {
    if (kind == kUTF8) {
      size_t at = length;
      while (n-- > 0 && at > 0) {
        --at;
        while (at > 0 && !IsCharStart(bytes[at])) --at;
      }
      return at;
    }
    if (kind == kByte)
      return static_cast<uint64_t>(n) < length ? length - static_cast<size_t>(n) : 0;
    int64_t total = Count(bytes, length);
    return n >= total ? 0 : Advance(bytes, length, 0, total - n);
  }
};

inline const unsigned char *UBytes(CORVstring s) {
  return reinterpret_cast<const unsigned char *>(CORVStringBytes(s));
}

}  // namespace corv
