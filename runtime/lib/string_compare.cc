// The language's string comparison: case ignored, over UTF-8 characters,
// UTF-16 units, or through the locale's collator for every other encoding.
#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <cstring>
#include <mutex>
#include <string>

#include "lib/case_map.h"
#include "lib/encoding.h"

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

// The locale comparison: an ICU collator of the default locale at secondary
// strength (case ignored, accents not). Equal texts of different lengths
// order by length, so that only identical strings compare equal.
int32_t CompareByLocale(const std::u16string &a, const std::u16string &b) {
  static std::mutex lock;
  static UCollator *collator = [] {
    // The "C" locale stands for ICU's en_US_POSIX, whose collation orders
    // by code point with capitals first; the root collation is its neutral form.
    const char *locale = uloc_getDefault();
    if (std::strcmp(locale, "en_US_POSIX") == 0) locale = "";
    UErrorCode status = U_ZERO_ERROR;
    UCollator *c = ucol_open(locale, &status);
    if (U_FAILURE(status)) return static_cast<UCollator *>(nullptr);
    ucol_setStrength(c, UCOL_SECONDARY);
    return c;
  }();
  UCollationResult result = UCOL_EQUAL;
  if (collator) {
    std::lock_guard<std::mutex> hold(lock);
    result = ucol_strcoll(collator, reinterpret_cast<const UChar *>(a.data()),
                          static_cast<int32_t>(a.size()), reinterpret_cast<const UChar *>(b.data()),
                          static_cast<int32_t>(b.size()));
  } else {
    return CompareUTF16(a.data(), a.size(), b.data(), b.size());
  }
  if (result == UCOL_LESS) return -1;
  if (result == UCOL_GREATER) return 1;
  return Sign(static_cast<int64_t>(a.size()) - static_cast<int64_t>(b.size()));
}

std::u16string Wide(CORVstring s) {
  std::u16string wide;
  DecodeToUTF16(s->encoding, CORVStringBytes(s), s->length, &wide);
  return wide;
}

}  // namespace
}  // namespace corv

extern "C" int32_t RuntimeStringCompare(CORVstring a, CORVstring b) {
  if (a == b) return 0;
  if (!a) return -1;
  if (!b) return 1;
  corv::Reconciled r = corv::Reconcile(a, b);
  if (r.encoding == kEncodingUTF8 || r.encoding == kEncodingASCII)
    return corv::CompareUTF8(r.a.view(), r.b.view());
  if (corv::IsHostUTF16(r.encoding))
    return corv::CompareUTF16(reinterpret_cast<const char16_t *>(r.a.data()), r.a.size() / 2,
                              reinterpret_cast<const char16_t *>(r.b.data()), r.b.size() / 2);
  return corv::CompareByLocale(corv::Wide(r.a.get()), corv::Wide(r.b.get()));
}
