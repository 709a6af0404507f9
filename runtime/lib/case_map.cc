// The case maps: two hash tables of 1024 chains keyed by the 16-bit
// character, built on first use from the fixed pair table.
//
// Layout: a character lives in chain (ch & 3) * 256 + (ch >> 8); a chain is
// a linked list of nodes in one pool. Keys are unique within a map. The
// ASCII range of both maps is also kept in flat tables, the path every
// mostly-ASCII comparison takes.
#include "lib/case_map.h"

#include <vector>

namespace corv {
namespace {

const CasePair kCaseTable[] = {
#include "lib/case_table.inc"
};

struct Node {
  uint16_t key;
  uint16_t value;
  int32_t next;  // index in the pool, -1 at the end of a chain
};

class CaseMap {
 public:
  CaseMap() {
    for (int32_t &head : heads_) head = -1;
  }
  void Insert(uint16_t key, uint16_t value) {
    uint32_t bucket = CaseBucket(key);
    for (int32_t i = heads_[bucket]; i >= 0; i = nodes_[i].next)
      if (nodes_[i].key == key) {
        nodes_[i].value = value;
        return;
      }
    nodes_.push_back({key, value, heads_[bucket]});
    heads_[bucket] = static_cast<int32_t>(nodes_.size() - 1);
  }
  bool Find(uint16_t key, uint16_t *value) const {
    for (int32_t i = heads_[CaseBucket(key)]; i >= 0; i = nodes_[i].next)
      if (nodes_[i].key == key) {
        *value = nodes_[i].value;
        return true;
      }
    return false;
  }
  size_t ChainLength(uint32_t bucket) const {
    size_t n = 0;
    for (int32_t i = heads_[bucket]; i >= 0; i = nodes_[i].next) ++n;
    return n;
  }

 private:
  int32_t heads_[kCaseBuckets];
  std::vector<Node> nodes_;
};

struct CaseMaps {
  CaseMap lower, upper;
  unsigned char asciiLower[128], asciiUpper[128];
  CaseMaps() {
    for (const CasePair &p : kCaseTable) lower.Insert(p.character, p.folded);
    // The smallest character folding to each folded character.
    for (const CasePair &p : kCaseTable) {
      uint16_t smallest = p.character;
      if (upper.Find(p.folded, &smallest) && smallest < p.character) continue;
      upper.Insert(p.folded, p.character);
    }
    // Every other character of the table maps as its folded form does.
    for (const CasePair &p : kCaseTable) {
      uint16_t smallest = p.character;
      upper.Find(p.folded, &smallest);
      if (smallest != p.character) upper.Insert(p.character, smallest);
    }
    for (int c = 0; c < 128; ++c) {
      uint16_t v = static_cast<uint16_t>(c);
      lower.Find(v, &v);
      asciiLower[c] = static_cast<unsigned char>(v);
      v = static_cast<uint16_t>(c);
      upper.Find(v, &v);
      asciiUpper[c] = static_cast<unsigned char>(v);
    }
  }
};

const CaseMaps &Maps() {
  static const CaseMaps maps;
  return maps;
}

}  // namespace

const CasePair *CaseTable(size_t *count) {
  *count = sizeof kCaseTable / sizeof kCaseTable[0];
  return kCaseTable;
}

uint32_t LowerCase(uint32_t ch) {
  const CaseMaps &maps = Maps();
  if (ch < 128) return maps.asciiLower[ch];
  uint16_t v;
  if (ch <= 0xFFFF && maps.lower.Find(static_cast<uint16_t>(ch), &v)) return v;
  return ch;
}

uint32_t UpperCase(uint32_t ch) {
  const CaseMaps &maps = Maps();
  if (ch < 128) return maps.asciiUpper[ch];
  uint16_t v;
  if (ch <= 0xFFFF && maps.upper.Find(static_cast<uint16_t>(ch), &v)) return v;
  return ch;
}

bool HasCaseMapping(uint32_t ch) {
  // Of ASCII the table holds the letters alone: a search for "=" or "/"
  // learns it has no cased character without the maps being built.
  if (ch < 0x80) return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z');
  uint16_t v;
  return ch <= 0xFFFF && (Maps().lower.Find(static_cast<uint16_t>(ch), &v) ||
                          Maps().upper.Find(static_cast<uint16_t>(ch), &v));
}

size_t LowerChainLength(uint32_t bucket) {
  return Maps().lower.ChainLength(bucket);
}
size_t UpperChainLength(uint32_t bucket) {
  return Maps().upper.ChainLength(bucket);
}

size_t EncodeUTF8(uint32_t ch, char *out) {
  auto put = [&](size_t i, uint32_t v) { out[i] = static_cast<char>(v); };
  if (ch < 0x80) {
    put(0, ch);
    return 1;
  }
  if (ch < 0x800) {
    put(0, 0xC0 | (ch >> 6));
    put(1, 0x80 | (ch & 0x3F));
    return 2;
  }
  if (ch < 0x10000) {
    put(0, 0xE0 | (ch >> 12));
    put(1, 0x80 | ((ch >> 6) & 0x3F));
    put(2, 0x80 | (ch & 0x3F));
    return 3;
  }
  if (ch <= 0x1FFFFF) {
    put(0, 0xF0 | (ch >> 18));
    put(1, 0x80 | ((ch >> 12) & 0x3F));
    put(2, 0x80 | ((ch >> 6) & 0x3F));
    put(3, 0x80 | (ch & 0x3F));
    return 4;
  }
  return 0;
}

}  // namespace corv
