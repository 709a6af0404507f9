// Searching inside strings: the exact byte scans of InStrB and the
// case-insensitive matcher behind InStr, Replace and the field functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "lib/string_chars.h"

namespace corv {

constexpr size_t kNotFound = static_cast<size_t>(-1);

/// Exact byte search from `from`: the direct scan (first byte, then the
/// rest) and the skip-table scan. Both give the offset of the first match.
size_t FindBytesDirect(std::string_view text, std::string_view find, size_t from);
size_t FindBytesSkipTable(std::string_view text, std::string_view find, size_t from);
/// The scan InStrB chooses: direct for finds under 5 bytes or at most 80
/// candidate positions, the skip table otherwise.
size_t FindBytes(std::string_view text, std::string_view find, size_t from);

/// Whether any character of `find` has a case mapping in its encoding
/// (otherwise a case-insensitive search is an exact one).
bool HasCasedCharacter(uint32_t encoding, std::string_view find);

/// The code units of UTF-16 and UTF-32 text: their byte width (1 for every
/// other code, whose searches go by bytes or characters) and byte order.
struct WideUnits {
  size_t size = 1;
  bool bigEndian = false;
  static WideUnits Of(uint32_t encoding);
  /// The unit at byte offset `at` (at + size within the bytes).
  uint32_t At(const char *bytes, size_t at) const {
    uint32_t u = 0;
    for (size_t i = 0; i < size; ++i)
      u = u << 8 | static_cast<unsigned char>(bytes[at + (bigEndian ? i : size - 1 - i)]);
    return u;
  }
};

/// Where a linear scan ended: at a match (its byte range), at the end of the
/// text, or where its reader refused a unit, with the first place it left
/// undecided.
struct LinearScan {
  enum Result { kFound, kNone, kStopped } result;
  size_t start = 0, end = 0;
};

/// Finds occurrences of one pattern in texts of one encoding, with the
/// language's case-insensitive comparison or exactly. In UTF-16 and UTF-32
/// a match begins and ends on a code unit, so a find that ends inside one
/// (an odd byte in UTF-16) matches nothing. No match ever ends past the text.
class Matcher {
 public:
  Matcher(uint32_t encoding, std::string_view find, bool caseless);
  /// The first match that begins at or after byte `from` (a character
  /// start): its byte range. False when there is none.
  bool Next(std::string_view text, size_t from, size_t *start, size_t *end) const;
  /// For scans that skip text without a match: every match holds, at most
  /// `reach` bytes after its start, a byte b with (b | fold) == folded.
  /// False when the search has no such byte.
  bool Anchor(unsigned char *folded, unsigned char *fold, size_t *reach) const;

 private:
  enum Mode { kNothing, kExact, kExactUnits, kFoldedBytes, kUTF8, kWide, kDoubleByte };
  bool NextFoldedBytes(std::string_view text, size_t from, size_t *start) const;
  void FindRareBytes() const;
  void BuildSkipTable() const;
  bool NextUTF8(std::string_view text, size_t from, size_t *start, size_t *end,
                bool linear = true) const;
  LinearScan NextUTF8Linear(std::string_view text, size_t from) const;
  bool NextUTF8Anchored(std::string_view text, size_t from, size_t *start, size_t *end) const;
  bool NextWide(std::string_view text, size_t from, size_t *start) const;
  bool NextDoubleByte(std::string_view text, size_t from, size_t *start, size_t *end) const;

  Mode mode_;
  std::string find_;
  CharUnits units_;
  WideUnits wide_;
  const unsigned char *fold_ = nullptr;  // kFoldedBytes, kDoubleByte: byte upper case
  // kFoldedBytes: the skip table and the rare bytes below, made by the
  // first scan that needs them (a matcher is one search's, never shared).
  mutable bool skipBuilt_ = false, rareFound_ = false;
  mutable size_t skip_[256];
  std::vector<uint32_t> folded_;  // kUTF8, kWide: the find, upper-cased
  bool firstLead_[256] = {};      // kUTF8: lead bytes that may begin a match
  // kFoldedBytes: the rarest byte's place in the find and the (at most two)
  // bytes that fold to it. kUTF8: the rarest character that only ASCII
  // matches, as its place in folded_ and its two letter cases (no anchor
  // when rareCount_ is 0).
  mutable size_t rareIndex_ = 0;
  mutable unsigned char rareBytes_[2] = {};
  mutable int rareCount_ = 0;
};

}  // namespace corv
