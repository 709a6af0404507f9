// The language's string comparison: case ignored, over UTF-8 characters,
// UTF-16 units, or through the locale's collator for every other encoding.
//
// Equality is the one the dictionary hashes by (HashStringKey): strings
// compare 0 only when they hold the same text once the upper-case map has
// folded it (in UTF-8, of the same byte length too). Each string's text is
// read from its own encoding: UTF-8 by the lenient decoding below, ASCII as
// UTF-8 (so stray bytes above 0x7F read the same whatever the other string
// is), UTF-16 by its units, every other code through its converter. The
// collator only orders: texts it calls equal are ordered by their folded
// UTF-16 units, so the controls, widths and marks it passes over still
// tell keys apart. A string whose converter rejects its bytes (malformed,
// unassigned or cut-off sequences, or no converter at all) holds no text:
// it orders after every text and, among such strings, by code, then by
// bytes, so it equals only the same bytes under the same code.
#include <cstring>
#include <string>

#include "lib/case_map.h"
#include "lib/encoding.h"
#include "platform/code_pages.h"

namespace corv {
namespace {

int32_t Sign(int64_t d) {
  return d < 0 ? -1 : d > 0 ? 1 : 0;
}

int32_t CompareUTF8(std::string_view a, std::string_view b) {
  auto *pa = reinterpret_cast<const unsigned char *>(a.data());
  auto *pb = reinterpret_cast<const unsigned char *>(b.data());
  const unsigned char *ea = pa + a.size(), *eb = pb + b.size();
  while (pa < ea && pb < eb) {
    if (*pa < 0x80 && *pb < 0x80) {  // the common case, one byte each
      unsigned char ca = *pa++, cb = *pb++;
      if (ca != cb) {
        ca = AsciiUpper(ca);
        cb = AsciiUpper(cb);
        if (ca != cb) return ca < cb ? -1 : 1;
      }
      continue;
    }
    uint32_t ca = DecodeUTF8(&pa, ea), cb = DecodeUTF8(&pb, eb);
    if (ca != cb) {
      ca = UpperCase(ca);
      cb = UpperCase(cb);
      if (ca != cb) return ca < cb ? -1 : 1;
    }
  }
  // No character differed: the byte lengths decide. Two texts of the same
  // byte length are equal only when both have ended; otherwise the one that
  // ended first, with fewer characters, is less ("\u017Fs" against "ssX").
  int32_t byLength = Sign(static_cast<int64_t>(a.size()) - static_cast<int64_t>(b.size()));
  if (byLength == 0 && (pa < ea || pb < eb)) return pa < ea ? 1 : -1;
  return byLength;
}

int32_t CompareUTF16(const char16_t *a, size_t na, const char16_t *b, size_t nb) {
  size_t n = na < nb ? na : nb;
  for (size_t i = 0; i < n; ++i) {
    uint32_t ca = a[i], cb = b[i];
    if (ca != cb) {
      ca = UpperCase(ca);
      cb = UpperCase(cb);
      if (ca != cb) return ca < cb ? -1 : 1;
    }
  }
  return Sign(static_cast<int64_t>(na) - static_cast<int64_t>(nb));
}

// Each unit as its class of the upper-case map folds it (to lower case), so
// that the collator sees one text for all the texts that compare equal.
std::u16string Folded(std::u16string text) {
  for (char16_t &unit : text) unit = static_cast<char16_t>(LowerCase(UpperCase(unit)));
  return text;
}

// The locale comparison, case ignored and accents not, over the folded
// texts. It only orders; what it calls equal is ordered by the folded
// units, so that only the same text compares 0.
int32_t CompareByLocale(const std::u16string &a, const std::u16string &b) {
  if (int order = platform::CompareInLocale(Folded(a), Folded(b))) return order;
  return CompareUTF16(a.data(), a.size(), b.data(), b.size());
}

bool ReadsAsUTF8(uint32_t code) {
  return code == kEncodingUTF8 || code == kEncodingASCII;
}

// Whether the text is read through a converter (which may reject the bytes).
bool NeedsConverter(uint32_t code) {
  return !ReadsAsUTF8(code) && !IsHostUTF16(code);
}

std::string_view View(CORVstring s) {
  return {CORVStringBytes(s), s->length};
}

// ASCII with bytes above 0x7F, re-tagged UTF-8: the UTF-8 comparison and the
// key hash read it as UTF-8, and so must the conversions.
String AsReadable(CORVstring s) {
  if (s->encoding == kEncodingASCII)
    for (char c : View(s))
      if (static_cast<unsigned char>(c) >= 0x80) return String(View(s), kEncodingUTF8);
  return String::Share(s);
}

// UTF-8 as the comparison decodes it, in UTF-16 units; a value beyond
// Unicode becomes the replacement character (it is not ASCII either way).
std::u16string LenientUTF16(std::string_view bytes) {
  std::u16string out;
  auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
  const unsigned char *end = p + bytes.size();
  while (p < end) {
    uint32_t c = DecodeUTF8(&p, end);
    if (c > 0x10FFFF) c = 0xFFFD;
    if (c > 0xFFFF) {
      c -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (c >> 10));
      c = 0xDC00 + (c & 0x3FF);
    }
    out += static_cast<char16_t>(c);
  }
  return out;
}

// The text of a string, in UTF-16 units; false when it holds none.
bool ReadText(CORVstring s, std::u16string *text) {
  if (ReadsAsUTF8(s->encoding)) {
    *text = LenientUTF16(View(s));
    return true;
  }
  if (IsHostUTF16(s->encoding)) {  // an odd last byte is no unit, as in CompareUTF16
    text->assign(reinterpret_cast<const char16_t *>(CORVStringBytes(s)), s->length / 2);
    return true;
  }
  return DecodeExactlyToUTF16(s->encoding, CORVStringBytes(s), s->length, text);
}

// Strings of which at least one holds no text: texts first, then by code
// and bytes.
int32_t CompareTextless(CORVstring a, bool aText, CORVstring b, bool bText) {
  if (aText != bText) return aText ? -1 : 1;
  if (a->encoding != b->encoding) return a->encoding < b->encoding ? -1 : 1;
  size_t n = a->length < b->length ? a->length : b->length;
  if (int c = std::memcmp(CORVStringBytes(a), CORVStringBytes(b), n)) return c < 0 ? -1 : 1;
  return Sign(static_cast<int64_t>(a->length) - static_cast<int64_t>(b->length));
}

bool AllAscii(CORVstring s) {
  const auto *p = reinterpret_cast<const unsigned char *>(CORVStringBytes(s));
  for (uint32_t i = 0; i < s->length; ++i)
    if (p[i] >= 0x80) return false;
  return true;
}

// Equality of two ASCII or UTF-8 strings while their bytes are ASCII: the
// case-insensitive comparison then folds ASCII letters only, and strings of
// different byte lengths are never equal. Text of no declared encoding takes
// part when both strings are all ASCII, and it reads ASCII as itself. 1 equal,
// 0 unequal, -1 undecided (a non-ASCII byte, or another encoding).
int AsciiEquality(CORVstring a, CORVstring b) {
  auto plain = [](uint32_t e) { return e == kEncodingASCII || e == kEncodingUTF8; };
  auto undeclared = [](uint32_t e) { return e == kEncodingUnknown; };
  bool either = undeclared(a->encoding) || undeclared(b->encoding);
  if (either && !(UndeclaredReadsAsciiAsItself() && AllAscii(a) && AllAscii(b))) return -1;
  if (!(plain(a->encoding) || undeclared(a->encoding)) ||
      !(plain(b->encoding) || undeclared(b->encoding)))
    return -1;
  if (a->length != b->length) return 0;
  const auto *pa = reinterpret_cast<const unsigned char *>(CORVStringBytes(a));
  const auto *pb = reinterpret_cast<const unsigned char *>(CORVStringBytes(b));
  for (uint32_t i = 0; i < a->length; ++i) {
    unsigned char x = pa[i], y = pb[i];
    if ((x | y) >= 0x80) return -1;
    if (x == y) continue;
    if (AsciiUpper(x) != AsciiUpper(y)) return 0;
  }
  return 1;
}

}  // namespace
}  // namespace corv

extern "C" int32_t RuntimeStringCompare(CORVstring a, CORVstring b) {
  using namespace corv;
  if (a == b) return 0;
  if (!a) return -1;
  if (!b) return 1;
  if (ReadsAsUTF8(a->encoding) && ReadsAsUTF8(b->encoding)) return CompareUTF8(View(a), View(b));
  String ra = AsReadable(a), rb = AsReadable(b);
  // Strings read through a converter are decoded once here, exactly: what
  // holds no text never reaches a conversion, which would replace its bytes.
  std::u16string ta, tb;
  bool aText = !NeedsConverter(ra.get()->encoding) || ReadText(ra.get(), &ta);
  bool bText = !NeedsConverter(rb.get()->encoding) || ReadText(rb.get(), &tb);
  if (!aText || !bText) return CompareTextless(ra.get(), aText, rb.get(), bText);
  Reconciled r = Reconcile(ra.get(), rb.get());
  if (ReadsAsUTF8(r.encoding)) return CompareUTF8(r.a.view(), r.b.view());
  if (IsHostUTF16(r.encoding))
    return CompareUTF16(reinterpret_cast<const char16_t *>(r.a.data()), r.a.size() / 2,
                        reinterpret_cast<const char16_t *>(r.b.data()), r.b.size() / 2);
  if (!NeedsConverter(ra.get()->encoding)) ReadText(ra.get(), &ta);
  if (!NeedsConverter(rb.get()->encoding)) ReadText(rb.get(), &tb);
  return CompareByLocale(ta, tb);
}

// Equality alone needs no order: most strings compared for it (keys, words of
// a line read from a file) are ASCII, which no converter or collator needs to
// read.
bool corv::StringsEqual(CORVstring a, CORVstring b) {
  if (a == b) return true;
  if (a && b) {
    int ascii = AsciiEquality(a, b);
    if (ascii >= 0) return ascii == 1;
  }
  return RuntimeStringCompare(a, b) == 0;
}
