// Replace, ReplaceAll and ReplaceLineEndings. Each result is built in one
// allocation whose length is worked out first.
#include <cstring>
#include <vector>

#include "lib/string_record.h"
#include "lib/string_search.h"

namespace {

using corv::String;

struct Span {
  size_t begin, end;
};

// source with each span replaced by `with`, tagged `encoding`.
CORVstring Rebuild(std::string_view source, const std::vector<Span> &spans, std::string_view with,
                   uint32_t encoding) {
  size_t total = source.size();
  for (const Span &s : spans) total = total - (s.end - s.begin) + with.size();
  if (total > 0x7FFFFFFF) return nullptr;  // beyond what a string can hold
  CORVstring out = corv::AllocateString(static_cast<uint32_t>(total), encoding);
  if (!out) return nullptr;
  char *p = corv::MutableBytes(out);
  size_t copied = 0;
  for (const Span &s : spans) {
    std::memcpy(p, source.data() + copied, s.begin - copied);
    p += s.begin - copied;
    std::memcpy(p, with.data(), with.size());
    p += with.size();
    copied = s.end;
  }
  std::memcpy(p, source.data() + copied, source.size() - copied);
  return out;
}

CORVstring ReplaceSome(CORVstring source, CORVstring find, CORVstring replacement, bool all) {
  if (!find || !source) return RuntimeLockString(source);
  String f = corv::ConvertTo(find, source->encoding);
  String r = corv::ConvertTo(replacement, source->encoding);
  if (f.empty()) return RuntimeLockString(source);
  std::string_view text(CORVStringBytes(source), source->length);
  corv::Matcher matcher(source->encoding, f.view(), true);
  std::vector<Span> spans;
  size_t from = 0, begin, end;
  while (matcher.Next(text, from, &begin, &end)) {
    spans.push_back({begin, end});
    if (!all) break;
    from = end;  // matches never overlap
  }
  if (spans.empty()) return RuntimeLockString(source);
  return Rebuild(text, spans, r.view(), source->encoding);
}

}  // namespace

extern "C" CORVstring StringReplace(CORVstring source, CORVstring find, CORVstring replacement) {
  return ReplaceSome(source, find, replacement, false);
}

extern "C" CORVstring StringReplaceAll(CORVstring source, CORVstring find, CORVstring replacement) {
  return ReplaceSome(source, find, replacement, true);
}

extern "C" CORVstring RuntimeReplaceLineEndings(CORVstring source, CORVstring ending) {
  if (!source) return nullptr;
  corv::Reconciled r = corv::Reconcile(source, ending);
  std::string_view text = r.a.view();
  // Line breaks are CR LF, CR or LF, in bytes or (UTF-16) in 16-bit units.
  size_t unit = corv::IsHostUTF16(r.encoding) ? 2 : 1;
  auto at = [&](size_t i) -> unsigned {
    if (unit == 1) return static_cast<unsigned char>(text[i]);
    char16_t u;
    std::memcpy(&u, text.data() + i, 2);
    return u;
  };
  std::vector<Span> spans;
  for (size_t i = 0; i + unit <= text.size(); i += unit) {
    unsigned c = at(i);
    if (c == '\r' && i + 2 * unit <= text.size() && at(i + unit) == '\n') {
      spans.push_back({i, i + 2 * unit});
      i += unit;
    } else if (c == '\r' || c == '\n') {
      spans.push_back({i, i + unit});
    }
  }
  if (spans.empty()) return RuntimeLockString(r.a.get());
  return Rebuild(text, spans, r.b.view(), r.encoding);
}
