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

/// Finds occurrences of one pattern in texts of one encoding, with the
/// language's case-insensitive comparison or exactly.
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
  enum Mode { kExact, kExactUnits, kFoldedBytes, kUTF8, kUTF16, kDoubleByte };
  bool NextFoldedBytes(std::string_view text, size_t from, size_t *start) const;
  bool NextUTF8(std::string_view text, size_t from, size_t *start, size_t *end) const;
  bool NextUTF8Anchored(std::string_view text, size_t from, size_t *start, size_t *end) const;
  bool NextUTF16(std::string_view text, size_t from, size_t *start) const;
  bool NextDoubleByte(std::string_view text, size_t from, size_t *start, size_t *end) const;

  Mode mode_;
  std::string find_;
  CharUnits units_;
  const unsigned char *fold_ = nullptr;  // kFoldedBytes, kDoubleByte: byte upper case
  size_t skip_[256];                     // kFoldedBytes
  std::vector<uint32_t> folded_;         // kUTF8, kUTF16: the find, upper-cased
  bool firstLead_[256] = {};             // kUTF8: lead bytes that may begin a match
  // kFoldedBytes: the rarest byte's place in the find and the (at most two)
  // bytes that fold to it. kUTF8: the rarest character that only ASCII
  // matches, as its place in folded_ and its two letter cases (no anchor
  // when rareCount_ is 0).
  size_t rareIndex_ = 0;
  unsigned char rareBytes_[2] = {};
  int rareCount_ = 0;
};

}  // namespace corv
