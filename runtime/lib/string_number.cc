// Numbers as text and back (Str, Val, Hex, Oct), the double-to-Integer
// conversion, and Ticks.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "corv_event_loop.h"
#include "lib/encoding.h"
#include "lib/string_record.h"

namespace {

CORVstring Ascii(const char *begin, const char *end) {
  return RuntimeCreateString(begin, static_cast<int32_t>(end - begin), kEncodingASCII);
}

// Digits of an unsigned 32-bit value in base 8 or 16, no leading zeros.
CORVstring Digits(uint32_t value, uint32_t base) {
  char buf[16];
  char *end = buf + sizeof buf, *p = end;
  do {
    *--p = "0123456789ABCDEF"[value % base];
    value /= base;
  } while (value);
  return Ascii(p, end);
}

int DigitValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return -1;
}

// "&h", "&o", "&b" followed by digits of that base, accumulated as a 32-bit
// integer. Binary and octal skip every other character; hexadecimal skips
// what is neither digit nor letter and stops at a letter after F.
double RadixValue(std::string_view t) {
  uint32_t base;
  switch (t[1]) {
    case 'h':
    case 'H':
      base = 16;
      break;
    case 'o':
    case 'O':
      base = 8;
      break;
    case 'b':
    case 'B':
      base = 2;
      break;
    default:
      return 0;
  }
  uint32_t value = 0;
  for (unsigned char c : t.substr(2)) {
    int d = DigitValue(c);
    if (d < 0) continue;
    if (static_cast<uint32_t>(d) >= base) {
      if (base == 16) break;
      continue;
    }
    value = value * base + static_cast<uint32_t>(d);
  }
  return static_cast<double>(static_cast<int32_t>(value));
}

// The C library's ASCII-to-double in its plain form: blanks, sign, digits,
// ".", digits, exponent; it stops at the first character that does not fit.
double DecimalValue(std::string_view t) {
  size_t i = 0, n = t.size();
  while (i < n && (t[i] == ' ' || (t[i] >= '\t' && t[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < n && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
  size_t start = i, digits = 0;
  while (i < n && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  if (i < n && t[i] == '.') {
    ++i;
    while (i < n && t[i] >= '0' && t[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (i < n && (t[i] == 'e' || t[i] == 'E')) {
    size_t e = i + 1;
    if (e < n && (t[e] == '+' || t[e] == '-')) ++e;
    if (e < n && t[e] >= '0' && t[e] <= '9') {
      while (e < n && t[e] >= '0' && t[e] <= '9') ++e;
      i = e;
    }
  }
  std::string number = t[start] == '.' ? "0" : "";
  number.append(t.substr(start, i - start));
  double value = 0;
  std::from_chars(number.data(), number.data() + number.size(), value);
  return negative ? -value : value;
}

}  // namespace

extern "C" CORVstring StringStrInt32(int32_t value) {
  char buf[16];
  auto result = std::to_chars(buf, buf + sizeof buf, value);
  return Ascii(buf, result.ptr);
}

extern "C" double StringVal(CORVstring s) {
  if (!s) return 0;
  corv::String text =
      corv::IsWideUnicode(s->encoding) ? corv::ConvertTo(s, kEncodingUTF8) : corv::String::Share(s);
  std::string_view t = text.view();
  if (t.size() > 1 && t[0] == '&') return RadixValue(t);
  return DecimalValue(t);
}

extern "C" CORVstring RuntimeHex(int32_t value) {
  return Digits(static_cast<uint32_t>(value), 16);
}

extern "C" CORVstring RuntimeOct(int32_t value) {
  return Digits(static_cast<uint32_t>(value), 8);
}

extern "C" int32_t RuntimeDoubleToInteger(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) return INT32_MIN;
  return static_cast<int32_t>(value);  // truncates towards zero
}

extern "C" uint32_t RuntimeTicks(void) {
  return CORVCurrentTick();
}
