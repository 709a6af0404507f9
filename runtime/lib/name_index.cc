// The name index: names keyed by their characters or bytes as the
// case-insensitive search compares them, and a text's windows looked up.
#include "corv/name_index.h"

#include <algorithm>

#include "lib/case_map.h"

namespace corv {
namespace {

// A search of UTF-8 in UTF-8 compares characters as DecodeUTF8 reads them
// from the place a match starts, each mapped by UpperCase. In its byte-wise
// modes, the bytes of a match read as the same characters as the name,
// unless the name ends inside a character. A search where either side has
// no declared encoding compares bytes, ASCII letters ignoring case. So a
// name and a window of a text that match have the same key of the kind
// that the two encodings call for, whatever the search's mode.
constexpr uint64_t kSeed = 0xCBF29CE484222325u;

uint64_t Mix(uint64_t hash, uint32_t unit) {
  hash ^= unit;
  hash *= 0x100000001B3u;
  return hash ^ (hash >> 29);
}

uint64_t Key(uint64_t hash, int units) {
  return hash ^ (static_cast<uint64_t>(units) * 0x9E3779B97F4A7C15u);
}

// The unit read at `at` and where the next starts: a mapped character, or
// a byte with ASCII letters in upper case.
uint32_t UnitAt(const unsigned char *bytes, size_t n, size_t at, bool characters, size_t *next) {
  if (!characters) {
    *next = at + 1;
    return AsciiUpper(bytes[at]);
  }
  const unsigned char *p = bytes + at;
  uint32_t ch = UpperCase(DecodeUTF8(&p, bytes + n));
  *next = static_cast<size_t>(p - bytes);
  return ch;
}

}  // namespace

void NameIndex::Keys::Add(uint64_t hash, int units, uint32_t first, int32_t index) {
  names[Key(hash, units)].indices.push_back(index);
  lengths |= uint64_t{1} << units;
  if (first < 256)
    firstBytes[first] = true;
  else
    firstCharacters.insert(first);
}

// Adds the names whose key equals that of a window of the text, from every
// byte (a match may start at any).
void NameIndex::Keys::Look(std::string_view text, bool characters,
                           std::vector<int32_t> *found) const {
  if (names.empty()) return;
  auto *bytes = reinterpret_cast<const unsigned char *>(text.data());
  const size_t n = text.size();
  std::vector<uint32_t> unit(n);
  std::vector<size_t> next(n);
  uint64_t reading = ++readings;
  for (size_t at = 0; at < n; ++at) unit[at] = UnitAt(bytes, n, at, characters, &next[at]);
  for (size_t start = 0; start < n; ++start) {
    if (!Starts(unit[start])) continue;
    uint64_t hash = kSeed;
    size_t at = start;
    for (int units = 1; units <= kWindow && at < n; ++units) {
      hash = Mix(hash, unit[at]);
      at = next[at];
      if (!(lengths >> units & 1)) continue;
      auto named = names.find(Key(hash, units));
      if (named == names.end() || named->second.reading == reading) continue;
      named->second.reading = reading;  // each key's names once, however many windows have it
      found->insert(found->end(), named->second.indices.begin(), named->second.indices.end());
    }
  }
}

void NameIndex::Add(const String &name) {
  int32_t index = count_++;
  if (name.empty()) {
    empty_.push_back(index);
    return;
  }
  std::string_view view = name.view();
  auto *bytes = reinterpret_cast<const unsigned char *>(view.data());
  const size_t n = view.size();
  uint64_t hash = kSeed;
  int units = 0;
  size_t next;
  uint32_t first = UnitAt(bytes, n, 0, false, &next);
  for (size_t at = 0; at < n && units < kWindow; at = next, ++units)
    hash = Mix(hash, UnitAt(bytes, n, at, false, &next));
  byBytes_.Add(hash, units, first, index);
  if (name.encoding() == kEncodingUnknown) {
    undeclaredBytes_.Add(hash, units, first, index);
    return;
  }
  if (name.encoding() != kEncodingUTF8) {
    unjudgedInUTF8_.push_back(index);
    return;
  }
  hash = kSeed;
  units = 0;
  first = UnitAt(bytes, n, 0, true, &next);
  for (size_t at = 0; at < n && units < kWindow; at = next, ++units) {
    // A name cut inside its last character matches, byte for byte, the
    // start of a longer character that reads as another one.
    if (UTF8SequenceLength(bytes[at]) > static_cast<int>(n - at)) {
      unjudgedInUTF8_.push_back(index);
      return;
    }
    hash = Mix(hash, UnitAt(bytes, n, at, true, &next));
  }
  byCharacters_.Add(hash, units, first, index);
}

std::vector<int32_t> NameIndex::Candidates(const String &text, int32_t from) const {
  from = std::max(from, 0);
  if (text.empty()) return {};  // InStr finds nothing there, not even an empty name
  std::vector<int32_t> found;
  uint32_t encoding = text.encoding();
  if (encoding == kEncodingUnknown) {
    byBytes_.Look(text.view(), false, &found);
  } else if (encoding == kEncodingUTF8) {
    byCharacters_.Look(text.view(), true, &found);
    undeclaredBytes_.Look(text.view(), false, &found);
    found.insert(found.end(), unjudgedInUTF8_.begin(), unjudgedInUTF8_.end());
  } else {
    for (int32_t i = from; i < count_; ++i) found.push_back(i);
  }
  found.insert(found.end(), empty_.begin(), empty_.end());
  // What the lookups found, in order, once each, from `from` on: the work
  // follows the names found, not all the names.
  found.erase(std::remove_if(found.begin(), found.end(), [&](int32_t i) { return i < from; }),
              found.end());
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return found;
}

}  // namespace corv
