// Concatenation and comparison of strings (first form: byte-wise, ASCII case
// folding; encodings are reconciled once the encoding layer exists).
#include <cstring>

#include "corv.h"
#include "lib/string_record.h"

namespace {

unsigned char FoldAscii(unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }

}  // namespace

extern "C" CORVstring RuntimeAddString(CORVstring a, CORVstring b) {
  if (!a) return RuntimeLockString(b);
  if (!b) return RuntimeLockString(a);
  CORVstring out = corv::AllocateString(a->length + b->length, a->encoding);
  std::memcpy(corv::MutableBytes(out), CORVStringBytes(a), a->length);
  std::memcpy(corv::MutableBytes(out) + a->length, CORVStringBytes(b), b->length);
  return out;
}

extern "C" int32_t RuntimeStringCompare(CORVstring a, CORVstring b) {
  if (a == b) return 0;
  if (!a) return -1;
  if (!b) return 1;
  uint32_t n = a->length < b->length ? a->length : b->length;
  auto *pa = reinterpret_cast<const unsigned char *>(CORVStringBytes(a));
  auto *pb = reinterpret_cast<const unsigned char *>(CORVStringBytes(b));
  for (uint32_t i = 0; i < n; ++i) {
    unsigned char ca = FoldAscii(pa[i]), cb = FoldAscii(pb[i]);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a->length == b->length) return 0;
  return a->length < b->length ? -1 : 1;
}
