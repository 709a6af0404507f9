// InStr and InStrB: the position of a find inside a source.
#include "lib/string_search.h"

extern "C" int32_t StringInStr(int32_t start, CORVstring source, CORVstring find) {
  if (!source) return 0;
  if (!find) return start;
  corv::Reconciled r = corv::Reconcile(source, find);
  std::string_view text = r.a.view(), pattern = r.b.view();
  int64_t offset = start > 0 ? static_cast<int64_t>(start) - 1 : 0;
  if (offset >= static_cast<int64_t>(text.size()) ||
      pattern.size() > text.size() - static_cast<size_t>(offset))
    return 0;
  corv::CharUnits units = corv::CharUnits::Of(r.encoding);
  auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
  size_t from = units.Advance(bytes, text.size(), 0, offset);
  size_t begin, end;
  if (!corv::Matcher(r.encoding, pattern, true).Next(text, from, &begin, &end)) return 0;
  return units.Count(bytes, begin) + 1;
}

extern "C" int32_t StringInStrB(int32_t start, CORVstring source, CORVstring find) {
  if (!source) return 0;
  if (!find) return start;
  int64_t offset = start > 0 ? static_cast<int64_t>(start) - 1 : 0;
  if (offset >= source->length || find->length > source->length - static_cast<uint32_t>(offset))
    return 0;
  size_t at = corv::FindBytes({CORVStringBytes(source), source->length},
                              {CORVStringBytes(find), find->length}, static_cast<size_t>(offset));
  return at == corv::kNotFound ? 0 : static_cast<int32_t>(at) + 1;
}
