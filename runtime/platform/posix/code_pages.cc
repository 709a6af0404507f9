// POSIX: code pages through ICU converters, opened by an explicit name for
// each page (ICU's own aliases differ from page to page: "cp1200" means
// UTF-16BE, "cp10000" does not open), and the locale ordering through an
// ICU collator.
#include "platform/code_pages.h"

#include <unicode/ucnv.h>
#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/system_locale.h"

namespace corv::platform {
namespace {

// Pages missing here count as not available.
struct ConverterEntry {
  uint32_t codePage;
  const char *name;
};
const ConverterEntry kConverters[] = {
    {65001, "UTF-8"},
    {1200, "UTF-16LE"},
    {1201, "UTF-16BE"},
    {12000, "UTF-32LE"},
    {12001, "UTF-32BE"},
    {20127, "US-ASCII"},
    {1250, "windows-1250"},
    {1251, "windows-1251"},
    {1252, "windows-1252"},
    {1253, "windows-1253"},
    {1254, "windows-1254"},
    {1255, "windows-1255"},
    {1256, "windows-1256"},
    {1257, "windows-1257"},
    {1258, "windows-1258"},
    {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},
    {708, "ASMO-708"},
    {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},
    {28605, "ISO-8859-15"},
    {437, "IBM437"},
    {737, "ibm-737"},
    {775, "ibm-775"},
    {850, "ibm-850"},
    {851, "ibm-851"},
    {852, "ibm-852"},
    {855, "ibm-855"},
    {857, "ibm-857"},
    {860, "ibm-860"},
    {861, "ibm-861"},
    {862, "ibm-862"},
    {863, "ibm-863"},
    {864, "ibm-864"},
    {865, "ibm-865"},
    {866, "ibm-866"},
    {869, "ibm-869"},
    {874, "windows-874"},
    {932, "windows-932"},
    {936, "windows-936"},
    {949, "windows-949"},
    {950, "windows-950"},
    {20866, "KOI8-R"},
    {37, "ibm-37"},
    {10000, "macos-0_2-10.2"},
    {10006, "macos-6_2-10.4"},
    {10007, "macos-7_3-10.2"},
    {10029, "macos-29-10.2"},
    {10081, "macos-35-10.2"},
};

const char *ConverterName(uint32_t codePage) {
  for (const ConverterEntry &entry : kConverters)
    if (entry.codePage == codePage) return entry.name;
  return nullptr;
}

bool IsUnicodePage(uint32_t codePage) {
  return codePage == 65001 || codePage == 1200 || codePage == 1201 || codePage == 12000 ||
         codePage == 12001;
}

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

}  // namespace

bool CodePageAvailable(uint32_t codePage) {
  return ConverterFor(codePage) != nullptr;
}

bool DecodeCodePage(uint32_t codePage, const char *bytes, size_t length, bool exact,
                    std::u16string *out) {
  UConverter *cnv = ConverterFor(codePage);
  if (!cnv) return false;
  out->resize(length * 2 + 2);
  UErrorCode status = U_ZERO_ERROR;
  ucnv_setToUCallBack(cnv, exact ? UCNV_TO_U_CALLBACK_STOP : UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr,
                      nullptr, nullptr, &status);
  if (U_FAILURE(status)) return false;
  int32_t n = ucnv_toUChars(cnv, out->data(), static_cast<int32_t>(out->size()), bytes,
                            static_cast<int32_t>(length), &status);
  if (U_FAILURE(status)) return false;
  out->resize(static_cast<size_t>(n));
  return true;
}

bool AppendInCodePage(uint32_t codePage, const char16_t *units, size_t count, std::string *out) {
  UConverter *cnv = ConverterFor(codePage);
  if (!cnv) return false;
  if (count == 0) return true;
  size_t at = out->size();
  out->resize(at + UCNV_GET_MAX_BYTES_FOR_STRING(count, ucnv_getMaxCharSize(cnv)) + 4);
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = ucnv_fromUChars(cnv, out->data() + at, static_cast<int32_t>(out->size() - at), units,
                              static_cast<int32_t>(count), &status);
  if (U_FAILURE(status)) {
    out->resize(at);
    return false;
  }
  out->resize(at + static_cast<size_t>(n));
  return true;
}

// A byte is a lead byte when the converter takes it as the start of a
// longer character (it consumes it and waits for more).
bool FindLeadBytes(uint32_t codePage, bool lead[256]) {
  if (IsUnicodePage(codePage) || !ConverterName(codePage)) return false;
  UErrorCode status = U_ZERO_ERROR;
  Converter cnv(ucnv_open(ConverterName(codePage), &status));
  if (U_FAILURE(status) || ucnv_getMaxCharSize(cnv.get()) != 2 ||
      ucnv_getMinCharSize(cnv.get()) != 1)
    return false;
  bool found = false;
  for (int b = 0x80; b < 256; ++b) {
    ucnv_reset(cnv.get());
    char byte = static_cast<char>(b);
    const char *src = &byte;
    UChar units[4];
    UChar *dst = units;
    status = U_ZERO_ERROR;
    ucnv_toUnicode(cnv.get(), &dst, units + 4, &src, &byte + 1, nullptr, false, &status);
    if (U_SUCCESS(status) && dst == units) lead[b] = found = true;
  }
  return found;
}

// The page whose converter ICU takes for the same one as the locale's
// codeset.
uint32_t SystemCodePage() {
  UErrorCode status = U_ZERO_ERROR;
  Converter cnv(ucnv_open(SystemCodeset().c_str(), &status));
  if (U_FAILURE(status)) return 0;
  const char *canonical = ucnv_getName(cnv.get(), &status);
  for (const ConverterEntry &entry : kConverters) {
    UErrorCode s = U_ZERO_ERROR;
    Converter other(ucnv_open(entry.name, &s));
    if (U_SUCCESS(s) && std::strcmp(ucnv_getName(other.get(), &s), canonical) == 0)
      return entry.codePage;
  }
  return 0;
}

// An ICU collator of the default locale at secondary strength.
int CompareInLocale(std::u16string_view a, std::u16string_view b) {
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
  if (!collator) return 0;
  std::lock_guard<std::mutex> hold(lock);
  UCollationResult result = ucol_strcoll(
      collator, reinterpret_cast<const UChar *>(a.data()), static_cast<int32_t>(a.size()),
      reinterpret_cast<const UChar *>(b.data()), static_cast<int32_t>(b.size()));
  return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

}  // namespace corv::platform
