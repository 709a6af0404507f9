// What the fuzz targets share: the decoding of an input into text-encoding
// codes, byte strings, numbers and flags, and the check that stops the run
// when a property a target tests does not hold.
//
// An input is read front to back, each value in the order the target asks:
//   code    one byte, an index into EncodingCodes() (taken modulo its size)
//   bytes   one length byte L and then L bytes; L = 255 is followed by a
//           two-byte big-endian length instead, for long texts
//   string  a code, then bytes
//   number  four bytes, little endian
//   flags   one byte
// An input that runs out reads as zeros and empty strings, so every input
// is a valid sequence of calls and the seed files stay short enough to
// write by hand (see corpus/*).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "corv.h"
#include "corv/exception.h"
#include "corv/ref.h"
#include "corv/string.h"

namespace corv::fuzz {

/// Every code of the Encodings list (index 0 is UTF-8, 1 UTF-16, 2 UTF-16BE,
/// 3 UTF-16LE, 4 UTF-32LE, 5 UTF-32BE, 6 ASCII, 7 Windows-1252), then codes
/// that are not in it.
inline const std::vector<uint32_t> &EncodingCodes() {
  static const std::vector<uint32_t> codes = [] {
    std::vector<uint32_t> list;
    for (int32_t index = 1;; ++index) {
      Ref<CORVtextEncoding> encoding = Ref<CORVtextEncoding>::Adopt(EncodingsGetter(index));
      if (!encoding) break;
      list.push_back(encoding->code);
    }
    list.insert(list.end(), {kEncodingUTF32LEAlt, kEncodingUnknown, 0x7FFFu, 0xFFFF03A4u});
    return list;
  }();
  return codes;
}

/// The position of a code in EncodingCodes(), for writing seeds; -1 if absent.
inline int IndexOfCode(uint32_t code) {
  const std::vector<uint32_t> &codes = EncodingCodes();
  for (size_t i = 0; i < codes.size(); ++i)
    if (codes[i] == code) return static_cast<int>(i);
  return -1;
}

class FuzzInput {
 public:
  FuzzInput(const uint8_t *data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return at_ >= size_; }

  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  uint8_t Flags() { return Byte(); }

  int32_t Number() {
    uint32_t value = 0;
    for (int shift = 0; shift < 32; shift += 8) value |= static_cast<uint32_t>(Byte()) << shift;
    return static_cast<int32_t>(value);
  }

  uint32_t Code() {
    const std::vector<uint32_t> &codes = EncodingCodes();
    return codes[Byte() % codes.size()];
  }

  std::string_view Bytes() {
    size_t length = Byte();
    if (length == 255) {
      length = static_cast<size_t>(Byte()) << 8;
      length |= Byte();
    }
    if (length > size_ - at_) length = size_ - at_;
    std::string_view bytes(reinterpret_cast<const char *>(data_ + at_), length);
    at_ += length;
    return bytes;
  }

  /// A new string of the next code and bytes (nil when the bytes are empty).
  String NextString() {
    uint32_t code = Code();
    std::string_view bytes = Bytes();
    return String::Adopt(
        RuntimeCreateString(bytes.data(), static_cast<int32_t>(bytes.size()), code));
  }

 private:
  const uint8_t *data_;
  size_t size_;
  size_t at_ = 0;
};

/// Whether the bytes are well-formed UTF-8 (shortest forms, no surrogates,
/// nothing above U+10FFFF). The runtime reads malformed UTF-8 leniently, so
/// some properties hold only for well-formed text.
inline bool IsWellFormedUTF8(std::string_view text) {
  auto *p = reinterpret_cast<const unsigned char *>(text.data());
  size_t n = text.size();
  for (size_t i = 0; i < n;) {
    unsigned char lead = p[i];
    size_t extra = lead < 0x80                    ? 0
                   : lead >= 0xC2 && lead <= 0xDF ? 1
                   : lead >= 0xE0 && lead <= 0xEF ? 2
                   : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                  : 4;
    if (extra == 4 || n - i <= extra) return false;  // not a lead, or cut off
    unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (extra > 0 && (p[i + 1] < low || p[i + 1] > high)) return false;
    for (size_t k = 2; k <= extra; ++k)
      if ((p[i + k] & 0xC0) != 0x80) return false;
    i += extra + 1;
  }
  return true;
}

/// Stops the run with a message when a tested property does not hold; the
/// fuzzer keeps the input that did it.
inline void Require(bool holds, const char *what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz property violated: %s\n", what);
  std::abort();
}

/// Runs `body`, letting a language exception (bad input the runtime rejects
/// as it should) end it quietly; the exception's reference goes with it.
template <class Body>
void IgnoringLanguageExceptions(Body &&body) {
  try {
    body();
  } catch (const LanguageException &) {
  }
}

/// Makes an internal consistency report from the runtime fatal, since the
/// runtime itself goes on after one.
inline void TrapFailureReports() {
  static const bool installed = [] {
    CORVSetSecondFailureReporter(
        [](const char *file, int32_t line, const char *condition, const char *message) {
          std::fprintf(stderr, "runtime failure report at %s:%d: %s %s\n", file ? file : "",
                       static_cast<int>(line), condition ? condition : "", message ? message : "");
          std::abort();
        });
    return true;
  }();
  (void)installed;
}

}  // namespace corv::fuzz
