// The common encoding of two strings, and concatenation built on it.
#include <cstdint>
#include <cstring>

#include "corv/exception.h"

#include "lib/encoding.h"
#include "lib/string_record.h"

namespace corv {

uint32_t CommonEncoding(uint32_t e1, uint32_t e2, bool force) {
  if (e1 == e2) return e1;
  auto asciiOrUtf8 = [](uint32_t e) { return e == kEncodingASCII || e == kEncodingUTF8; };
  if (asciiOrUtf8(e1) && asciiOrUtf8(e2)) return kEncodingUTF8;
  // ASCII is a subset of every encoding whose bytes are ASCII-compatible.
  if (e1 == kEncodingASCII && IsAsciiCompatible(e2)) return e2;
  if (e2 == kEncodingASCII && IsAsciiCompatible(e1)) return e1;
  if (!force) return kEncodingUnknown;
  bool utf16 =
      (e1 == kEncodingUTF16 || e2 == kEncodingUTF16) && e1 != kEncodingUTF8 && e2 != kEncodingUTF8;
  return utf16 ? kEncodingUTF16 : kEncodingUTF8;
}

Reconciled Reconcile(CORVstring a, CORVstring b) {
  Reconciled r{String::Share(a), String::Share(b), kEncodingASCII};
  if (!a || !b) {
    r.encoding = a ? a->encoding : b ? b->encoding : static_cast<uint32_t>(kEncodingASCII);
    return r;
  }
  uint32_t e1 = a->encoding, e2 = b->encoding;
  if (e1 == e2) {
    r.encoding = e1;
    return r;
  }
  if (e1 == kEncodingUnknown || e2 == kEncodingUnknown) {
    r.encoding = kEncodingUnknown;
    return r;
  }
  uint32_t common = CommonEncoding(e1, e2, false);
  if (common != kEncodingUnknown) {
    r.encoding = common;
    return r;
  }
  bool utf16 =
      (e1 == kEncodingUTF16 || e2 == kEncodingUTF16) && e1 != kEncodingUTF8 && e2 != kEncodingUTF8;
  uint32_t target = utf16 ? kEncodingUTF16 : kEncodingUTF8;
  String ca = ConvertTo(a, target);
  String cb = ConvertTo(b, target);
  if (ca.empty() || cb.empty()) {  // one could not be converted: both stay as they were
    r.encoding = kEncodingUnknown;
    return r;
  }
  r.a = std::move(ca);
  r.b = std::move(cb);
  r.encoding = target;
  return r;
}

}  // namespace corv

namespace {

CORVstring Join(CORVstring a, CORVstring b, uint32_t encoding) {
  // Lengths are counted in 32 bits: a sum past what a string can hold would
  // wrap round to a short record that the copies below overrun.
  uint64_t length = uint64_t{a->length} + b->length;
  if (length > INT32_MAX) corv::RaiseNew(&kOutOfMemoryExceptionDecl);
  CORVstring out = corv::AllocateString(static_cast<uint32_t>(length), encoding);
  std::memcpy(corv::MutableBytes(out), CORVStringBytes(a), a->length);
  std::memcpy(corv::MutableBytes(out) + a->length, CORVStringBytes(b), b->length);
  return out;
}

}  // namespace

extern "C" CORVstring RuntimeAddString(CORVstring a, CORVstring b) {
  if (!a) return RuntimeLockString(b);
  if (!b) return RuntimeLockString(a);
  if (a->encoding == b->encoding) return Join(a, b, a->encoding);
  corv::Reconciled r = corv::Reconcile(a, b);
  return Join(r.a.get(), r.b.get(), r.encoding);
}
