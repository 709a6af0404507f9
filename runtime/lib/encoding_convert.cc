// Conversion between encodings: through UTF-16 with ICU converters, the
// ASCII shortcut, and the one-entry memory of the last conversion.
//
// The memory holds one reference to its source and one to its result; a
// source record cannot be freed and reused while it is remembered, so the
// pointer identifies the same string for as long as it is kept.
#include <unicode/ucnv.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "lib/encoding.h"
#include "lib/japanese.h"
#include "lib/string_record.h"

namespace corv {
namespace {

struct ConverterCloser {
  void operator()(UConverter *c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter OpenConverter(uint32_t codePage) {
  const char *name = ConverterName(codePage);
  if (!name) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
  Converter cnv(ucnv_open(name, &status));
  if (U_FAILURE(status)) return nullptr;
  // The platform's default character; UTF-8 keeps ICU's U+FFFD for a lone
  // surrogate, as the platform writes it, so that it stays a non-ASCII character.
  if (ucnv_getMinCharSize(cnv.get()) == 1 && codePage != 65001) {
    status = U_ZERO_ERROR;
    ucnv_setSubstChars(cnv.get(), "?", 1, &status);
  }
  return cnv;
}

// Opening a converter looks its name up in ICU's alias tables, which costs
// more than converting a short text. Each thread keeps the converters it
// opened, one per code page (a page without one is remembered too); every
// use sets the callback it needs, and whole-text conversions reset the
// converter's state themselves.
UConverter *ConverterFor(uint32_t codePage) {
  thread_local std::unordered_map<uint32_t, Converter> opened;
  auto found = opened.find(codePage);
  if (found == opened.end()) found = opened.emplace(codePage, OpenConverter(codePage)).first;
  return found->second.get();
}

// With `exact`, a malformed, unassigned or cut-off sequence fails the
// decoding instead of being replaced.
bool IcuDecode(uint32_t codePage, const char *bytes, size_t length, std::u16string *out,
               bool exact) {
  UConverter *cnv = ConverterFor(codePage);
  if (!cnv) return false;
  out->resize(length * 2 + 2);
  UErrorCode status = U_ZERO_ERROR;
  const ByteOverrides *overrides = ByteOverridesOf(codePage);
  const char *converted = bytes;
  std::string spaced;
  ucnv_setToUCallBack(cnv, exact ? UCNV_TO_U_CALLBACK_STOP : UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr,
                      nullptr, nullptr, &status);
  if (U_FAILURE(status)) return false;
  if (exact) {
    // An overridden byte has its character whatever the converter thinks of
    // it (IBM's 852 leaves AA unassigned), so the converter sees a space.
    if (overrides) {
      spaced.assign(bytes, length);
      for (char &b : spaced)
        if (overrides->character[static_cast<unsigned char>(b)]) b = ' ';
      converted = spaced.data();
    }
  }
  int32_t n = ucnv_toUChars(cnv, out->data(), static_cast<int32_t>(out->size()), converted,
                            static_cast<int32_t>(length), &status);
  if (U_FAILURE(status)) return false;
  out->resize(static_cast<size_t>(n));
  // Overrides are of single-byte pages, whose converters give one unit a byte.
  if (overrides && out->size() == length)
    for (size_t i = 0; i < length; ++i)
      if (char16_t c = overrides->character[static_cast<unsigned char>(bytes[i])]) (*out)[i] = c;
  return true;
}

// Appends the units encoded by the converter.
bool IcuAppend(UConverter *cnv, const char16_t *units, size_t count, std::string *out) {
  if (count == 0) return true;
  size_t at = out->size();
  out->resize(at + UCNV_GET_MAX_BYTES_FOR_STRING(count, ucnv_getMaxCharSize(cnv)) + 4);
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = ucnv_fromUChars(cnv, out->data() + at, static_cast<int32_t>(out->size() - at), units,
                              static_cast<int32_t>(count), &status);
  if (U_FAILURE(status)) return false;
  out->resize(at + static_cast<size_t>(n));
  return true;
}

// Encodes through the converter, except the characters the page's
// overrides give a byte of their own; every other character keeps the
// converter's byte (the mu of page 437 still becomes E6, as its best fit).
bool IcuEncode(uint32_t codePage, UConverter *cnv, const char16_t *units, size_t count,
               std::string *out) {
  out->clear();
  const ByteOverrides *overrides = ByteOverridesOf(codePage);
  if (!overrides) return IcuAppend(cnv, units, count, out);
  size_t run = 0;  // the first unit not yet encoded
  for (size_t i = 0; i < count; ++i) {
    int byte = overrides->ByteFor(units[i]);
    if (byte < 0) continue;
    if (!IcuAppend(cnv, units + run, i - run, out)) return false;
    out->push_back(static_cast<char>(byte));
    run = i + 1;
  }
  return IcuAppend(cnv, units + run, count - run, out);
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
    return IcuDecode(932, sjis.data(), sjis.size(), out, exact);
  }
  if (code == 0x820) {
    std::string sjis = Iso2022JpToShiftJis({bytes, length});
    return IcuDecode(932, sjis.data(), sjis.size(), out, exact);
  }
  uint32_t page = CodePageOf(code);
  return page && IcuDecode(page, bytes, length, out, exact);
}

}  // namespace

bool DecodeToUTF16(uint32_t code, const char *bytes, size_t length, std::u16string *out) {
  return Decode(code, bytes, length, out, false);
}

bool DecodeExactlyToUTF16(uint32_t code, const char *bytes, size_t length, std::u16string *out) {
  return Decode(code, bytes, length, out, true);
}

bool EncodeFromUTF16(uint32_t code, const char16_t *units, size_t count, std::string *out) {
  if (IsHostUTF16(code)) {
    out->assign(reinterpret_cast<const char *>(units), count * 2);
    return true;
  }
  uint32_t page = (code == 0x920 || code == 0x820) ? 932 : CodePageOf(code);
  UConverter *cnv = page ? ConverterFor(page) : nullptr;
  if (!cnv || !IcuEncode(page, cnv, units, count, out)) return false;
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
