// CountFields and NthField: a source cut into fields at each occurrence of a
// delimiter (case ignored where the delimiter has cased characters).
#include "lib/string_record.h"
#include "lib/string_search.h"

extern "C" int32_t StringCountFields(CORVstring source, CORVstring delimiter) {
  if (!source) return 0;
  if (!delimiter) return 1;
  corv::String d = corv::ConvertTo(delimiter, source->encoding);
  if (d.empty()) return 1;
  std::string_view text(CORVStringBytes(source), source->length);
  corv::Matcher matcher(source->encoding, d.view(), true);
  int32_t count = 1;
  size_t from = 0, begin, end;
  while (matcher.Next(text, from, &begin, &end)) {
    ++count;
    from = end;
  }
  return count;
}

extern "C" CORVstring StringNthField(CORVstring source, CORVstring delimiter, int32_t n) {
  if (!source || !delimiter || n <= 0) return nullptr;
  corv::String d = corv::ConvertTo(delimiter, source->encoding);
  // A delimiter with no text in the source's encoding occurs nowhere: the
  // source is its one field, as CountFields counts and Split cuts it.
  if (d.empty()) return n == 1 ? RuntimeLockString(source) : nullptr;
  std::string_view text(CORVStringBytes(source), source->length);
  corv::Matcher matcher(source->encoding, d.view(), true);
  size_t fieldStart = 0, begin, end;
  for (int32_t i = 1; i < n; ++i) {
    if (!matcher.Next(text, fieldStart, &begin, &end)) return nullptr;  // fewer than n fields
    fieldStart = end;
  }
  size_t fieldEnd = matcher.Next(text, fieldStart, &begin, &end) ? begin : text.size();
  if (fieldStart == 0 && fieldEnd == text.size()) return RuntimeLockString(source);
  return RuntimeCreateString(text.data() + fieldStart, static_cast<int32_t>(fieldEnd - fieldStart),
                             source->encoding);
}
