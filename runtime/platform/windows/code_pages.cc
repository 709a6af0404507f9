// Windows: code pages through MultiByteToWideChar and WideCharToMultiByte,
// the lead bytes from the page's description, and the locale ordering by
// CompareStringEx. UTF-16 and UTF-32 (1200, 1201, 12000, 12001) are no code
// pages to those calls, so they are converted here.
#include "platform/code_pages.h"

#include <windows.h>

namespace corv::platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool IsWidePage(uint32_t codePage) {
  return codePage == 1200 || codePage == 1201 || codePage == 12000 || codePage == 12001;
}

uint32_t ReadUnit(const unsigned char *p, int size, bool bigEndian) {
  uint32_t value = 0;
  for (int i = 0; i < size; ++i)
    value |= uint32_t{p[bigEndian ? i : size - 1 - i]} << (8 * (size - 1 - i));
  return value;
}

void WriteUnit(uint32_t value, int size, bool bigEndian, std::string *out) {
  for (int i = 0; i < size; ++i) {
    int shift = bigEndian ? 8 * (size - 1 - i) : 8 * i;
    out->push_back(static_cast<char>((value >> shift) & 0xFF));
  }
}

bool IsHigh(uint32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLow(uint32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// UTF-16 or UTF-32 bytes: a cut-off unit, an unpaired surrogate or a value
// beyond Unicode is malformed.
bool DecodeWide(uint32_t codePage, const char *bytes, size_t length, bool exact,
                std::u16string *out) {
  int size = codePage == 1200 || codePage == 1201 ? 2 : 4;
  bool bigEndian = codePage == 1201 || codePage == 12001;
  auto *p = reinterpret_cast<const unsigned char *>(bytes);
  size_t count = length / static_cast<size_t>(size);
  out->clear();
  auto malformed = [&] {
    if (exact) return false;
    out->push_back(kReplacement);
    return true;
  };
  for (size_t i = 0; i < count; ++i) {
    uint32_t unit = ReadUnit(p + i * static_cast<size_t>(size), size, bigEndian);
    if (size == 2) {
      if (IsHigh(unit) && i + 1 < count) {
        uint32_t next = ReadUnit(p + (i + 1) * 2, 2, bigEndian);
        if (IsLow(next)) {
          out->push_back(static_cast<char16_t>(unit));
          out->push_back(static_cast<char16_t>(next));
          ++i;
          continue;
        }
      }
      if ((IsHigh(unit) || IsLow(unit)) && !malformed()) return false;
      if (!IsHigh(unit) && !IsLow(unit)) out->push_back(static_cast<char16_t>(unit));
      continue;
    }
    if (unit > 0x10FFFF || IsHigh(unit) || IsLow(unit)) {
      if (!malformed()) return false;
    } else if (unit > 0xFFFF) {
      unit -= 0x10000;
      out->push_back(static_cast<char16_t>(0xD800 + (unit >> 10)));
      out->push_back(static_cast<char16_t>(0xDC00 + (unit & 0x3FF)));
    } else {
      out->push_back(static_cast<char16_t>(unit));
    }
  }
  if (length % static_cast<size_t>(size) != 0 && !malformed()) return false;
  return true;
}

// A lone surrogate becomes the replacement character.
void AppendWide(uint32_t codePage, const char16_t *units, size_t count, std::string *out) {
  int size = codePage == 1200 || codePage == 1201 ? 2 : 4;
  bool bigEndian = codePage == 1201 || codePage == 12001;
  for (size_t i = 0; i < count; ++i) {
    uint32_t unit = units[i];
    if (IsHigh(unit) && i + 1 < count && IsLow(units[i + 1])) {
      if (size == 2) {
        WriteUnit(unit, 2, bigEndian, out);
        WriteUnit(units[++i], 2, bigEndian, out);
      } else {
        WriteUnit(0x10000 + ((unit - 0xD800) << 10) + (units[++i] - 0xDC00), 4, bigEndian, out);
      }
      continue;
    }
    WriteUnit(IsHigh(unit) || IsLow(unit) ? kReplacement : unit, size, bigEndian, out);
  }
}

}  // namespace

bool CodePageAvailable(uint32_t codePage) {
  return IsWidePage(codePage) || IsValidCodePage(codePage);
}

bool DecodeCodePage(uint32_t codePage, const char *bytes, size_t length, bool exact,
                    std::u16string *out) {
  if (IsWidePage(codePage)) return DecodeWide(codePage, bytes, length, exact, out);
  if (!IsValidCodePage(codePage)) return false;
  out->clear();
  if (length == 0) return true;
  DWORD flags = exact ? MB_ERR_INVALID_CHARS : 0;
  int size = static_cast<int>(length);
  int count = MultiByteToWideChar(codePage, flags, bytes, size, nullptr, 0);
  if (count <= 0) return false;
  out->resize(static_cast<size_t>(count));
  return MultiByteToWideChar(codePage, flags, bytes, size, reinterpret_cast<wchar_t *>(out->data()),
                             count) == count;
}

bool AppendInCodePage(uint32_t codePage, const char16_t *units, size_t count, std::string *out) {
  if (IsWidePage(codePage)) {
    AppendWide(codePage, units, count, out);
    return true;
  }
  if (!IsValidCodePage(codePage)) return false;
  if (count == 0) return true;
  auto *wide = reinterpret_cast<const wchar_t *>(units);
  int size = static_cast<int>(count);
  // UTF-8 takes no default character: it writes U+FFFD for a lone surrogate.
  const char *fallback = codePage == CP_UTF8 ? nullptr : "?";
  int bytes = WideCharToMultiByte(codePage, 0, wide, size, nullptr, 0, fallback, nullptr);
  if (bytes <= 0) return false;
  size_t at = out->size();
  out->resize(at + static_cast<size_t>(bytes));
  if (WideCharToMultiByte(codePage, 0, wide, size, out->data() + at, bytes, fallback, nullptr) !=
      bytes) {
    out->resize(at);
    return false;
  }
  return true;
}

bool FindLeadBytes(uint32_t codePage, bool lead[256]) {
  CPINFO info;
  if (IsWidePage(codePage) || codePage == CP_UTF8 || !GetCPInfo(codePage, &info) ||
      info.MaxCharSize != 2)
    return false;
  bool found = false;
  for (int i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i]; i += 2)
    for (int b = info.LeadByte[i]; b <= info.LeadByte[i + 1]; ++b) lead[b] = found = true;
  return found;
}

uint32_t SystemCodePage() {
  return GetACP();
}

int CompareInLocale(std::u16string_view a, std::u16string_view b) {
  int result = CompareStringEx(
      LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, reinterpret_cast<const wchar_t *>(a.data()),
      static_cast<int>(a.size()), reinterpret_cast<const wchar_t *>(b.data()),
      static_cast<int>(b.size()), nullptr, nullptr, 0);
  return result == CSTR_LESS_THAN ? -1 : result == CSTR_GREATER_THAN ? 1 : 0;
}

}  // namespace corv::platform
