// The case maps: the generated table's size and blocks, the two maps and
// their chain layout.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "lib/case_map.h"

namespace {

TEST(CaseTable, HasTheFixedPairsPerBlock) {
  size_t count;
  const corv::CasePair *table = corv::CaseTable(&count);
  EXPECT_EQ(count, 724u);
  std::map<int, int> perBlock;
  for (size_t i = 0; i < count; ++i) {
    ++perBlock[table[i].character >> 8];
    if (i) {
      EXPECT_LT(table[i - 1].character, table[i].character) << "sorted by character";
    }
  }
  std::map<int, int> expected = {{0x00, 57},  {0x01, 131}, {0x02, 26},  {0x03, 56},
                                 {0x04, 119}, {0x05, 46},  {0x1E, 121}, {0x1F, 97},
                                 {0x21, 19},  {0x24, 26},  {0xFF, 26}};
  EXPECT_EQ(perBlock, expected);
}

TEST(CaseTable, LeavesOutUnlistedScriptsAndFullFoldings) {
  EXPECT_EQ(corv::LowerCase(0x10A0), 0x10A0u);    // Georgian capital an
  EXPECT_EQ(corv::LowerCase(0x13F8), 0x13F8u);    // Cherokee
  EXPECT_EQ(corv::LowerCase(0x10400), 0x10400u);  // Deseret, outside the BMP
  EXPECT_EQ(corv::UpperCase(0x10428), 0x10428u);
  EXPECT_EQ(corv::UpperCase(0xDF), 0xDFu);      // sharp s has only a full folding
  EXPECT_EQ(corv::LowerCase(0x1E9E), 0x1E9Eu);  // capital sharp s is newer than the table
}

TEST(CaseMaps, LowerMapFoldsTableCharacters) {
  EXPECT_EQ(corv::LowerCase('A'), static_cast<uint32_t>('a'));
  EXPECT_EQ(corv::LowerCase('a'), static_cast<uint32_t>('a'));
  EXPECT_EQ(corv::LowerCase(0xC9), 0xE9u);                         // É
  EXPECT_EQ(corv::LowerCase(0x212A), static_cast<uint32_t>('k'));  // Kelvin sign
  EXPECT_EQ(corv::LowerCase(0x0410), 0x0430u);                     // Cyrillic A
  EXPECT_EQ(corv::LowerCase(0xFF21), 0xFF41u);                     // full-width A
  EXPECT_EQ(corv::LowerCase(0x24B6), 0x24D0u);                     // circled A
}

TEST(CaseMaps, UpperMapGivesTheSmallestCharacterOfTheClass) {
  EXPECT_EQ(corv::UpperCase('s'), static_cast<uint32_t>('S'));
  EXPECT_EQ(corv::UpperCase(0x17F), static_cast<uint32_t>('S'));  // long s
  EXPECT_EQ(corv::UpperCase('k'), static_cast<uint32_t>('K'));
  EXPECT_EQ(corv::UpperCase(0x212A), static_cast<uint32_t>('K'));
  for (uint32_t sigma : {0x3C3u, 0x3C2u, 0x3F2u, 0x3A3u})
    EXPECT_EQ(corv::UpperCase(sigma), 0x3A3u) << std::hex << sigma;
  EXPECT_EQ(corv::UpperCase(0x3B9), 0x345u) << "ypogegrammeni is the smallest that folds to iota";
  EXPECT_EQ(corv::UpperCase(0xE9), 0xC9u);
  EXPECT_EQ(corv::UpperCase('1'), static_cast<uint32_t>('1'));
}

TEST(CaseMaps, AsciiKeysAreThoseOfTheTable) {
  size_t count;
  const corv::CasePair *table = corv::CaseTable(&count);
  std::set<uint32_t> keys;
  for (size_t i = 0; i < count; ++i) keys.insert({table[i].character, table[i].folded});
  for (uint32_t c = 0; c < 0x80; ++c) EXPECT_EQ(corv::HasCaseMapping(c), keys.count(c) == 1) << c;
  EXPECT_TRUE(corv::HasCaseMapping(0x212A));  // Kelvin sign, beyond ASCII
  EXPECT_FALSE(corv::HasCaseMapping(0x2212));
}

TEST(CaseMaps, ChainsFollowTheBucketRule) {
  EXPECT_EQ(corv::CaseBucket(0x0041), 1u * 256 + 0);
  EXPECT_EQ(corv::CaseBucket(0x212A), 2u * 256 + 0x21);
  EXPECT_EQ(corv::CaseBucket(0xFF21), 1u * 256 + 0xFF);
  size_t lower = 0, upper = 0;
  for (uint32_t b = 0; b < corv::kCaseBuckets; ++b) {
    lower += corv::LowerChainLength(b);
    upper += corv::UpperChainLength(b);
  }
  EXPECT_EQ(lower, 724u) << "one key per table character";
  // Every character of either column whose class minimum is another character.
  size_t count;
  const corv::CasePair *table = corv::CaseTable(&count);
  std::set<uint32_t> keys;
  for (size_t i = 0; i < count; ++i)
    for (uint32_t c : {uint32_t{table[i].character}, uint32_t{table[i].folded}})
      if (corv::UpperCase(c) != c) keys.insert(c);
  EXPECT_EQ(upper, keys.size());
  // The Latin capitals sit in chains 256 * (c & 3).
  EXPECT_GE(corv::LowerChainLength(corv::CaseBucket('A')), 1u);
}

TEST(Utf8, DecodesAndEncodesWithoutValidation) {
  const unsigned char text[] = {'a', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98, 0x80};
  const unsigned char *p = text, *end = text + sizeof text;
  EXPECT_EQ(corv::DecodeUTF8(&p, end), static_cast<uint32_t>('a'));
  EXPECT_EQ(corv::DecodeUTF8(&p, end), 0xE9u);
  EXPECT_EQ(corv::DecodeUTF8(&p, end), 0x20ACu);
  EXPECT_EQ(corv::DecodeUTF8(&p, end), 0x1F600u);
  EXPECT_EQ(p, end);
  const unsigned char cut[] = {0xE2, 0x82};  // truncated: never reads past the end
  p = cut;
  corv::DecodeUTF8(&p, cut + 2);
  EXPECT_EQ(p, cut + 2);
  char out[4];
  EXPECT_EQ(corv::EncodeUTF8(0x20AC, out), 3u);
  EXPECT_EQ(std::string(out, 3), "\xE2\x82\xAC");
  EXPECT_EQ(corv::EncodeUTF8(0x1FFFFF, out), 4u);
  EXPECT_EQ(corv::EncodeUTF8(0x200000, out), 0u);
}

}  // namespace
