// corv::NameIndex: which of many names InStr could find in a text, without
// a search for each of them.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "corv/string.h"

namespace corv {

/// Names added in order, each known by its index from 0. For a text,
/// Candidates gives every index whose name InStr's case-insensitive search
/// could find in it (and perhaps a few more), so that only those need the
/// search itself. Its cost grows with the text, not with the number of
/// names. It judges texts in UTF-8 and texts of no declared encoding; for a
/// text of any other encoding every name is a candidate.
class NameIndex {
 public:
  /// The next index goes to `name`.
  void Add(const String &name);
  int32_t Count() const { return count_; }
  /// In ascending order, the indices from `from` on whose names may occur in `text`.
  std::vector<int32_t> Candidates(const String &text, int32_t from) const;

 private:
  // The units of a name that its key holds: all of a shorter name, the
  // first kWindow of a longer one.
  static constexpr int kWindow = 32;

  // Names by key, and the key lengths present (bit n: some key of n units).
  struct Keys {
    // The names of one key, and the last reading that found them (readings
    // mark keys: an index is one reader's, never shared between threads).
    struct Named {
      std::vector<int32_t> indices;
      uint64_t reading = 0;
    };
    mutable std::unordered_map<uint64_t, Named> names;
    mutable uint64_t readings = 0;
    uint64_t lengths = 0;
    // The units names start with, where a window may start.
    bool firstBytes[256] = {};
    std::unordered_set<uint32_t> firstCharacters;  // from 256 on
    bool Starts(uint32_t unit) const {
      return unit < 256 ? firstBytes[unit] : firstCharacters.count(unit) > 0;
    }
    void Add(uint64_t hash, int units, uint32_t first, int32_t index);
    void Look(std::string_view text, bool characters, std::vector<int32_t> *found) const;
  };

  int32_t count_ = 0;
  // UTF-8 names by their characters, as a UTF-8 search compares them.
  Keys byCharacters_;
  // Every name by its bytes, as a search of text of no declared encoding
  // compares them.
  Keys byBytes_;
  // Names of no declared encoding by their bytes: UTF-8 text is searched
  // for them byte by byte.
  Keys undeclaredBytes_;
  std::vector<int32_t> empty_;           // found in every text
  std::vector<int32_t> unjudgedInUTF8_;  // names of other encodings, or cut inside a character
};

}  // namespace corv
