// Left, Right, Mid, Len and Chr: extraction by bytes and by characters.
// A result equal to the whole string is the string itself.
#include "lib/string_chars.h"
#include "lib/string_record.h"

namespace {

using corv::CharUnits;
using corv::UBytes;

// The bytes [offset, offset + length) of s, same encoding.
CORVstring Bytes(CORVstring s, size_t offset, size_t length) {
  if (length == 0) return nullptr;
  if (offset == 0 && length == s->length) return RuntimeLockString(s);
  return RuntimeCreateString(CORVStringBytes(s) + offset, static_cast<int32_t>(length),
                             s->encoding);
}

}  // namespace

extern "C" CORVstring StringLeft(CORVstring s, int32_t n) {
  if (!s || n <= 0) return nullptr;
  return Bytes(s, 0, static_cast<uint32_t>(n) < s->length ? static_cast<uint32_t>(n) : s->length);
}

extern "C" CORVstring StringRight(CORVstring s, int32_t n) {
  if (!s || n <= 0) return nullptr;
  size_t take = static_cast<uint32_t>(n) < s->length ? static_cast<uint32_t>(n) : s->length;
  return Bytes(s, s->length - take, take);
}

extern "C" CORVstring StringMid2(CORVstring s, int32_t start) {
  if (!s) return nullptr;
  int64_t offset = static_cast<int64_t>(start) - 1;
  if (offset < 0) offset = 0;
  if (offset >= s->length) return nullptr;
  return Bytes(s, static_cast<size_t>(offset), s->length - static_cast<size_t>(offset));
}

extern "C" CORVstring StringMid3(CORVstring s, int32_t start, int32_t length) {
  if (!s) return nullptr;
  int64_t offset = static_cast<int64_t>(start) - 1, len = length;
  if (offset < 0) {
    len += offset;
    offset = 0;
  }
  if (len <= 0 || offset >= s->length) return nullptr;
  int64_t rest = static_cast<int64_t>(s->length) - offset;
  return Bytes(s, static_cast<size_t>(offset), static_cast<size_t>(len < rest ? len : rest));
}

extern "C" CORVstring StringDBCSLeft(CORVstring s, int32_t n) {
  if (!s || n <= 0) return nullptr;
  size_t end = CharUnits::Of(s->encoding).Advance(UBytes(s), s->length, 0, n);
  return Bytes(s, 0, end);
}

extern "C" CORVstring StringDBCSRight(CORVstring s, int32_t n) {
  if (!s || n <= 0) return nullptr;
  size_t begin = CharUnits::Of(s->encoding).BackFromEnd(UBytes(s), s->length, n);
  return Bytes(s, begin, s->length - begin);
}

extern "C" CORVstring StringDBCSMid2(CORVstring s, int32_t start) {
  if (!s) return nullptr;
  int64_t skip = start <= 0 ? 0 : static_cast<int64_t>(start) - 1;
  size_t offset = CharUnits::Of(s->encoding).Advance(UBytes(s), s->length, 0, skip);
  return Bytes(s, offset, s->length - offset);
}

extern "C" CORVstring StringDBCSMid3(CORVstring s, int32_t start, int32_t length) {
  if (!s || length <= 0) return nullptr;
  int64_t first = start, len = length;
  if (first <= 0) {
    len += first - 1;
    first = 1;
  }
  if (len <= 0) return nullptr;
  CharUnits units = CharUnits::Of(s->encoding);
  size_t begin = units.Advance(UBytes(s), s->length, 0, first - 1);
  size_t end = units.Advance(UBytes(s), s->length, begin, len);
  return Bytes(s, begin, end - begin);
}

extern "C" int32_t StringLen(CORVstring s) {
  return static_cast<int32_t>(CORVStringLength(s));
}

extern "C" int32_t StringDBCSLen(CORVstring s) {
  if (!s) return 0;
  return CharUnits::Of(s->encoding).Count(UBytes(s), s->length);
}

extern "C" CORVstring StringDBCSChr(int32_t code) {
  if (code < 256) {
    char byte = static_cast<char>(code & 0xFF);
    return RuntimeCreateString(&byte, 1,
                               code >= 0 && code <= 127 ? kEncodingASCII : kEncodingUnknown);
  }
  char bytes[2] = {static_cast<char>((code >> 8) & 0xFF), static_cast<char>(code & 0xFF)};
  return RuntimeCreateString(bytes, 2, kEncodingUnknown);
}
