// Trim, LTrim and RTrim: whitespace removed from the ends of a string.
#include <cstring>
#include <string>

#include "lib/case_map.h"
#include "lib/encoding.h"
#include "lib/string_record.h"

namespace {

bool IsUnicodeSpace(uint32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         c == 0x180E || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

bool IsAsciiSpace(unsigned char c) {
  return (c >= 9 && c <= 13) || c == 32;
}

// Whether the character at `s` is white space; `*next` is where the next
// one starts. Malformed UTF-8 (a sequence cut short, an overlong form) is
// never white space: the lenient decoder would read a lone lead byte such
// as 0xEB as U+000B, and trimming would eat bytes that are not text.
bool IsSpaceAt(const unsigned char *s, const unsigned char *end, const unsigned char **next) {
  const unsigned char *p = s;
  uint32_t c = corv::DecodeUTF8(&p, end);
  *next = p;
  if (*s < 0x80) return IsUnicodeSpace(c);
  size_t length = static_cast<size_t>(p - s);
  size_t expected = (*s & 0xE0) == 0xC0 ? 2 : (*s & 0xF0) == 0xE0 ? 3 : 4;
  uint32_t least = expected == 2 ? 0x80 : expected == 3 ? 0x800 : 0x10000;
  if (*s >= 0xF8 || length != expected || c < least) return false;
  for (const unsigned char *q = s + 1; q < p; ++q)
    if ((*q & 0xC0) != 0x80) return false;
  return IsUnicodeSpace(c);
}

struct Kept {
  size_t begin, end;
};

Kept TrimBytes(std::string_view t, bool left, bool right) {
  size_t b = 0, e = t.size();
  if (left)
    while (b < e && IsAsciiSpace(static_cast<unsigned char>(t[b]))) ++b;
  if (right)
    while (e > b && IsAsciiSpace(static_cast<unsigned char>(t[e - 1]))) --e;
  return {b, e};
}

Kept TrimUTF8(std::string_view t, bool left, bool right) {
  auto *base = reinterpret_cast<const unsigned char *>(t.data());
  const unsigned char *end = base + t.size();
  size_t b = 0, e = t.size();
  if (left)
    while (b < e) {
      const unsigned char *p;
      if (!IsSpaceAt(base + b, end, &p)) break;
      b = static_cast<size_t>(p - base);
    }
  if (right)
    while (e > b) {
      size_t start = e - 1;
      while (start > b && !corv::IsCharStart(base[start])) --start;
      const unsigned char *p;
      if (!IsSpaceAt(base + start, base + e, &p) || p != base + e) break;
      e = start;
    }
  return {b, e};
}

Kept TrimUTF16(std::string_view t, bool left, bool right) {
  auto unit = [&](size_t i) {
    char16_t u;
    std::memcpy(&u, t.data() + i, 2);
    return u;
  };
  size_t b = 0, e = t.size() & ~size_t{1};
  if (left)
    while (b < e && IsUnicodeSpace(unit(b))) b += 2;
  if (right)
    while (e > b && IsUnicodeSpace(unit(e - 2))) e -= 2;
  if (e == (t.size() & ~size_t{1})) e = t.size();  // an odd last byte stays
  return {b, e};
}

CORVstring Trim(CORVstring s, bool left, bool right) {
  if (!s) return nullptr;
  std::string_view t(CORVStringBytes(s), s->length);
  uint32_t code = s->encoding;
  Kept k;
  if (code == kEncodingUTF8) {
    k = TrimUTF8(t, left, right);
  } else if (corv::IsHostUTF16(code)) {
    k = TrimUTF16(t, left, right);
  } else if (code == kEncodingASCII || code == kEncodingUnknown) {
    k = TrimBytes(t, left, right);
  } else {  // any other encoding: trimmed as UTF-16, then converted back
    corv::String wide = corv::ConvertTo(s, kEncodingUTF16);
    if (wide.empty()) return RuntimeLockString(s);
    k = TrimUTF16(wide.view(), left, right);
    if (k.begin == 0 && k.end == wide.size()) return RuntimeLockString(s);
    corv::String part(wide.view().substr(k.begin, k.end - k.begin), kEncodingUTF16);
    return corv::ConvertTo(part.get(), code).Leak();
  }
  if (k.begin == 0 && k.end == t.size()) return RuntimeLockString(s);
  return RuntimeCreateString(t.data() + k.begin, static_cast<int32_t>(k.end - k.begin), code);
}

}  // namespace

extern "C" CORVstring runTrim(CORVstring s) {
  return Trim(s, true, true);
}
extern "C" CORVstring runLTrim(CORVstring s) {
  return Trim(s, true, false);
}
extern "C" CORVstring runRTrim(CORVstring s) {
  return Trim(s, false, true);
}
