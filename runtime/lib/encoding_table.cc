// The encoding table: every text-encoding code with the code page it
// converts by, the bytes where a page's converter departs from Microsoft's
// table of it, and the system encoding.
#include <map>

#include "lib/encoding.h"
#include "platform/code_pages.h"

namespace corv {
namespace {

constexpr uint32_t kCodePageCode = 0xFFFF0000u;  // + N: Windows code page N

// In the order of the Encodings getter: index 1 is the first entry.
const EncodingEntry kEncodings[] = {
    // Unicode forms and ASCII.
    {kEncodingUTF8, 65001},
    {kEncodingUTF16, 1200},
    {kEncodingUTF16BE, 1201},
    {kEncodingUTF16LE, 1200},
    {kEncodingUTF32LE, 12000},
    {kEncodingUTF32BE, 12001},
    {kEncodingASCII, 20127},
    // Windows.
    {0x500, 1252},
    {0x501, 1250},
    {0x502, 1251},
    {0x503, 1253},
    {0x504, 1254},
    {0x505, 1255},
    {0x506, 1256},
    {0x507, 1257},
    {0x508, 1258},
    {0x510, 1361},
    // ISO 8859.
    {0x201, 28591},
    {0x202, 28592},
    {0x203, 28593},
    {0x204, 28594},
    {0x205, 28595},
    {0x206, 708},
    {0x207, 28597},
    {0x208, 28598},
    {0x209, 28599},
    {0x20F, 28605},
    // DOS.
    {0x400, 437},
    {0x405, 737},
    {0x406, 775},
    {0x410, 850},
    {0x411, 851},
    {0x412, 852},
    {0x413, 855},
    {0x414, 857},
    {0x415, 860},
    {0x416, 861},
    {0x417, 862},
    {0x418, 863},
    {0x419, 864},
    {0x41A, 865},
    {0x41B, 866},
    {0x41C, 869},
    {0x41D, 874},
    {0x420, 932},
    {0x421, 936},
    {0x422, 949},
    {0x423, 950},
    // Mac script codes.
    {0, 10000},
    {1, 10001},
    {2, 10002},
    {3, 10003},
    {4, 10004},
    {5, 10005},
    {6, 10006},
    {7, 10007},
    {21, 10021},
    {25, 10008},
    {29, 10029},
    {35, 10081},
    {36, 10082},
    {37, 10079},
    {38, 10010},
    // Others; 0x920 (EUC-JP) and 0x820 (ISO-2022-JP) are transcoded by the
    // runtime itself by way of code page 932.
    {0x631, 936},
    {0xA01, 932},
    {0xA02, 20866},
    {0xC01, 37},
    {0xC02, 37},
    {0x920, 932},
    {0x820, 932},
    // UTF-32 little-endian under its second code.
    {kEncodingUTF32LEAlt, 12000},
};

// Bytes whose character follows Microsoft's published table of the page
// where ICU's converter, which follows IBM's, differs. IBM's DOS tables
// rotate the controls 1A, 1C and 7F into one another (for the graphic
// characters of the PC's screen); Microsoft's keep every control itself.
// IBM's 437 family has the Greek mu at E6 where Microsoft has the micro
// sign; 852, 864 and 869 differ in a few letters and signs; Microsoft's Mac
// Cyrillic keeps the currency sign that Apple later replaced by the euro.
// Page 851 has no Microsoft table: only its controls follow the others.
struct ByteCharacter {
  unsigned char byte;
  char16_t character;
};
struct PageOverrides {
  uint32_t codePage;
  bool dosControls;        // 1A, 1C and 7F map to themselves
  ByteCharacter bytes[4];  // entries without a character are unused
};
const PageOverrides kOverrides[] = {
    {437, true, {{0xE6, 0x00B5}}},
    {737, true, {}},
    {775, true, {}},
    {850, true, {}},
    {851, true, {}},
    {852, true, {{0xAA, 0x00AC}}},
    {855, true, {}},
    {857, true, {}},
    {860, true, {{0xE6, 0x00B5}}},
    {861, true, {{0xE6, 0x00B5}}},
    {862, true, {{0xE6, 0x00B5}}},
    {863, true, {{0xE6, 0x00B5}}},
    {864, true, {{0x25, 0x066A}, {0xD7, 0xFEC1}, {0xD8, 0xFEC5}, {0xF1, 0x0651}}},
    {865, true, {{0xE6, 0x00B5}}},
    {866, true, {}},
    {869, true, {{0x88, 0x00B7}, {0xEF, 0x0384}}},
    {10007, false, {{0xFF, 0x00A4}}},
};

// The code of the system's own text: its code page, or UTF-8 when the
// system names none of them (also for plain ASCII, so that console text is
// never narrowed to it).
uint32_t CodeOfSystemText() {
  uint32_t page = platform::SystemCodePage();
  if (page == 0 || page == 65001 || page == 20127) return kEncodingUTF8;
  return kCodePageCode + page;
}

}  // namespace

const EncodingEntry *EncodingTable(size_t *count) {
  *count = sizeof kEncodings / sizeof kEncodings[0];
  return kEncodings;
}

uint32_t SystemEncoding() {
  static const uint32_t code = CodeOfSystemText();
  return code;
}

uint32_t CodePageOf(uint32_t code) {
  if (code == kEncodingUnknown) {
    uint32_t system = SystemEncoding();
    uint32_t page = system == kEncodingUnknown ? 0 : CodePageOf(system);
    return page ? page : 1252;
  }
  if (code > kCodePageCode) return code - kCodePageCode;
  for (const EncodingEntry &entry : kEncodings)
    if (entry.code == code) return entry.codePage;
  return 0;
}

const ByteOverrides *ByteOverridesOf(uint32_t codePage) {
  static const auto *tables = [] {
    auto *all = new std::map<uint32_t, ByteOverrides>;  // lives until the process ends
    for (const PageOverrides &page : kOverrides) {
      ByteOverrides &t = (*all)[page.codePage];
      auto add = [&t](unsigned char byte, char16_t c) {
        t.character[byte] = c;
        t.bytes[t.count++] = byte;
      };
      if (page.dosControls)
        for (unsigned char control : {0x1A, 0x1C, 0x7F}) add(control, control);
      for (const ByteCharacter &b : page.bytes)
        if (b.character) add(b.byte, b.character);
    }
    return all;
  }();
  auto found = tables->find(codePage);
  return found == tables->end() ? nullptr : &found->second;
}

}  // namespace corv

extern "C" uint32_t RuntimeSystemEncoding(void) {
  return corv::SystemEncoding();
}
