// Date's SQL text forms: "YYYY-MM-DD" and "YYYY-MM-DD HH:MM:SS", written and
// read back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "corv.h"
#include "corv/exception.h"
#include "lib/calendar.h"
#include "lib/date.h"
#include "lib/encoding.h"

namespace {

// Appends the value zero-padded to at least `width` digits ("-0005" for -5
// with width 4, as the "0000" format mask writes it).
void AppendPadded(std::string &out, int32_t value, int width) {
  if (value < 0) out += '-';
  std::string digits = std::to_string(value < 0 ? -static_cast<int64_t>(value) : value);
  if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
  out += digits;
}

CORVstring MakeAscii(const std::string &text) {
  return RuntimeCreateString(text.data(), static_cast<int32_t>(text.size()), kEncodingASCII);
}

std::string SQLDateText(const CORVdateFields *f) {
  std::string out;
  AppendPadded(out, f->year, 4);
  out += '-';
  AppendPadded(out, f->month, 2);
  out += '-';
  AppendPadded(out, f->day, 2);
  return out;
}

[[noreturn]] void RaiseUnsupportedFormat() {
  corv::RaiseNew(&kUnsupportedFormatExceptionDecl);
}

// The text as ASCII characters: UTF-16 and UTF-32 texts are read unit by
// unit, anything outside ASCII becomes '?', which no number contains.
std::string AsciiText(CORVstring text) {
  const auto *bytes = reinterpret_cast<const unsigned char *>(CORVStringBytes(text));
  uint32_t length = CORVStringLength(text);
  corv::UnitLayout units = corv::UnitLayoutOf(CORVStringEncoding(text));
  std::string out;
  for (uint32_t i = 0; i + units.size <= length; i += units.size) {
    uint32_t c = units.At(bytes + i);
    out += c < 0x80 ? static_cast<char>(c) : '?';
  }
  return out;
}

// Reads a decimal integer: leading blanks, an optional sign, then digits up
// to the first non-digit; `negated` turns its sign once more (the year's
// leading minus). A field with no digit at all is not a number, and neither
// is one beyond what a 32-bit field holds, however long its digits run.
int32_t ReadNumber(std::string_view field, bool negated = false) {
  constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;  // the magnitude of INT32_MIN
  size_t i = 0;
  while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
  bool negative = negated;
  if (i < field.size() && (field[i] == '-' || field[i] == '+'))
    negative = negative != (field[i++] == '-');
  size_t start = i;
  int64_t value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    value = value * 10 + (field[i] - '0');
    if (value > kLimit) RaiseUnsupportedFormat();
  }
  if (i == start || (value == kLimit && !negative)) RaiseUnsupportedFormat();
  return static_cast<int32_t>(negative ? -value : value);
}

std::vector<std::string_view> SplitFields(std::string_view text, char delimiter) {
  std::vector<std::string_view> fields;
  if (text.empty()) return fields;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(delimiter, start);
    fields.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

// Parses "Y-M-D" and, when withTime, an optional " H:M:S" after the day,
// then sets the date (out-of-range values roll over as field changes do).
void SetFromSQLText(CORVobject self, CORVstring text, bool withTime) {
  corv::DateFields(self);  // nil raises before the text is looked at
  std::string ascii = AsciiText(text);
  std::string_view view = ascii;
  // A leading minus belongs to the year, so years before 0 read back.
  size_t first = view.find_first_not_of(" \t");
  bool negativeYear = first != std::string_view::npos && view[first] == '-';
  if (negativeYear) view.remove_prefix(first + 1);
  std::vector<std::string_view> fields = SplitFields(view, '-');
  if (fields.size() != 3) RaiseUnsupportedFormat();
  int32_t year = ReadNumber(fields[0], negativeYear);
  int32_t month = ReadNumber(fields[1]);
  int32_t day = ReadNumber(fields[2].substr(0, 2));
  int32_t hour = 0, minute = 0, second = 0;
  if (withTime) {
    std::string_view rest = fields[2].substr(fields[2].size() < 2 ? fields[2].size() : 2);
    size_t timeStart = rest.find_first_not_of(" \t");
    if (timeStart != std::string_view::npos) {
      std::vector<std::string_view> time = SplitFields(rest.substr(timeStart), ':');
      if (time.size() < 2 || time.size() > 3) RaiseUnsupportedFormat();
      hour = ReadNumber(time[0]);
      minute = ReadNumber(time[1]);
      if (time.size() == 3) second = ReadNumber(time[2]);
    }
  }
  corv::DateSetMilliseconds(
      self, corv::calendar::FieldsToMilliseconds(year, month, day, hour, minute, second, 0));
}

}  // namespace

extern "C" CORVstring dateSQLDateGetter(CORVobject self) {
  return MakeAscii(SQLDateText(corv::DateFields(self)));
}

extern "C" CORVstring dateSQLDateTimeGetter(CORVobject self) {
  const CORVdateFields *f = corv::DateFields(self);
  std::string out = SQLDateText(f);
  out += ' ';
  AppendPadded(out, f->hour, 2);
  out += ':';
  AppendPadded(out, f->minute, 2);
  out += ':';
  AppendPadded(out, f->second, 2);
  return MakeAscii(out);
}

extern "C" void dateSQLDateSetter(CORVobject self, CORVstring text) {
  SetFromSQLText(self, text, false);
}

extern "C" void dateSQLDateTimeSetter(CORVobject self, CORVstring text) {
  SetFromSQLText(self, text, true);
}
