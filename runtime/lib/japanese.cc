// Arithmetic between the JIS X 0208 row/cell form (EUC-JP, ISO-2022-JP) and
// Shift-JIS. Half-width katakana travel as single bytes 0xA1-0xDF in
// Shift-JIS, after 0x8E in EUC-JP and under "ESC ( I" in ISO-2022-JP.
// Characters that one side cannot carry (JIS X 0212, Shift-JIS pages above
// row 94) become "?".
#include "lib/japanese.h"

#include <cstdint>

namespace corv {
namespace {

bool IsSjisLead(uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// JIS row/cell bytes (0x21-0x7E each) to Shift-JIS.
void JisToSjis(uint8_t j1, uint8_t j2, std::string *out) {
  uint8_t s1 = static_cast<uint8_t>(((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0));
  uint8_t s2;
  if (j1 & 1)
    s2 = static_cast<uint8_t>(j2 + (j2 < 0x60 ? 0x1F : 0x20));
  else
    s2 = static_cast<uint8_t>(j2 + 0x7E);
  out->push_back(static_cast<char>(s1));
  out->push_back(static_cast<char>(s2));
}

// Shift-JIS lead and trail to JIS row/cell; false outside JIS X 0208's rows.
bool SjisToJis(uint8_t s1, uint8_t s2, uint8_t *j1, uint8_t *j2) {
  if (s2 < 0x40 || s2 == 0x7F || s2 > 0xFC) return false;
  int row = (s1 - (s1 <= 0x9F ? 0x70 : 0xB0)) * 2 - 1;
  int cell;
  if (s2 >= 0x9F) {
    ++row;
    cell = s2 - 0x7E;
  } else {
    cell = s2 - (s2 >= 0x80 ? 0x20 : 0x1F);
  }
  if (row < 0x21 || row > 0x7E || cell < 0x21 || cell > 0x7E) return false;
  *j1 = static_cast<uint8_t>(row);
  *j2 = static_cast<uint8_t>(cell);
  return true;
}

bool IsJisByte(uint8_t b) {
  return b >= 0x21 && b <= 0x7E;
}

}  // namespace

std::string EucJpToShiftJis(std::string_view euc) {
  std::string out;
  out.reserve(euc.size());
  for (size_t i = 0; i < euc.size(); ++i) {
    uint8_t b = static_cast<uint8_t>(euc[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else if (b == 0x8E && i + 1 < euc.size()) {  // half-width katakana
      out.push_back(euc[++i]);
    } else if (b == 0x8F) {  // JIS X 0212: not in code page 932
      i += 2;
      out.push_back('?');
    } else if (b >= 0xA1 && b <= 0xFE && i + 1 < euc.size()) {
      uint8_t b2 = static_cast<uint8_t>(euc[++i]);
      JisToSjis(b & 0x7F, b2 & 0x7F, &out);
    } else {
      out.push_back('?');
    }
  }
  return out;
}

std::string ShiftJisToEucJp(std::string_view sjis) {
  std::string out;
  out.reserve(sjis.size() + sjis.size() / 2);
  for (size_t i = 0; i < sjis.size(); ++i) {
    uint8_t b = static_cast<uint8_t>(sjis[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
    } else if (b >= 0xA1 && b <= 0xDF) {
      out.push_back(static_cast<char>(0x8E));
      out.push_back(static_cast<char>(b));
    } else if (IsSjisLead(b) && i + 1 < sjis.size()) {
      uint8_t j1, j2;
      if (SjisToJis(b, static_cast<uint8_t>(sjis[++i]), &j1, &j2)) {
        out.push_back(static_cast<char>(j1 | 0x80));
        out.push_back(static_cast<char>(j2 | 0x80));
      } else {
        out.push_back('?');
      }
    } else {
      out.push_back('?');
    }
  }
  return out;
}

std::string Iso2022JpToShiftJis(std::string_view iso) {
  enum { kRoman, kKanji, kKana } mode = kRoman;
  std::string out;
  out.reserve(iso.size());
  for (size_t i = 0; i < iso.size(); ++i) {
    uint8_t b = static_cast<uint8_t>(iso[i]);
    if (b == 0x1B && i + 2 < iso.size()) {
      std::string_view esc = iso.substr(i + 1, 2);
      if (esc == "$B" || esc == "$@")
        mode = kKanji;
      else if (esc == "(B" || esc == "(J")
        mode = kRoman;
      else if (esc == "(I")
        mode = kKana;
      else
        out.push_back('?');
      i += 2;
    } else if (b == '\r' || b == '\n') {
      mode = kRoman;  // a line always ends in ASCII
      out.push_back(static_cast<char>(b));
    } else if (mode == kKanji && IsJisByte(b) && i + 1 < iso.size() &&
               IsJisByte(static_cast<uint8_t>(iso[i + 1]))) {
      JisToSjis(b, static_cast<uint8_t>(iso[++i]), &out);
    } else if (mode == kKana && b >= 0x21 && b <= 0x5F) {
      out.push_back(static_cast<char>(b | 0x80));
    } else if (b < 0x80 && mode != kKanji) {
      out.push_back(static_cast<char>(b));
    } else {
      out.push_back('?');
    }
  }
  return out;
}

std::string ShiftJisToIso2022Jp(std::string_view sjis) {
  enum { kRoman, kKanji, kKana } mode = kRoman;
  std::string out;
  out.reserve(sjis.size() * 2);
  auto enter = [&](decltype(mode) m, const char *esc) {
    if (mode != m) out += esc;
    mode = m;
  };
  for (size_t i = 0; i < sjis.size(); ++i) {
    uint8_t b = static_cast<uint8_t>(sjis[i]);
    uint8_t j1, j2;
    if (b < 0x80) {
      enter(kRoman, "\x1B(B");
      out.push_back(static_cast<char>(b));
    } else if (b >= 0xA1 && b <= 0xDF) {
      enter(kKana, "\x1B(I");
      out.push_back(static_cast<char>(b & 0x7F));
    } else if (IsSjisLead(b) && i + 1 < sjis.size() &&
               SjisToJis(b, static_cast<uint8_t>(sjis[i + 1]), &j1, &j2)) {
      ++i;
      enter(kKanji, "\x1B$B");
      out.push_back(static_cast<char>(j1));
      out.push_back(static_cast<char>(j2));
    } else {
      if (IsSjisLead(b) && i + 1 < sjis.size()) ++i;
      enter(kRoman, "\x1B(B");
      out.push_back('?');
    }
  }
  if (mode != kRoman) out += "\x1B(B";  // end in ASCII
  return out;
}

}  // namespace corv
