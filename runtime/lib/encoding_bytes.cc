// Per-code-page byte tables, built once per code page on first use: the
// lead bytes of double-byte code pages and the upper case of single bytes.
#include <unicode/ucnv.h>

#include <map>
#include <memory>
#include <mutex>

#include "lib/case_map.h"
#include "lib/encoding.h"

namespace corv {
namespace {

struct ByteTables {
  bool doubleByte = false;
  bool lead[256] = {};
  unsigned char upper[256];
};

// A byte is a lead byte when the converter takes it as the start of a
// longer character (it consumes it and waits for more).
void FindLeadBytes(uint32_t page, ByteTables *t) {
  const char *name = ConverterName(page);
  if (!name || page == 65001 || page == 1200 || page == 1201 || page == 12000 || page == 12001)
    return;
  UErrorCode status = U_ZERO_ERROR;
  UConverter *cnv = ucnv_open(name, &status);
  if (U_FAILURE(status)) return;
  if (ucnv_getMaxCharSize(cnv) == 2 && ucnv_getMinCharSize(cnv) == 1) {
    for (int b = 0x80; b < 256; ++b) {
      ucnv_reset(cnv);
      char byte = static_cast<char>(b);
      const char *src = &byte;
      UChar out[4];
      UChar *dst = out;
      status = U_ZERO_ERROR;
      ucnv_toUnicode(cnv, &dst, out + 4, &src, &byte + 1, nullptr, false, &status);
      if (U_SUCCESS(status) && dst == out) {
        t->lead[b] = true;
        t->doubleByte = true;
      }
    }
  }
  ucnv_close(cnv);
}

// Upper case of each single byte: decoded, mapped through the upper-case
// map, encoded again; kept only when it stays one byte.
void FindUpperBytes(uint32_t code, const ByteTables &leads, unsigned char *upper) {
  for (int b = 0; b < 256; ++b) upper[b] = static_cast<unsigned char>(b);
  for (int b = 'a'; b <= 'z'; ++b) upper[b] = static_cast<unsigned char>(b - 32);
  uint32_t page = CodePageOf(code);
  if (page == 65001 || !ConverterName(page) || IsWideUnicode(code)) return;
  for (int b = 0x80; b < 256; ++b) {
    if (leads.lead[b]) continue;
    char byte = static_cast<char>(b);
    std::u16string wide;
    if (!DecodeToUTF16(code, &byte, 1, &wide) || wide.size() != 1) continue;
    char16_t up = static_cast<char16_t>(UpperCase(wide[0]));
    if (up == wide[0]) continue;
    std::string back;
    if (EncodeFromUTF16(code, &up, 1, &back) && back.size() == 1)
      upper[b] = static_cast<unsigned char>(back[0]);
  }
}

const ByteTables &TablesFor(uint32_t code) {
  static std::mutex lock;
  static std::map<uint32_t, std::unique_ptr<ByteTables>> *tables =
      new std::map<uint32_t, std::unique_ptr<ByteTables>>;  // lives until the process ends
  std::lock_guard<std::mutex> hold(lock);
  std::unique_ptr<ByteTables> &slot = (*tables)[code];
  if (!slot) {
    slot = std::make_unique<ByteTables>();
    FindLeadBytes(CodePageOf(code), slot.get());
    FindUpperBytes(code, *slot, slot->upper);
  }
  return *slot;
}

}  // namespace

const bool *LeadByteTable(uint32_t code) {
  if (code == kEncodingUTF8 || code == kEncodingASCII || IsWideUnicode(code)) return nullptr;
  const ByteTables &t = TablesFor(code);
  return t.doubleByte ? t.lead : nullptr;
}

const unsigned char *UpperByteTable(uint32_t code) {
  return TablesFor(code).upper;
}

}  // namespace corv
