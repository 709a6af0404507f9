// InStr and InStrB: the position of a find inside a source.
#include <algorithm>

#include "lib/string_search.h"

namespace {

// Long UTF-8 searches go a window at a time. Each window is counted in one
// pass that also looks for the search's anchor byte; a window without it
// holds no match except perhaps near its end, so most of a long text is
// read once. Otherwise the search runs over the window while its bytes are
// still in the cache.
constexpr size_t kCountWindow = 64 * 1024;
// Below this many bytes, a search and a count of what lies before its match
// are quicker than finding the anchor first.
constexpr size_t kAnchoredFrom = 1024;

// The 1-based character position of the first match at or after byte
// `from`, a character start with `before` characters ahead of it; 0 if none.
int32_t FindUTF8Counting(const corv::Matcher &matcher, std::string_view text, size_t from,
                         int64_t before, size_t findSize) {
  auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
  size_t n = text.size();
  // A match is at most three bytes per byte of the find (an ASCII letter
  // matches the three-byte Kelvin sign): one that starts in a window lies
  // within the window and that margin, so the search needs no more.
  size_t margin = 4 * findSize;
  unsigned char folded = 0, fold = 0;
  size_t reach = 0;
  bool anchored = n - from > kAnchoredFrom && matcher.Anchor(&folded, &fold, &reach);
  // The character start at or before `at`, but not before `floor`.
  auto startBack = [&](size_t at, size_t floor) {
    while (at > floor && !corv::IsCharStart(bytes[at])) --at;
    return at;
  };
  for (size_t at = from;;) {
    size_t limit = n - at > kCountWindow ? at + kCountWindow : n;
    if (limit < n) {
      size_t back = startBack(limit, limit - 3);
      if (back > at && corv::IsCharStart(bytes[back]))
        limit = back;  // windows end where characters begin
    }
    size_t searchFrom = at, chars = 0;
    bool counted = false;
    if (anchored) {
      bool seen;
      chars = corv::CountUTF8CharactersNoting(bytes + at, limit - at, folded, fold, &seen);
      counted = true;
      // Without the anchor in the window, a match can only start so close
      // to its end that its anchor lies beyond it.
      if (!seen) searchFrom = startBack(limit - std::min(reach, limit - at), at);
    }
    size_t begin, end;
    if (searchFrom < limit &&
        matcher.Next(text.substr(0, std::min(n, limit + margin)), searchFrom, &begin, &end) &&
        begin < limit)
      return static_cast<int32_t>(before + corv::CountUTF8Characters(bytes + at, begin - at)) + 1;
    if (limit >= n) return 0;
    before += counted ? chars : corv::CountUTF8Characters(bytes + at, limit - at);
    at = limit;
  }
}

}  // namespace

extern "C" int32_t StringInStr(int32_t start, CORVstring source, CORVstring find) {
  if (!source) return 0;
  if (!find) return start;
  corv::Reconciled r = corv::Reconcile(source, find);
  std::string_view text = r.a.view(), pattern = r.b.view();
  int64_t offset = start > 0 ? static_cast<int64_t>(start) - 1 : 0;
  if (offset >= static_cast<int64_t>(text.size())) return 0;
  corv::CharUnits units = corv::CharUnits::Of(r.encoding);
  // A UTF-8 match may take fewer bytes than its find (the Kelvin sign's
  // three bytes are matched by "k"), but never fewer than a third of them.
  size_t shortestMatch =
      units.kind == corv::CharUnits::kUTF8 ? (pattern.size() + 2) / 3 : pattern.size();
  if (shortestMatch > text.size() - static_cast<size_t>(offset)) return 0;
  auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
  size_t from = units.Advance(bytes, text.size(), 0, offset);
  corv::Matcher matcher(r.encoding, pattern, true);
  // Before a character start short of the end lie exactly `offset` characters.
  if (units.kind == corv::CharUnits::kUTF8 && from < text.size())
    return FindUTF8Counting(matcher, text, from, offset, pattern.size());
  size_t begin, end;
  if (!matcher.Next(text, from, &begin, &end)) return 0;
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
