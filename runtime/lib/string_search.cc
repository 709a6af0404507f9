// The scans behind InStrB and the case-insensitive matcher. Case-insensitive
// search over ASCII-compatible text uses a skip-table scan over upper-cased
// bytes whenever every character the find can match is one byte; UTF-8
// finds with other characters are matched character by character.
#include "lib/string_search.h"

#include <algorithm>
#include <cstring>

namespace corv {
namespace {

// An ASCII character that matches only ASCII characters (unlike "k", which
// the Kelvin sign also matches).
bool IsPureAscii(uint32_t c) {
  static const auto pure = [] {
    std::vector<bool> pure(128, true);
    size_t count;
    const CasePair *table = CaseTable(&count);
    for (size_t i = 0; i < count; ++i) {
      uint32_t up = UpperCase(table[i].character);
      if (up < 128 && table[i].character >= 128) pure[up] = false;
    }
    for (int c = 0; c < 128; ++c) pure[c] = pure[UpperCase(c)];
    return pure;
  }();
  return c < 128 && pure[c];
}

// A find whose every character is ASCII and matches only ASCII characters.
bool MatchesOnlyAscii(std::string_view find) {
  for (unsigned char c : find)
    if (!IsPureAscii(c)) return false;
  return true;
}

const unsigned char *AsciiFoldTable() {
  static const auto table = [] {
    static unsigned char t[256];
    for (int b = 0; b < 256; ++b) t[b] = AsciiUpper(static_cast<unsigned char>(b));
    return t;
  }();
  return table;
}

// How common a byte is in the text the runtime searches (words, paths,
// configuration): the lower, the rarer. Long scans look for the find's
// rarest byte with memchr and check the whole find only there.
int ByteRank(unsigned char b) {
  static const auto ranks = [] {
    std::vector<int> r(256, 10);
    for (int c = 0x80; c < 256; ++c) r[c] = 40;
    for (int c = '0'; c <= '9'; ++c) r[c] = 60;
    for (int c = 'A'; c <= 'Z'; ++c) r[c] = 50;
    const char *byFrequency = "zqjxkvbpygfwmucldrhsnioate";  // English letters, rarest first
    for (int i = 0; byFrequency[i]; ++i)
      r[static_cast<unsigned char>(byFrequency[i])] = 100 + 6 * i;
    r[' '] = 255;
    r['\n'] = r['/'] = r['.'] = r[','] = 70;
    return r;
  }();
  return ranks[b];
}

// The place of the find's rarest byte: the first of the rarest, unless the
// last byte is as rare.
size_t RarestIndex(const unsigned char *p, size_t m, const unsigned char *fold) {
  auto rank = [&](size_t i) { return ByteRank(fold ? AsciiLower(p[i]) : p[i]); };
  size_t best = m - 1;
  int bestRank = rank(best);
  for (size_t i = 0; i + 1 < m; ++i)
    if (int r = rank(i); r < bestRank) {
      best = i;
      bestRank = r;
    }
  return best;
}

// How far one look for a byte goes, at first and at most, before the
// search checks its place.
constexpr size_t kFirstLookAhead = 1024;
// Up to this many candidate places, a plain folded scan finds a match
// sooner than the skip table is built.
constexpr size_t kDirectScanLimit = 64;
constexpr size_t kLookAheadWindow = 64 * 1024;

// The look-ahead for one byte: each look stops after a window and hands
// back the window's last place, which the search then checks like any
// candidate. A byte that never occurs again must not be looked for to the
// end of the text at every search, which would make repeated searches
// (ReplaceAll, Split) quadratic; and since those find their next match
// close by, the window starts small and doubles while the byte stays away,
// so that a long search soon looks far at a time.
class LookAhead {
 public:
  /// The first offset at or after `at` (below `limit`) where `b` is in
  /// `h`, the end of the window, or kNotFound at the limit.
  size_t Next(const unsigned char *h, unsigned char b, size_t at, size_t limit) {
    if (at >= limit) return kNotFound;
    size_t span = std::min(limit - at, window_);
    auto *hit = static_cast<const unsigned char *>(std::memchr(h + at, b, span));
    if (hit) return static_cast<size_t>(hit - h);
    window_ = std::min(2 * window_, kLookAheadWindow);
    return at + span < limit ? at + span - 1 : kNotFound;
  }

 private:
  size_t window_ = kFirstLookAhead;
};

// Too many false candidates for the rare byte: the skip table does better.
bool TooManyMisses(size_t misses, size_t scanned) {
  return misses > 16 && misses * 32 > scanned;
}

// The comparisons a scan may make before it hands over to FindLinear: four
// for each byte it has passed and each byte of the find. A usual text
// rejects a candidate place at its first byte or two; a text that nearly
// repeats a long find does not, and comparing the find again at each place
// would make the search quadratic.
class CompareBudget {
 public:
  CompareBudget(size_t from, size_t findSize) : from_(from), findSize_(findSize) {}
  /// Counts `compared` more bytes at place `at`; true once overspent.
  bool Spend(size_t compared, size_t at) {
    spent_ += compared;
    return spent_ > 4 * (at - from_ + findSize_);
  }

 private:
  size_t from_, findSize_, spent_ = 0;
};

// Knuth, Morris and Pratt's scan over a text's units from byte `from` to
// `n`: linear in the text and the find, whatever they hold. `read(&at,
// &unit)` reads the unit at byte `at` and moves `at` past it, or refuses
// it; `accept(start)` tells whether a match may begin at `start`.
template <typename Unit, typename ReadUnit, typename Accept>
LinearScan FindUnitsLinear(const Unit *find, size_t m, size_t from, size_t n, ReadUnit read,
                           Accept accept) {
  // border[i]: the length of the longest proper prefix of find[0..i] that
  // is also its suffix, where a mismatch after i + 1 units resumes.
  std::vector<size_t> border(m, 0);
  for (size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && find[i] != find[k]) k = border[k - 1];
    if (find[i] == find[k]) ++k;
    border[i] = k;
  }
  std::vector<size_t> starts(m);  // the byte offsets of the last m units, in a ring
  size_t k = 0;                   // units of the find matched so far
  for (size_t at = from, slot = 0; at < n; slot = slot + 1 == m ? 0 : slot + 1) {
    starts[slot] = at;
    Unit unit;
    if (!read(&at, &unit)) return {LinearScan::kStopped, starts[(slot + m - k) % m]};
    while (k > 0 && unit != find[k]) k = border[k - 1];
    if (unit == find[k] && ++k == m) {
      size_t start = starts[slot + 1 == m ? 0 : slot + 1];  // m - 1 units back
      if (accept(start)) return {LinearScan::kFound, start, at};
      k = border[m - 1];
    }
  }
  return {LinearScan::kNone};
}

// FindUnitsLinear over bytes mapped by `fold` (the find already folded) or
// exact (no fold).
size_t FindLinear(std::string_view text, std::string_view find, size_t from,
                  const unsigned char *fold) {
  auto *h = reinterpret_cast<const unsigned char *>(text.data());
  LinearScan scan = FindUnitsLinear(
      reinterpret_cast<const unsigned char *>(find.data()), find.size(), from, text.size(),
      [&](size_t *at, unsigned char *unit) {
        *unit = fold ? fold[h[*at]] : h[*at];
        ++*at;
        return true;
      },
      [](size_t) { return true; });
  return scan.result == LinearScan::kFound ? scan.start : kNotFound;
}

// How many bytes of the (folded) find match the text's at `at`, up to the
// first that differs; m when all do.
size_t MatchingBytes(const unsigned char *h, size_t at, const unsigned char *p, size_t m,
                     const unsigned char *fold) {
  size_t i = 0;
  if (fold) {
    while (i < m && fold[h[at + i]] == p[i]) ++i;
  } else {
    while (i < m && h[at + i] == p[i]) ++i;
  }
  return i;
}

size_t HorspoolScan(std::string_view text, std::string_view find, size_t from) {
  size_t m = find.size(), n = text.size();
  size_t skip[256];
  for (size_t &s : skip) s = m;
  auto *p = reinterpret_cast<const unsigned char *>(find.data());
  for (size_t i = 0; i + 1 < m; ++i) skip[p[i]] = m - 1 - i;
  auto *h = reinterpret_cast<const unsigned char *>(text.data());
  const unsigned char last = p[m - 1];
  CompareBudget budget(from, m);
  size_t pos = from;
  while (pos + m <= n) {
    unsigned char c = h[pos + m - 1];
    if (c == last) {
      size_t same = MatchingBytes(h, pos, p, m - 1, nullptr);
      if (same == m - 1) return pos;
      if (budget.Spend(same + 1, pos)) return FindLinear(text, find, pos + 1, nullptr);
    }
    pos += skip[c];
  }
  return kNotFound;
}

// The first place at or after byte `from` where the text's units, read by
// `unit` and upper-cased, are the folded find; its byte offset.
template <typename ReadUnit>
bool FindFoldedUnits(size_t length, size_t width, size_t from, const std::vector<uint32_t> &folded,
                     ReadUnit unit, size_t *start) {
  size_t n = length / width, m = folded.size(), first = (from + width - 1) / width;
  CompareBudget budget(first, m);
  for (size_t i = first; i + m <= n; ++i) {
    size_t k = 0;
    while (k < m && UpperCase(unit(width * (i + k))) == folded[k]) ++k;
    if (k == m) {
      *start = width * i;
      return true;
    }
    if (budget.Spend(k + 1, i)) {
      LinearScan scan = FindUnitsLinear(
          folded.data(), m, width * (i + 1), width * n,
          [&](size_t *at, uint32_t *u) {
            *u = UpperCase(unit(*at));
            *at += width;
            return true;
          },
          [](size_t) { return true; });
      *start = scan.start;
      return scan.result == LinearScan::kFound;
    }
  }
  return false;
}

}  // namespace

WideUnits WideUnits::Of(uint32_t encoding) {
  if (!IsWideUnicode(encoding) && encoding <= 0xFFFF0000u) return {};
  switch (CodePageOf(encoding)) {
    case 1200:
      return {2, false};
    case 1201:
      return {2, true};
    case 12000:
      return {4, false};
    case 12001:
      return {4, true};
    default:
      return {};
  }
}

size_t FindBytesDirect(std::string_view text, std::string_view find, size_t from) {
  size_t m = find.size(), n = text.size();
  if (m == 0) return from <= n ? from : kNotFound;
  const char *base = text.data();
  const char first = find[0];
  while (from + m <= n) {
    auto *hit = static_cast<const char *>(std::memchr(base + from, first, n - m + 1 - from));
    if (!hit) return kNotFound;
    size_t at = static_cast<size_t>(hit - base);
    if (std::memcmp(hit + 1, find.data() + 1, m - 1) == 0) return at;
    from = at + 1;
  }
  return kNotFound;
}

// The find's rarest byte located with memchr, the whole find compared
// there; when that byte turns out common, the Horspool skip-table scan.
size_t FindBytesSkipTable(std::string_view text, std::string_view find, size_t from) {
  size_t m = find.size(), n = text.size();
  if (m < 2) return FindBytesDirect(text, find, from);
  auto *p = reinterpret_cast<const unsigned char *>(find.data());
  auto *h = reinterpret_cast<const unsigned char *>(text.data());
  size_t r = RarestIndex(p, m, nullptr), misses = 0;
  CompareBudget budget(from, m);
  for (size_t pos = from; pos + m <= n;) {
    auto *hit = static_cast<const unsigned char *>(std::memchr(h + pos + r, p[r], n - m + 1 - pos));
    if (!hit) return kNotFound;
    size_t start = static_cast<size_t>(hit - h) - r;
    size_t same = MatchingBytes(h, start, p, m, nullptr);
    if (same == m) return start;
    pos = start + 1;
    if (budget.Spend(same + 1, start)) return FindLinear(text, find, pos, nullptr);
    if (TooManyMisses(++misses, pos - from)) return HorspoolScan(text, find, pos);
  }
  return kNotFound;
}

size_t FindBytes(std::string_view text, std::string_view find, size_t from) {
  if (from > text.size() || find.size() > text.size() - from) return kNotFound;
  size_t candidates = text.size() - from - find.size() + 1;
  if (find.size() < 5 || candidates <= 80) return FindBytesDirect(text, find, from);
  return FindBytesSkipTable(text, find, from);
}

bool HasCasedCharacter(uint32_t encoding, std::string_view find) {
  auto *p = reinterpret_cast<const unsigned char *>(find.data());
  const unsigned char *end = p + find.size();
  if (encoding == kEncodingUTF8) {
    while (p < end)
      if (HasCaseMapping(DecodeUTF8(&p, end))) return true;
    return false;
  }
  WideUnits wide = WideUnits::Of(encoding);
  if (wide.size > 1) {
    for (size_t i = 0; i + wide.size <= find.size(); i += wide.size)
      if (HasCaseMapping(wide.At(find.data(), i))) return true;
    return false;
  }
  const unsigned char *upper =
      encoding == kEncodingASCII ? AsciiFoldTable() : UpperByteTable(encoding);
  for (; p < end; ++p)
    if (upper[*p] != *p) return true;
  // Lower-case letters: a byte is cased when some other byte upper-cases to it.
  for (int b = 0; b < 256; ++b)
    if (upper[b] != b)
      for (const unsigned char *q = reinterpret_cast<const unsigned char *>(find.data()); q < end;
           ++q)
        if (*q == upper[b]) return true;
  return false;
}

Matcher::Matcher(uint32_t encoding, std::string_view find, bool caseless)
    : find_(find), units_(CharUnits::Of(encoding)), wide_(WideUnits::Of(encoding)) {
  if (find.size() % wide_.size != 0) {
    mode_ = kNothing;  // its last bytes are part of a unit, which no text unit matches
    return;
  }
  if (!caseless || find.empty() || !HasCasedCharacter(encoding, find)) {
    mode_ = units_.kind == CharUnits::kDoubleByte || wide_.size > 1 ? kExactUnits : kExact;
    return;
  }
  if (units_.kind == CharUnits::kDoubleByte) {
    mode_ = kDoubleByte;
    fold_ = UpperByteTable(encoding);
    return;
  }
  if (wide_.size > 1) {
    mode_ = kWide;
    for (size_t i = 0; i < find.size(); i += wide_.size)
      folded_.push_back(UpperCase(wide_.At(find.data(), i)));
    return;
  }
  if (units_.kind == CharUnits::kUTF8 && !MatchesOnlyAscii(find)) {
    mode_ = kUTF8;
    auto *p = reinterpret_cast<const unsigned char *>(find.data());
    const unsigned char *end = p + find.size();
    while (p < end) folded_.push_back(UpperCase(DecodeUTF8(&p, end)));
    // Every character that upper-cases as the first one may begin a match.
    uint32_t first = folded_[0];
    auto addLead = [&](uint32_t ch) {
      char buf[4];
      if (UpperCase(ch) == first && EncodeUTF8(ch, buf))
        firstLead_[static_cast<unsigned char>(buf[0])] = true;
    };
    addLead(first);
    for (uint32_t c = 0; c < 128; ++c) addLead(c);
    size_t count;
    const CasePair *table = CaseTable(&count);
    for (size_t i = 0; i < count; ++i) {
      addLead(table[i].character);
      addLead(table[i].folded);
    }
    if (first >= 128) {  // a character without mapping matches itself only
      char buf[4];
      if (EncodeUTF8(first, buf)) firstLead_[static_cast<unsigned char>(buf[0])] = true;
    }
    // The anchor: the rarest character of the find that only ASCII bytes
    // match, looked for with memchr in each of its (at most two) forms.
    for (size_t i = 0; i < folded_.size(); ++i)
      if (IsPureAscii(folded_[i]) &&
          (rareCount_ == 0 ||
           ByteRank(AsciiLower(folded_[i])) < ByteRank(AsciiLower(folded_[rareIndex_])))) {
        rareIndex_ = i;
        rareCount_ = 1;
      }
    if (rareCount_ > 0) {
      unsigned char anchor = static_cast<unsigned char>(folded_[rareIndex_]);
      rareBytes_[0] = anchor;
      rareBytes_[1] = static_cast<unsigned char>(AsciiLower(anchor));
      rareCount_ = rareBytes_[1] != anchor ? 2 : 1;
    }
    return;
  }
  mode_ = kFoldedBytes;
  fold_ = units_.kind == CharUnits::kUTF8 || encoding == kEncodingASCII ? AsciiFoldTable()
                                                                        : UpperByteTable(encoding);
  for (char &c : find_) c = static_cast<char>(fold_[static_cast<unsigned char>(c)]);
}

// Most searches are short (a name in a line) and end before the rarest byte
// and the skip table would pay for themselves, so each waits for the first
// scan that needs it.
void Matcher::FindRareBytes() const {
  // The rarest byte of the find, and the (at most two) bytes that fold to it.
  rareIndex_ =
      RarestIndex(reinterpret_cast<const unsigned char *>(find_.data()), find_.size(), fold_);
  unsigned char rare = static_cast<unsigned char>(find_[rareIndex_]);
  rareCount_ = 0;
  if (fold_ == AsciiFoldTable()) {
    rareBytes_[rareCount_++] = rare;
    if (rare >= 'A' && rare <= 'Z') rareBytes_[rareCount_++] = AsciiLower(rare);
  } else {
    for (int b = 0; b < 256; ++b)
      if (fold_[b] == rare) {
        if (rareCount_ == 2) {
          rareCount_ = 0;  // more than two: the skip table alone
          break;
        }
        rareBytes_[rareCount_++] = static_cast<unsigned char>(b);
      }
  }
  rareFound_ = true;
}

void Matcher::BuildSkipTable() const {
  size_t m = find_.size();
  // Every byte that folds like a byte of the find gets that byte's skip.
  size_t foldedSkip[256];
  for (size_t &s : foldedSkip) s = m;
  for (size_t i = 0; i + 1 < m; ++i) foldedSkip[static_cast<unsigned char>(find_[i])] = m - 1 - i;
  for (int b = 0; b < 256; ++b) skip_[b] = foldedSkip[fold_[b]];
  skipBuilt_ = true;
}

bool Matcher::Next(std::string_view text, size_t from, size_t *start, size_t *end) const {
  if (from > text.size()) return false;
  size_t at = kNotFound;
  switch (mode_) {
    case kNothing:
      return false;
    case kExact:
      at = FindBytes(text, find_, from);
      break;
    case kExactUnits:
      if (units_.kind == CharUnits::kDoubleByte) return NextDoubleByte(text, from, start, end);
      for (at = FindBytes(text, find_, from); at != kNotFound && at % wide_.size;
           at = FindBytes(text, find_, at + 1)) {
      }
      break;
    case kFoldedBytes:
      if (!NextFoldedBytes(text, from, &at)) return false;
      break;
    case kUTF8:
      if (rareCount_ > 0) return NextUTF8Anchored(text, from, start, end);
      return NextUTF8(text, from, start, end);
    case kWide:
      if (!NextWide(text, from, &at)) return false;
      break;
    case kDoubleByte:
      return NextDoubleByte(text, from, start, end);
  }
  if (at == kNotFound) return false;
  *start = at;
  *end = at + find_.size();
  return true;
}

bool Matcher::Anchor(unsigned char *folded, unsigned char *fold, size_t *reach) const {
  switch (mode_) {
    case kExact:
      if (find_.empty()) return false;
      *reach =
          RarestIndex(reinterpret_cast<const unsigned char *>(find_.data()), find_.size(), nullptr);
      *folded = static_cast<unsigned char>(find_[*reach]);
      *fold = 0;
      return true;
    case kFoldedBytes:
      if (find_.empty()) return false;
      if (!rareFound_) FindRareBytes();
      *reach = rareIndex_;
      break;
    case kUTF8:
      *reach = 4 * rareIndex_;  // the characters before the anchor, four bytes at most each
      break;
    default:
      return false;
  }
  if (rareCount_ == 0) return false;
  unsigned char a = rareBytes_[0], b = rareBytes_[rareCount_ - 1];
  *fold = a ^ b;  // the two forms of a letter differ in this bit alone
  if (*fold != 0 && *fold != 0x20) return false;
  *folded = a | *fold;
  return true;
}

bool Matcher::NextFoldedBytes(std::string_view text, size_t from, size_t *start) const {
  size_t m = find_.size(), n = text.size();
  auto *h = reinterpret_cast<const unsigned char *>(text.data());
  auto *p = reinterpret_cast<const unsigned char *>(find_.data());
  if (m > n || from > n - m) return false;
  size_t pos = from;
  const unsigned char last = p[m - 1];
  if (n - m + 1 - pos <= kDirectScanLimit) {
    for (; pos + m <= n; ++pos)
      if (fold_[h[pos + m - 1]] == last && MatchingBytes(h, pos, p, m, fold_) == m) {
        *start = pos;
        return true;
      }
    return false;
  }
  CompareBudget budget(from, m);
  // Past the budget, the rest of the text is scanned in linear time.
  auto rest = [&](size_t at) {
    at = FindLinear(text, find_, at, fold_);
    if (at == kNotFound) return false;
    *start = at;
    return true;
  };
  if (!rareFound_) FindRareBytes();
  if (rareCount_ > 0 && m > 1) {
    // Leapfrog over the next occurrence of each byte that folds to the
    // find's rarest one.
    size_t limit = n - m + 1, misses = 0;
    // Candidate starts: where the rare byte sits rareIndex_ bytes further on.
    LookAhead ahead[2];
    auto next = [&](int which, size_t at) -> size_t {
      return ahead[which].Next(h + rareIndex_, rareBytes_[which], at, limit);
    };
    size_t a = next(0, pos), b = rareCount_ > 1 ? next(1, pos) : kNotFound;
    while (true) {
      size_t at = a < b ? a : b;
      if (at == kNotFound) return false;
      size_t same = MatchingBytes(h, at, p, m, fold_);
      if (same == m) {
        *start = at;
        return true;
      }
      if (budget.Spend(same + 1, at)) return rest(at + 1);
      if (a == at) a = next(0, at + 1);
      if (b == at) b = next(1, at + 1);
      if (TooManyMisses(++misses, at + 1 - from)) {
        pos = at + 1;
        break;
      }
    }
  }
  if (!skipBuilt_) BuildSkipTable();
  while (pos + m <= n) {
    unsigned char c = h[pos + m - 1];
    if (fold_[c] == last) {
      size_t same = MatchingBytes(h, pos, p, m - 1, fold_);
      if (same == m - 1) {
        *start = pos;
        return true;
      }
      if (budget.Spend(same + 1, pos)) return rest(pos + 1);
    }
    pos += skip_[c];
  }
  return false;
}

// The UTF-8 characters from byte `from` on, as FindUnitsLinear reads them.
// The plain scan tries every byte that may begin a match; these characters
// follow one another, and begin at each such byte only while no character
// takes one of them as its continuation, which only malformed text does:
// there the scan stops.
LinearScan Matcher::NextUTF8Linear(std::string_view text, size_t from) const {
  auto *h = reinterpret_cast<const unsigned char *>(text.data());
  const unsigned char *stop = h + text.size();
  return FindUnitsLinear(
      folded_.data(), folded_.size(), from, text.size(),
      [&](size_t *at, uint32_t *unit) {
        const unsigned char *q = h + *at;
        *unit = UpperCase(DecodeUTF8(&q, stop));
        for (const unsigned char *c = h + *at + 1; c < q; ++c)
          if (firstLead_[*c]) return false;
        *at = static_cast<size_t>(q - h);
        return true;
      },
      [&](size_t start) { return firstLead_[h[start]]; });
}

bool Matcher::NextUTF8(std::string_view text, size_t from, size_t *start, size_t *end,
                       bool linear) const {
  auto *h = reinterpret_cast<const unsigned char *>(text.data());
  const unsigned char *stop = h + text.size();
  // With one or two possible first bytes, memchr finds the candidates.
  unsigned char leads[2];
  int leadCount = 0;
  for (int b = 0; b < 256 && leadCount <= 2; ++b)
    if (firstLead_[b]) {
      if (leadCount < 2) leads[leadCount] = static_cast<unsigned char>(b);
      ++leadCount;
    }
  // The end of a look-ahead window is taken only when it starts a possible match.
  LookAhead ahead[2];
  auto next = [&](int which, const unsigned char *at) -> const unsigned char * {
    if (which >= leadCount) return stop;
    size_t hit = ahead[which].Next(h, leads[which], static_cast<size_t>(at - h), text.size());
    return hit == kNotFound ? stop : h + hit;
  };
  const unsigned char *a = stop, *b = stop;
  if (leadCount <= 2) {
    a = next(0, h + from);
    b = next(1, h + from);
  }
  CompareBudget budget(from, folded_.size());
  for (const unsigned char *pos = h + from; pos < stop; ++pos) {
    if (leadCount <= 2) {
      pos = a < b ? a : b;
      if (pos == stop) return false;
      if (a == pos) a = next(0, pos + 1);
      if (b == pos) b = next(1, pos + 1);
      if (!firstLead_[*pos]) continue;  // the end of a look-ahead window
    } else if (!firstLead_[*pos]) {
      continue;
    }
    const unsigned char *q = pos;
    size_t i = 0;
    while (i < folded_.size() && q < stop && UpperCase(DecodeUTF8(&q, stop)) == folded_[i]) ++i;
    if (i == folded_.size()) {
      *start = static_cast<size_t>(pos - h);
      *end = static_cast<size_t>(q - h);
      return true;
    }
    if (linear && budget.Spend(i + 1, static_cast<size_t>(pos - h))) {
      LinearScan scan = NextUTF8Linear(text, static_cast<size_t>(pos - h));
      if (scan.result == LinearScan::kStopped)  // malformed text: plainly from there
        return NextUTF8(text, scan.start, start, end, false);
      *start = scan.start;
      *end = scan.end;
      return scan.result == LinearScan::kFound;
    }
  }
  return false;
}

// Each place of the anchor byte is checked character by character: the
// characters after it forwards, those before it backwards, so a match that
// begins with multi-byte forms (the Kelvin sign for "k") is still found. In
// valid UTF-8, anchors in text order give matches in text order.
bool Matcher::NextUTF8Anchored(std::string_view text, size_t from, size_t *start,
                               size_t *end) const {
  auto *h = reinterpret_cast<const unsigned char *>(text.data());
  const unsigned char *stop = h + text.size(), *floor = h + from;
  size_t n = text.size();
  LookAhead ahead[2];
  auto next = [&](int which, size_t at) -> size_t {
    return which < rareCount_ ? ahead[which].Next(h, rareBytes_[which], at, n) : kNotFound;
  };
  size_t a = next(0, from), b = next(1, from);
  // Past the budget, the plain scan from the start, which turns linear.
  CompareBudget budget(from, folded_.size());
  while (true) {
    size_t at = a < b ? a : b;
    if (at == kNotFound) return false;
    if (a == at) a = next(0, at + 1);
    if (b == at) b = next(1, at + 1);
    if (h[at] != rareBytes_[0] && h[at] != rareBytes_[rareCount_ - 1]) continue;
    const unsigned char *q = h + at;
    size_t i = rareIndex_;
    while (i < folded_.size() && q < stop && UpperCase(DecodeUTF8(&q, stop)) == folded_[i]) ++i;
    const unsigned char *s = h + at, *reached = s;  // the match's start, the lowest byte read
    if (i == folded_.size()) {
      for (i = rareIndex_; i > 0 && s > floor; --i) {
        const unsigned char *c = s - 1;
        while (c > floor && !IsCharStart(*c)) --c;
        reached = c;
        const unsigned char *t = c;
        if (UpperCase(DecodeUTF8(&t, stop)) != folded_[i - 1] || t != s) break;
        s = c;
      }
      if (i == 0) {
        *start = static_cast<size_t>(s - h);
        *end = static_cast<size_t>(q - h);
        return true;
      }
    }
    // The bytes read forwards and back.
    if (budget.Spend(static_cast<size_t>(q - reached) + 1, at))
      return NextUTF8(text, from, start, end, true);
  }
}

bool Matcher::NextWide(std::string_view text, size_t from, size_t *start) const {
  if (wide_.size == 2 && !wide_.bigEndian)  // the host's own UTF-16, read directly
    return FindFoldedUnits(
        text.size(), 2, from, folded_,
        [&](size_t at) {
          char16_t u;
          std::memcpy(&u, text.data() + at, 2);
          return static_cast<uint32_t>(u);
        },
        start);
  return FindFoldedUnits(
      text.size(), wide_.size, from, folded_, [&](size_t at) { return wide_.At(text.data(), at); },
      start);
}

// Whole characters at a time: single bytes compared through the upper-case
// table, double-byte characters exactly.
bool Matcher::NextDoubleByte(std::string_view text, size_t from, size_t *start, size_t *end) const {
  auto *h = reinterpret_cast<const unsigned char *>(text.data());
  auto *p = reinterpret_cast<const unsigned char *>(find_.data());
  size_t n = text.size(), m = find_.size();
  bool caseless = mode_ == kDoubleByte;
  // A character as one unit: a single byte (upper-cased when caseless), or
  // both bytes of a double-byte one above every single byte.
  auto read = [&](const unsigned char *bytes, size_t length, size_t *at, uint32_t *unit) {
    size_t size = units_.SizeAt(bytes, length, *at);
    uint32_t b = bytes[*at];
    *unit = size == 1 ? (caseless ? fold_[b] : b) : 0x10000u | b << 8 | bytes[*at + 1];
    *at += size;
    return true;
  };
  CompareBudget budget(from, m);
  for (size_t pos = from; pos < n; pos += units_.SizeAt(h, n, pos)) {
    size_t i = 0, j = 0;
    while (i < m && pos + j < n) {
      size_t size = units_.SizeAt(h, n, pos + j);
      if (size != units_.SizeAt(p, m, i)) break;
      if (size == 1 ? (caseless ? fold_[h[pos + j]] != fold_[p[i]] : h[pos + j] != p[i])
                    : std::memcmp(h + pos + j, p + i, size) != 0)
        break;
      i += size;
      j += size;
    }
    if (i == m) {
      *start = pos;
      *end = pos + j;
      return true;
    }
    if (budget.Spend(j + 1, pos)) {
      std::vector<uint32_t> units;
      for (size_t at = 0; at < m;) {
        uint32_t unit;
        read(p, m, &at, &unit);
        units.push_back(unit);
      }
      LinearScan scan = FindUnitsLinear(
          units.data(), units.size(), pos + units_.SizeAt(h, n, pos), n,
          [&](size_t *at, uint32_t *unit) { return read(h, n, at, unit); },
          [](size_t) { return true; });
      *start = scan.start;
      *end = scan.end;
      return scan.result == LinearScan::kFound;
    }
  }
  return false;
}

}  // namespace corv
