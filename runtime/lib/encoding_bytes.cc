// Per-code-page byte tables, built once per code page on first use: the
// lead bytes of double-byte code pages and the upper case of single bytes.
#include <map>
#include <memory>
#include <mutex>

#include "lib/case_map.h"
#include "lib/encoding.h"
#include "platform/code_pages.h"

namespace corv {
namespace {

struct ByteTables {
  bool doubleByte = false;
  bool lead[256] = {};
  unsigned char upper[256];
};

// Upper case of each single byte: decoded, mapped through the upper-case
// map, encoded again; kept only when it stays one byte.
void FindUpperBytes(uint32_t code, const ByteTables &leads, unsigned char *upper) {
  for (int b = 0; b < 256; ++b) upper[b] = static_cast<unsigned char>(b);
  for (int b = 'a'; b <= 'z'; ++b) upper[b] = static_cast<unsigned char>(b - 32);
  uint32_t page = CodePageOf(code);
  if (page == 65001 || !platform::CodePageAvailable(page) || IsWideUnicode(code)) return;
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
    slot->doubleByte = platform::FindLeadBytes(CodePageOf(code), slot->lead);
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
