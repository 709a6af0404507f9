// Conversion between encodings: through UTF-16 with the system's code
// pages, the ASCII shortcut, and the one-entry memory of the last conversion.
//
// The memory holds one reference to its source and one to its result; a
// source record cannot be freed and reused while it is remembered, so the
// pointer identifies the same string for as long as it is kept.
#include <mutex>

#include "lib/encoding.h"
#include "lib/japanese.h"
#include "lib/string_record.h"
#include "platform/code_pages.h"

namespace corv {
namespace {

// With `exact`, a malformed, unassigned or cut-off sequence fails the
// decoding instead of being replaced.
bool DecodePage(uint32_t codePage, const char *bytes, size_t length, std::u16string *out,
                bool exact) {
  const ByteOverrides *overrides = ByteOverridesOf(codePage);
  const char *converted = bytes;
  std::string spaced;
  if (exact && overrides) {
    // An overridden byte has its character whatever the converter thinks of
    // it (IBM's 852 leaves AA unassigned), so the converter sees a space.
    spaced.assign(bytes, length);
    for (char &b : spaced)
      if (overrides->character[static_cast<unsigned char>(b)]) b = ' ';
    converted = spaced.data();
  }
  if (!platform::DecodeCodePage(codePage, converted, length, exact, out)) return false;
  // Overrides are of single-byte pages, whose converters give one unit a byte.
  if (overrides && out->size() == length)
    for (size_t i = 0; i < length; ++i)
      if (char16_t c = overrides->character[static_cast<unsigned char>(bytes[i])]) (*out)[i] = c;
  return true;
}

// Encodes through the page's converter, except the characters the page's
// overrides give a byte of their own; every other character keeps the
// converter's byte (the mu of page 437 still becomes E6, as its best fit).
bool EncodePage(uint32_t codePage, const char16_t *units, size_t count, std::string *out) {
  out->clear();
  const ByteOverrides *overrides = ByteOverridesOf(codePage);
  if (!overrides) return platform::AppendInCodePage(codePage, units, count, out);
  size_t run = 0;  // the first unit not yet encoded
  for (size_t i = 0; i < count; ++i) {
    int byte = overrides->ByteFor(units[i]);
    if (byte < 0) continue;
    if (!platform::AppendInCodePage(codePage, units + run, i - run, out)) return false;
    out->push_back(static_cast<char>(byte));
    run = i + 1;
  }
  return platform::AppendInCodePage(codePage, units + run, count - run, out);
}

struct Memory {
  std::mutex lock;
  CORVstring source = nullptr;
  CORVstring result = nullptr;
};
Memory &TheMemory() {
  static Memory *memory = [] {
    auto *m = new Memory;  // lives until the process ends
    SetCachedOnlyCounter([] {
      Memory &mem = TheMemory();
      std::lock_guard<std::mutex> hold(mem.lock);
      int32_t n = 0;
      if (mem.source && mem.source->refCount == 1) ++n;
      if (mem.result && mem.result->refCount == 1) ++n;
      return n;
    });
    return m;
  }();
  return *memory;
}

void Remember(CORVstring source, CORVstring result) {
  Memory &mem = TheMemory();
  CORVstring oldSource, oldResult;
  {
    std::lock_guard<std::mutex> hold(mem.lock);
    oldSource = mem.source;
    oldResult = mem.result;
    mem.source = RuntimeLockString(source);
    mem.result = RuntimeLockString(result);
  }
  RuntimeUnlockString(oldSource);
  RuntimeUnlockString(oldResult);
}

String Recall(CORVstring source, uint32_t t) {
  Memory &mem = TheMemory();
  std::lock_guard<std::mutex> hold(mem.lock);
  if (mem.source == source && mem.result && mem.result->encoding == t)
    return String::Share(mem.result);
  return nullptr;
}

String FromBytes(const std::string &bytes, uint32_t encoding) {
  return String(std::string_view(bytes), encoding);
}

bool Decode(uint32_t code, const char *bytes, size_t length, std::u16string *out, bool exact) {
  if (IsHostUTF16(code)) {
    if (length % 2) return false;
    out->assign(reinterpret_cast<const char16_t *>(bytes), length / 2);
    return true;
  }
  if (code == 0x920) {
    std::string sjis = EucJpToShiftJis({bytes, length});
    return DecodePage(932, sjis.data(), sjis.size(), out, exact);
  }
  if (code == 0x820) {
    std::string sjis = Iso2022JpToShiftJis({bytes, length});
    return DecodePage(932, sjis.data(), sjis.size(), out, exact);
  }
  uint32_t page = CodePageOf(code);
  return page && DecodePage(page, bytes, length, out, exact);
}

}  // namespace

bool DecodeToUTF16(uint32_t code, const char *bytes, size_t length, std::u16string *out) {
  return Decode(code, bytes, length, out, false);
}

bool DecodeExactlyToUTF16(uint32_t code, const char *bytes, size_t length, std::u16string *out) {
  return Decode(code, bytes, length, out, true);
}

bool UndeclaredReadsAsciiAsItself() {
  static const bool itself = [] {
    // Each byte alone, and all of them in a row, which a stateful code
    // (an escape, a shift) would read otherwise.
    std::string all;
    std::u16string text;
    for (int b = 0; b < 0x80; ++b) {
      char byte = static_cast<char>(b);
      all += byte;
      if (!DecodeExactlyToUTF16(kEncodingUnknown, &byte, 1, &text) ||
          text != std::u16string(1, static_cast<char16_t>(b)))
        return false;
    }
    std::u16string expected(all.begin(), all.end());
    return DecodeExactlyToUTF16(kEncodingUnknown, all.data(), all.size(), &text) &&
           text == expected;
  }();
  return itself;
}

bool EncodeFromUTF16(uint32_t code, const char16_t *units, size_t count, std::string *out) {
  if (IsHostUTF16(code)) {
    out->assign(reinterpret_cast<const char *>(units), count * 2);
    return true;
  }
  uint32_t page = (code == 0x920 || code == 0x820) ? 932 : CodePageOf(code);
  if (!page || !EncodePage(page, units, count, out)) return false;
  if (code == 0x920) *out = ShiftJisToEucJp(*out);
  if (code == 0x820) *out = ShiftJisToIso2022Jp(*out);
  return true;
}

String ConvertTo(CORVstring s, uint32_t t) {
  if (!s || t == kEncodingUnknown || s->encoding == kEncodingUnknown || s->encoding == t)
    return String::Share(s);
  if (String remembered = Recall(s, t); !remembered.empty()) return remembered;
  String result;
  bool asciiSubset =
      t == kEncodingUTF8 || (t <= 0xFFFF && (t < 0x100 || t > 0x200) && IsAsciiCompatible(t));
  if (s->encoding == kEncodingASCII && asciiSubset) {
    result = String(std::string_view(CORVStringBytes(s), s->length), t);
  } else {
    std::u16string wide;
    std::string bytes;
    if (!DecodeToUTF16(s->encoding, CORVStringBytes(s), s->length, &wide) ||
        !EncodeFromUTF16(t, wide.data(), wide.size(), &bytes))
      return nullptr;
    result = FromBytes(bytes, t);
  }
  if (!result.empty()) Remember(s, result.get());
  return result;
}

}  // namespace corv

extern "C" CORVstring RuntimeConvertString(CORVstring s, uint32_t encoding) {
  return corv::ConvertTo(s, encoding).Leak();
}
