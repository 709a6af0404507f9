// InStr, InStrB, Replace, ReplaceAll, ReplaceLineEndings and the name index.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "corv.h"
#include "corv/name_index.h"
#include "lib/encoding.h"
#include "lib/string_search.h"
#include "lib/string_test_util.h"
#include "runtime_test.h"

namespace {

using corv::String;
using corv::testing::Bytes;
using corv::testing::BytesOf;
using corv::testing::CodePage;
using corv::testing::RuntimeTest;
using corv::testing::Utf16;

class SearchTest : public RuntimeTest {};

TEST_F(SearchTest, InStrEdges) {
  EXPECT_EQ(corv::InStr(1, "Hello", "LL"), 3);
  EXPECT_EQ(corv::InStr(1, "abc", String()), 1);
  EXPECT_EQ(corv::InStr(7, "abc", String()), 7);
  EXPECT_EQ(corv::InStr(-4, "abc", String()), -4) << "start comes back unchanged";
  EXPECT_EQ(corv::InStr(4, "abc", "c"), 0);
  EXPECT_EQ(corv::InStr(3, "abc", "c"), 3);
  EXPECT_EQ(corv::InStr(-5, "abc", "b"), 2) << "a negative start counts as 1";
  EXPECT_EQ(corv::InStr(1, String(), "a"), 0);
  EXPECT_EQ(corv::InStr(1, "ab", "abc"), 0);
  EXPECT_EQ(corv::InStr(2, "abab", "AB"), 3);
  EXPECT_EQ(corv::InStr(1, "abc", "x"), 0);
}

TEST_F(SearchTest, InStrCountsCharacters) {
  EXPECT_EQ(corv::InStr(1, "h\xC3\xA9llo w\xC3\xB6rld", "W\xC3\x96R"), 7);
  EXPECT_EQ(corv::InStr(3, "\xC3\xA9\xC3\xA9x\xC3\xA9", "\xC3\x89"), 4)
      << "start steps by characters";
  EXPECT_EQ(corv::InStr(1, "caf\xCF\x82", "\xCE\xA3"), 4) << "final sigma matches capital sigma";
  EXPECT_EQ(corv::InStr(1, "1 \xE2\x84\xAA", "k"), 3) << "the Kelvin sign matches k";
  EXPECT_EQ(corv::InStr(1, "%k%", "%\xE2\x84\xAA%"), 1) << "a find longer in bytes";
  EXPECT_EQ(corv::InStr(2, "ak", "\xE2\x84\xAA"), 2);
  EXPECT_EQ(corv::InStr(3, "ak", "\xE2\x84\xAA"), 0);
  EXPECT_EQ(corv::InStr(1, "ma\xC3\x9F", "SS"), 0);
  EXPECT_EQ(corv::InStr(1, Utf16(u"x\u00E9T\u00E9"), Utf16(u"\u00C9t")), 2);
  EXPECT_EQ(corv::InStr(1, Utf16(u"abc"), "C"), 3) << "UTF-8 find in UTF-16 source";
  EXPECT_EQ(corv::InStr(1, Bytes("na\xEFve", CodePage(1252)), Bytes("\xCFV", CodePage(1252))), 3)
      << "single-byte page through its upper-case table";
  EXPECT_EQ(corv::InStr(1,
                        Bytes("xA\x93\xFA"
                              "b",
                              0xA01),
                        Bytes("B", 0xA01)),
            4)
      << "Shift-JIS: positions in characters";
  EXPECT_EQ(corv::InStr(1, Bytes("\x96\x7B", 0xA01), Bytes("{", 0xA01)), 0)
      << "a trail byte is never a character";
}

// The character count before a match is taken in blocks of bytes; matches
// and multi-byte characters are moved across every block boundary of the
// first kilobytes, in texts of mixed character sizes.
TEST_F(SearchTest, InStrPositionsAcrossCountingBlocks) {
  const char *cycles[][5] = {
      {"a", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9D\x84\x9E", "B"},  // 1 to 4 bytes
      {"\xE2\x82\xAC", "\xE2\x82\xAC", "\xE2\x82\xAC", "\xE2\x82\xAC", "c"},
      {"x", "y", "z", "w", "\xC3\x9F"},
  };
  for (const auto &cycle : cycles) {
    std::string text;
    for (int32_t chars = 0; chars < 560; ++chars) {
      String source(text + "Qj!" + cycle[chars % 5] + "kx");
      ASSERT_EQ(corv::InStr(1, source, "qJ!"), chars + 1) << "after " << text.size() << " bytes";
      ASSERT_EQ(corv::InStr(chars + 1, source, "QJ!"), chars + 1);
      ASSERT_EQ(corv::InStr(chars + 2, source, "QJ!"), 0);
      ASSERT_EQ(corv::InStr(1, source, "KX"), chars + 5) << "the character-wise search";
      ASSERT_EQ(corv::Len(source), chars + 6);
      text += cycle[chars % 5];
    }
  }
  std::u16string wide;
  for (int32_t units = 0; units < 300; ++units) {
    ASSERT_EQ(corv::InStr(1, Utf16(wide + u"\u00E9T\u00E9"), Utf16(u"\u00C9t")), units + 1);
    ASSERT_EQ(corv::InStr(1, Utf16(wide + u"\u00E9T\u00E9"), "\xC3\x89T"), units + 1)
        << "UTF-8 find reconciled with a UTF-16 source";
    wide += units % 3 ? u'\u20AC' : u'a';
  }
}

// Long texts are searched and counted in windows of some tens of
// kilobytes; matches of each kind of search sit just before, across and
// just after the first window boundaries, behind characters of 1 to 3 bytes.
TEST_F(SearchTest, InStrPositionsAroundSearchWindows) {
  struct Case {
    const char *needle, *find;
  } cases[] = {
      {"Qj!", "qJ!"},  // upper-cased bytes
      {"\xE2\x84\xAA\xE2\x84\xAA"
       "Ay!",
       "kKaY!"},       // character-wise, Kelvin signs first
      {"#!#", "#!#"},  // exact bytes
  };
  // Fillers without and with the bytes the searches look for first.
  const std::string fillers[] = {"a\xE2\x82\xAC\xC3\xA9", "a\xE2\x82\xAC\xC3\xA9#!Y?"};
  for (const std::string &filler : fillers)
    for (size_t boundary : {size_t{65536}, size_t{131072}})
      for (size_t bytes = boundary - 10; bytes <= boundary + 10; ++bytes) {
        std::string prefix;
        int32_t chars = 0;
        for (; prefix.size() + filler.size() <= bytes;
             chars += static_cast<int32_t>(filler.size()) - 3)
          prefix += filler;
        for (; prefix.size() < bytes; ++chars) prefix += 'a';
        for (const Case &c : cases) {
          String source(prefix + c.needle + std::string(3000, 'b'));
          ASSERT_EQ(corv::InStr(1, source, c.find), chars + 1) << c.find << " after " << bytes;
          ASSERT_EQ(corv::InStr(chars, source, c.find), chars + 1);
          ASSERT_EQ(corv::InStr(chars + 2, source, c.find), 0);
        }
      }
}

TEST_F(SearchTest, InStrBIsExactAndCountsBytes) {
  EXPECT_EQ(corv::InStrB(1, "Hello", "LL"), 0);
  EXPECT_EQ(corv::InStrB(1, "Hello", "ll"), 3);
  EXPECT_EQ(corv::InStrB(1, "h\xC3\xA9llo", "l"), 4);
  EXPECT_EQ(corv::InStrB(9, "abc", String()), 9);
  EXPECT_EQ(corv::InStrB(1, String(), "a"), 0);
  EXPECT_EQ(corv::InStrB(4, "abc", "c"), 0);
  EXPECT_EQ(corv::InStrB(0, "abc", "a"), 1);
  EXPECT_EQ(corv::InStrB(2, "abcabc", "abc"), 4);
  EXPECT_EQ(corv::InStrB(1, "ab", "abc"), 0);
}

TEST_F(SearchTest, DirectAndSkipTableScansAgree) {
  std::mt19937 rng(7);
  std::string text;
  for (int i = 0; i < 4000; ++i) text.push_back("abcab"[rng() % 5]);
  for (int round = 0; round < 400; ++round) {
    size_t m = 1 + rng() % 12;
    std::string find = rng() % 2 ? text.substr(rng() % (text.size() - m), m) : std::string();
    while (find.size() < m) find.push_back("abcx"[rng() % 4]);
    size_t from = rng() % 200;
    size_t expected = text.find(find, from);
    if (expected == std::string::npos) expected = corv::kNotFound;
    EXPECT_EQ(corv::FindBytesDirect(text, find, from), expected) << find;
    EXPECT_EQ(corv::FindBytesSkipTable(text, find, from), expected) << find;
    EXPECT_EQ(corv::FindBytes(text, find, from), expected) << find;
  }
  // A long text of many letters: the rare-byte scan, not its fallback.
  std::string words;
  for (int i = 0; i < 20000; ++i) words.push_back(static_cast<char>('a' + rng() % 26));
  for (int round = 0; round < 200; ++round) {
    size_t m = 5 + rng() % 10, at = rng() % (words.size() - m);
    std::string find = words.substr(at, m);
    size_t from = rng() % 1000;
    EXPECT_EQ(corv::FindBytesSkipTable(words, find, from), words.find(find, from)) << find;
    EXPECT_EQ(corv::InStr(1 + static_cast<int32_t>(from), String(words), String(find)),
              static_cast<int32_t>(words.find(find, from)) + 1);
  }
  EXPECT_EQ(corv::FindBytesSkipTable("abc", "abcd", 0), corv::kNotFound);
  EXPECT_EQ(corv::FindBytes("abc", "c", 3), corv::kNotFound);
}

TEST_F(SearchTest, CaselessMatcherAgreesWithAPlainModel) {
  std::mt19937 rng(11);
  std::string text;
  for (int i = 0; i < 3000; ++i) text.push_back("aAbBsS k"[rng() % 8]);
  auto upper = [](std::string s) {
    for (char &c : s) c = static_cast<char>(corv::AsciiUpper(static_cast<unsigned char>(c)));
    return s;
  };
  std::string folded = upper(text);
  for (int round = 0; round < 300; ++round) {
    std::string find;
    for (size_t m = 1 + rng() % 6; find.size() < m;) find.push_back("abAB sS"[rng() % 7]);
    corv::Matcher matcher(kEncodingUTF8, find, true);
    // Short texts take the plain scan, long ones the look-ahead and the skip table.
    size_t length = round % 2 ? text.size() : 1 + rng() % 120;
    size_t from = rng() % 100, begin, end;
    size_t expected = std::string_view(folded).substr(0, length).find(upper(find), from);
    bool found = matcher.Next(std::string_view(text).substr(0, length), from, &begin, &end);
    ASSERT_EQ(found, expected != std::string::npos) << find;
    if (found) {
      EXPECT_EQ(begin, expected) << find;
      EXPECT_EQ(end, expected + find.size());
    }
  }
}

// Long finds in texts that nearly repeat them, where comparing the find
// again at each place would be quadratic and the scans turn linear: the
// results stay those of a plain search, exact and caseless.
TEST_F(SearchTest, NearRepeatsFindWhatAPlainSearchFinds) {
  std::mt19937 rng(5);
  auto upper = [](std::string s) {
    for (char &c : s) c = static_cast<char>(corv::AsciiUpper(static_cast<unsigned char>(c)));
    return s;
  };
  for (const char *period : {"%a%", "aab", "ab", "abacaba"}) {
    std::string text;
    while (text.size() < 30000) text += period;
    for (int i = 0; i < 20; ++i) text[rng() % text.size()] = "xAB%"[rng() % 4];
    std::string folded = upper(text);
    for (int round = 0; round < 12; ++round) {
      size_t m = 50 + rng() % 3000, from = rng() % 500;
      std::string find = text.substr(rng() % (text.size() - m), m);
      if (round % 3 == 1) find[rng() % m] = 'x';          // found nowhere, or far on
      if (round % 3 == 2) find[m - 1 - rng() % 3] = 'b';  // differs near the end
      size_t exact = text.find(find, from);
      if (exact == std::string::npos) exact = corv::kNotFound;
      EXPECT_EQ(corv::FindBytesSkipTable(text, find, from), exact) << period << " " << m;
      EXPECT_EQ(corv::FindBytes(text, find, from), exact) << period << " " << m;
      size_t expected = folded.find(upper(find), from), begin, end;
      corv::Matcher matcher(kEncodingUTF8, find, true);
      bool found = matcher.Next(text, from, &begin, &end);
      ASSERT_EQ(found, expected != std::string::npos) << period << " " << m;
      if (found) {
        EXPECT_EQ(begin, expected) << period << " " << m;
      }
    }
  }
}

// A scan hands over to the linear one once its comparisons pass a budget,
// and a match may begin right after the place where that happens. Runs of
// near matches of every length before the match put it there, in each
// character-wise mode.
TEST_F(SearchTest, AMatchWhereTheLinearScanTakesOverIsFound) {
  for (size_t m : {6, 16, 40}) {
    for (size_t run = m - 1; run < 6 * m; ++run) {
      SCOPED_TRACE(std::to_string(m) + " " + std::to_string(run));
      int32_t expected = static_cast<int32_t>(run - (m - 1)) + 1;
      std::string text8, find8;
      std::u16string text16, find16;
      std::string textJis, findJis;
      for (size_t i = 0; i < run; ++i) {
        text8 += "\xC3\xA9";  // é
        text16 += u'\u00E9';
        textJis += "\x93\xFA";  // a double-byte character
      }
      for (size_t i = 0; i + 1 < m; ++i) {
        find8 += "\xC3\x89";  // É
        find16 += u'\u00C9';
        findJis += "\x93\xFA";
      }
      text8 += "b", text16 += u'b', textJis += "b";
      find8 += "B", find16 += u'B', findJis += "B";
      EXPECT_EQ(corv::InStr(1, String(text8), String(find8)), expected) << "UTF-8";
      EXPECT_EQ(corv::InStr(1, Utf16(text16), Utf16(find16)), expected) << "UTF-16";
      EXPECT_EQ(corv::InStr(1, Bytes(textJis, 0xA01), Bytes(findJis, 0xA01)), expected)
          << "Shift-JIS";
    }
  }
}

// The same for the searches that compare whole characters: UTF-8 finds
// with letters that other characters match (and malformed UTF-8, where a
// character takes the next one's lead byte), UTF-16 and a double-byte code
// page. The plain model tries every byte: a match begins where a character
// that upper-cases as the find's first starts with its own lead byte.
TEST_F(SearchTest, CharacterWiseNearRepeatsFindWhatAPlainSearchFinds) {
  auto decode = [](const std::string &s, size_t at, size_t *next) {
    auto *p = reinterpret_cast<const unsigned char *>(s.data()) + at;
    uint32_t c = corv::UpperCase(
        corv::DecodeUTF8(&p, reinterpret_cast<const unsigned char *>(s.data()) + s.size()));
    *next = static_cast<size_t>(p - reinterpret_cast<const unsigned char *>(s.data()));
    return c;
  };
  auto utf8Model = [&](const std::string &text, const std::string &find, size_t from, size_t *end) {
    std::vector<uint32_t> folded;
    for (size_t at = 0; at < find.size();) folded.push_back(decode(find, at, &at));
    // The forms of the first character that may begin a match, by their lead bytes.
    auto mayBegin = [&](unsigned char byte) {
      for (uint32_t c : {folded[0], corv::LowerCase(folded[0]), 0x212Au, 0x17Fu}) {
        char lead[4];
        if (corv::UpperCase(c) == folded[0] && corv::EncodeUTF8(c, lead) &&
            static_cast<unsigned char>(lead[0]) == byte)
          return true;
      }
      return false;
    };
    for (size_t pos = from; pos < text.size(); ++pos) {
      if (!mayBegin(static_cast<unsigned char>(text[pos]))) continue;
      size_t at = pos;
      size_t i = 0;
      while (i < folded.size() && at < text.size() && decode(text, at, &at) == folded[i]) ++i;
      if (i == folded.size()) {
        *end = at;
        return pos;
      }
    }
    return corv::kNotFound;
  };
  // Each text repeats its period and ends in a marker and one period more;
  // each find is the text before the marker and the marker, so every place
  // before the match nearly matches. The find's letters are in the other
  // case. The last period is malformed: a lone lead byte takes the next
  // character's lead as its continuation.
  std::mt19937 rng(9);
  const char *periods[] = {
      "\xC3\xA9"
      "a",
      "\xE2\x84\xAA"
      "k%",
      "\xC3\xA9\xC3\xA9s", "\xC3\xC3\xA9\xC3\xA9"};
  const std::string marker = "\xD0\x96", nowhere = "\xD0\xA9";  // Cyrillic Zhe and Shcha
  for (const char *period : periods) {
    std::string text;
    while (text.size() < 20000) text += period;
    size_t markerAt = text.size();
    text += marker + period;
    for (int round = 0; round < 4; ++round) {
      size_t at = markerAt - 100 - rng() % 2000, end = 0, begin = 0, modelEnd = 0;
      while ((static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
      std::string find = text.substr(at, markerAt - at);
      for (char &c : find)
        if (c == 'a' || c == 'k' || c == 's') c = static_cast<char>(c - 'a' + 'A');
      for (size_t e = find.find("\xC3\xA9"); e != std::string::npos; e = find.find("\xC3\xA9"))
        find[e + 1] = '\x89';  // É
      find += round % 2 ? nowhere : marker;
      size_t expected = utf8Model(text, find, 0, &modelEnd);
      bool found = corv::Matcher(kEncodingUTF8, find, true).Next(text, 0, &begin, &end);
      ASSERT_EQ(found, expected != corv::kNotFound) << period << " " << find.size();
      if (found) {
        EXPECT_EQ(begin, expected) << period;
        EXPECT_EQ(end, modelEnd) << period;
      }
    }
  }
  // The only match begins on the lead byte that a lone lead before it takes
  // as its continuation.
  {
    std::string text, find;
    for (int i = 0; i < 2000; ++i) text += "\xC3\xA9";
    size_t lone = text.size(), begin = 0, end = 0;
    text += "\xC3";
    for (int i = 0; i < 300; ++i) {
      text += "\xC3\xA9";
      find += "\xC3\x89";
    }
    text += marker;
    find += marker;
    ASSERT_TRUE(corv::Matcher(kEncodingUTF8, find, true).Next(text, 0, &begin, &end));
    EXPECT_EQ(begin, lone + 1);
    EXPECT_EQ(end, text.size());
  }
  // UTF-16 and code page 932: characters one after another from the start;
  // the finds have "A" where the texts have "a".
  struct Wide {
    uint32_t encoding;
    std::vector<std::string> characters;  // "a" first, "A" second, the marker last
  } wides[] = {
      {kEncodingUTF16,
       {std::string("a\0", 2), std::string("A\0", 2), std::string("\xE9\0", 2),
        std::string("Z\0", 2)}},
      {CodePage(932), {"a", "A", "\x82\xA0", "\x82\xA1", "Z"}},
  };
  for (const Wide &w : wides) {
    std::vector<size_t> pattern;
    for (int i = 0; i < 7; ++i)
      pattern.push_back(i % 2 ? 0 : 2 + rng() % (w.characters.size() - 3));
    std::vector<size_t> chars;
    while (chars.size() < 8000) chars.insert(chars.end(), pattern.begin(), pattern.end());
    size_t marker = chars.size();
    chars.push_back(w.characters.size() - 1);
    chars.insert(chars.end(), pattern.begin(), pattern.end());
    std::string text;
    std::vector<size_t> starts;
    for (size_t c : chars) {
      starts.push_back(text.size());
      text += w.characters[c];
    }
    for (int round = 0; round < 4; ++round) {
      size_t first = marker - 100 - rng() % 900;
      std::string find;
      for (size_t i = first; i <= marker; ++i) find += w.characters[chars[i] == 0 ? 1 : chars[i]];
      size_t expected = starts[first], begin = 0, end = 0;
      if (round % 2) {
        find.insert(0, w.characters.back());  // the marker twice: found nowhere
        expected = corv::kNotFound;
      }
      bool found = corv::Matcher(w.encoding, find, true).Next(text, 0, &begin, &end);
      ASSERT_EQ(found, expected != corv::kNotFound) << w.encoding << " " << find.size();
      if (found) {
        EXPECT_EQ(begin, expected) << w.encoding;
        EXPECT_EQ(end, expected + find.size()) << w.encoding;
      }
    }
  }
}

// Finds with letters that multi-byte characters also match (the Kelvin
// sign for "k", the long s for "s") against a brute-force search over
// decoded, upper-cased characters.
TEST_F(SearchTest, CharacterWiseMatcherAgreesWithAPlainModel) {
  const char *alphabet[] = {"a",        "A", "k",        "K", "\xE2\x84\xAA",
                            "s",        "S", "\xC5\xBF", "y", "\xC3\xA9",
                            "\xC3\x89", " ", "q"};
  const char *findAlphabet[] = {"a", "K", "s", "y", "\xC3\xA9", " "};
  std::mt19937 rng(5);
  for (int round = 0; round < 400; ++round) {
    std::string text;
    std::vector<size_t> starts;  // the byte offset of each character
    std::vector<uint32_t> upper;
    for (int i = 0; i < 60; ++i) {
      starts.push_back(text.size());
      const char *c = alphabet[rng() % (round % 2 ? 13 : 8)];
      auto *p = reinterpret_cast<const unsigned char *>(c);
      upper.push_back(corv::UpperCase(corv::DecodeUTF8(&p, p + std::strlen(c))));
      text += c;
    }
    starts.push_back(text.size());
    std::string find;
    std::vector<uint32_t> pattern;
    for (size_t m = 1 + rng() % 4; pattern.size() < m;) {
      const char *c = findAlphabet[rng() % 6];
      auto *p = reinterpret_cast<const unsigned char *>(c);
      pattern.push_back(corv::UpperCase(corv::DecodeUTF8(&p, p + std::strlen(c))));
      find += c;
    }
    size_t fromChar = rng() % 40, expected = corv::kNotFound, expectedEnd = 0;
    for (size_t i = fromChar; i + pattern.size() <= upper.size(); ++i)
      if (std::equal(pattern.begin(), pattern.end(), upper.begin() + i)) {
        expected = starts[i];
        expectedEnd = starts[i + pattern.size()];
        break;
      }
    size_t begin = 0, end = 0;
    bool found =
        corv::Matcher(kEncodingUTF8, find, true).Next(text, starts[fromChar], &begin, &end);
    ASSERT_EQ(found, expected != corv::kNotFound) << find << " in " << text;
    if (found) {
      EXPECT_EQ(begin, expected) << find << " in " << text;
      EXPECT_EQ(end, expectedEnd) << find << " in " << text;
    }
  }
  // The characters before the anchor may not reach back before the start.
  String kelvin(
      "x\xE2\x84\xAA"
      "ay "
      "\xE2\x84\xAA"
      "AY");
  EXPECT_EQ(corv::InStr(1, kelvin, "KAY"), 2);
  EXPECT_EQ(corv::InStr(3, kelvin, "KAY"), 6);
  EXPECT_EQ(corv::InStr(7, kelvin, "KAY"), 0);
}

TEST_F(SearchTest, ReplaceFirstOccurrence) {
  EXPECT_EQ(BytesOf(corv::Replace("aAa", "a", "b")), "bAa");
  EXPECT_EQ(BytesOf(corv::Replace("xAa", "a", "b")), "xba");
  String s("abc");
  EXPECT_EQ(corv::Replace(s, "x", "y").get(), s.get()) << "no match: the source itself";
  EXPECT_EQ(corv::Replace(s, String(), "y").get(), s.get());
  EXPECT_TRUE(corv::Replace(String(), "a", "y").empty());
  EXPECT_EQ(BytesOf(corv::Replace(s, "B", String())), "ac");
  String latin = Bytes("caf\xE9!", CodePage(1252));
  String r = corv::Replace(latin, "\xC3\x89", "e");  // UTF-8 find converted to the source's page
  EXPECT_EQ(BytesOf(r), "cafe!");
  EXPECT_EQ(r.encoding(), CodePage(1252));
}

TEST_F(SearchTest, ReplaceAllWithoutOverlap) {
  EXPECT_EQ(BytesOf(corv::ReplaceAll("aAa", "a", "b")), "bbb");
  EXPECT_EQ(BytesOf(corv::ReplaceAll("aaa", "aa", "b")), "ba");
  EXPECT_EQ(BytesOf(corv::ReplaceAll("abab", "b", "bb")), "abbabb")
      << "replacement not searched again";
  EXPECT_EQ(BytesOf(corv::ReplaceAll("a-b-c", "-", String())), "abc");
  EXPECT_EQ(BytesOf(corv::ReplaceAll("1 \xE2\x84\xAA 2 K", "k", "x")), "1 x 2 x")
      << "a match may be longer than the find";
  EXPECT_EQ(BytesOf(corv::ReplaceAll(Utf16(u"aXbx"), "x", "--")), BytesOf(Utf16(u"a--b--")));
  String s("abc");
  EXPECT_EQ(corv::ReplaceAll(s, "z", "y").get(), s.get());
}

// In UTF-16 and UTF-32 a match begins and ends on a code-unit boundary, in
// caseless and exact searches alike: a find that ends inside a unit (an odd
// byte, a partial UTF-32 unit) matches nothing, and wide units compare as
// characters, never byte by byte. Each row gives the fields the find cuts
// the source into; the searches, replacements and field functions must agree.
TEST_F(SearchTest, MatchesBeginAndEndOnCodeUnits) {
  using namespace std::string_literals;
  struct Case {
    const char *what;
    std::string source;
    uint32_t encoding;
    std::string find;
    int32_t position;  // InStr
    std::vector<std::string> fields;
  } cases[] = {
      {"caseless UTF-16, odd byte beyond the text",
       "x\0a\0"s,
       kEncodingUTF16,
       "a\0X"s,
       0,
       {"x\0a\0"s}},
      {"caseless UTF-16, odd byte inside the text",
       "x\0a\0X\0"s,
       kEncodingUTF16,
       "a\0X"s,
       0,
       {"x\0a\0X\0"s}},
      {"exact UTF-16", "1\0002\0"s, kEncodingUTF16, "1\0002"s, 0, {"1\0002\0"s}},
      {"caseless UTF-16BE", "\0a\0b"s, kEncodingUTF16BE, "\0A\0"s, 0, {"\0a\0b"s}},
      {"exact UTF-16BE, across two units",
       "\0a\x62\0"s,
       kEncodingUTF16BE,
       "a\x62"s,
       0,
       {"\0a\x62\0"s}},
      {"caseless UTF-32, partial unit", "a\0\0\0"s, kEncodingUTF32LE, "A\0\0"s, 0, {"a\0\0\0"s}},
      {"caseless UTF-32, across two units",
       "\0a\0\0\0\x01\0\0"s,
       kEncodingUTF32LE,
       "a\0\0\0"s,
       0,
       {"\0a\0\0\0\x01\0\0"s}},
      {"exact UTF-32, across two units",
       "\0\x31\0\0\0\x01\0\0"s,
       kEncodingUTF32LE,
       "1\0\0\0"s,
       0,
       {"\0\x31\0\0\0\x01\0\0"s}},
      {"caseless UTF-32 compares characters",
       "A\x01\0\0"s,
       kEncodingUTF32LE,
       "a\x01\0\0"s,
       0,
       {"A\x01\0\0"s}},
      {"caseless UTF-32 match",
       "x\0\0\0\xC1\0\0\0y\0\0\0"s,
       kEncodingUTF32LE,
       "\xE1\0\0\0"s,
       5,
       {"x\0\0\0"s, "y\0\0\0"s}},
      {"caseless UTF-16BE match",
       "\0x\0\xE1\0y"s,
       kEncodingUTF16BE,
       "\0\xC1"s,
       3,
       {"\0x"s, "\0y"s}},
      {"caseless UTF-16 match", "x\0a\0X\0"s, kEncodingUTF16, "A\0"s, 2, {"x\0"s, "X\0"s}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    String source = Bytes(c.source, c.encoding), find = Bytes(c.find, c.encoding);
    String r = corv::ConvertTo(String("R").get(), c.encoding);
    std::string replaced;
    for (size_t i = 0; i < c.fields.size(); ++i) replaced += (i ? BytesOf(r) : "") + c.fields[i];
    EXPECT_EQ(corv::InStr(1, source, find), c.position);
    EXPECT_EQ(BytesOf(corv::ReplaceAll(source, find, "R")), replaced);
    EXPECT_EQ(BytesOf(corv::Replace(source, find, "R")), replaced);
    EXPECT_EQ(corv::CountFields(source, find), static_cast<int32_t>(c.fields.size()));
    corv::StringArray split = corv::Split(source, find);
    ASSERT_EQ(split.UBound() + 1, static_cast<int32_t>(c.fields.size()));
    for (size_t i = 0; i < c.fields.size(); ++i) {
      EXPECT_EQ(BytesOf(split(static_cast<int32_t>(i))), c.fields[i]);
      EXPECT_EQ(BytesOf(corv::NthField(source, find, static_cast<int32_t>(i) + 1)), c.fields[i]);
    }
    EXPECT_TRUE(corv::NthField(source, find, static_cast<int32_t>(c.fields.size()) + 1).empty());
  }
}

TEST_F(SearchTest, ReplaceLineEndings) {
  String mixed("a\r\nb\rc\nd");
  EXPECT_EQ(BytesOf(corv::ReplaceLineEndings(mixed, "\n")), "a\nb\nc\nd");
  EXPECT_EQ(BytesOf(corv::ReplaceLineEndings(mixed, "\r\n")), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(BytesOf(corv::ReplaceLineEndings("\n\r\r\n", "|")), "|||");
  EXPECT_EQ(BytesOf(corv::ReplaceLineEndings("a\nb", String())), "ab");
  EXPECT_TRUE(corv::ReplaceLineEndings(String(), "\n").empty());
  String plain("no breaks");
  EXPECT_EQ(corv::ReplaceLineEndings(plain, "\n").get(), plain.get());
  String wide = corv::ReplaceLineEndings(Utf16(u"a\r\nb\u0A0D"), Utf16(u"\n"));
  EXPECT_EQ(BytesOf(wide), BytesOf(Utf16(u"a\nb\u0A0D"))) << "UTF-16 breaks are whole units";
  EXPECT_EQ(wide.encoding(), static_cast<uint32_t>(kEncodingUTF16));
  String reconciled = corv::ReplaceLineEndings(Utf16(u"x\ry"), "\n");  // UTF-16 meets UTF-8
  EXPECT_EQ(BytesOf(reconciled), "x\ny");
  EXPECT_EQ(reconciled.encoding(), static_cast<uint32_t>(kEncodingUTF8));
}

}  // namespace

// Matches far apart, in the letter case the first look-ahead does not find,
// exercise the bounded look-ahead of the caseless searches.
TEST_F(SearchTest, CaselessSearchFindsMatchesFarBeyondTheLookAheadWindow) {
  std::string text(200000, '.');
  text.replace(70000, 5, "GAMMA");
  text.replace(140000, 5, "gamma");
  text.replace(199990, 5, "GaMmA");
  String source(text);
  EXPECT_EQ(corv::InStr(1, source, "gamma"), 70001);
  EXPECT_EQ(corv::InStr(70002, source, "GAMMA"), 140001);
  EXPECT_EQ(corv::CountFields(source, "gamma"), 4);
  String replaced = corv::ReplaceAll(source, "gamma", "x");
  EXPECT_EQ(replaced.size(), text.size() - 12);
  EXPECT_EQ(corv::InStr(1, replaced, "gamma"), 0);
  // A multi-byte find takes the character-wise path; the window's end must
  // not be taken for the start of a character.
  std::string wide(150000, 'x');
  wide.replace(100000, 3, "\xC3\x89t\xC3\xA9");  // "Été"
  String widened(wide);
  EXPECT_EQ(corv::InStr(1, widened, "\xC3\xA9T\xC3\x89"), 100001);
  // Many close matches in one letter case, then a long gap and matches in
  // the other: each search looks ahead afresh.
  std::string runs;
  for (int i = 0; i < 3000; ++i) runs += "gamma.";
  runs += std::string(300000, '.') + "GAMMA..GaMmA";
  String repeated(runs);
  EXPECT_EQ(corv::CountFields(repeated, "gamma"), 3003);
  EXPECT_EQ(corv::CountFields(corv::ReplaceAll(repeated, "GAMMA", "-"), "-"), 3003);
}

// Every name InStr finds in a text is a candidate of the index, whatever
// the letters (the Kelvin sign and the long s match "k" and "s"), broken
// UTF-8 (a name cut inside a character matches the start of another),
// names longer than the index's window, texts and names of no declared
// encoding (searched byte for byte) or of another code; and the index does
// filter: a text that holds none of a thousand names has no candidate.
TEST_F(SearchTest, NameIndexCandidatesHoldEveryNameInStrFinds) {
  const char *pieces[] = {"%",    "a",    "A",        "k",        "K",        "\xE2\x84\xAA",
                          "s",    "S",    "\xC5\xBF", "\xC3\xA9", "\xC3\x89", "\xE2",
                          "\xC3", "\x80", "\xF0",     "i",        "I",        "\xC4\xB1"};
  std::mt19937 rng(23);
  auto draw = [&](size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) out += pieces[rng() % std::size(pieces)];
    return out;
  };
  for (int round = 0; round < 400; ++round) {
    corv::NameIndex index;
    std::vector<String> names;
    for (int i = 0; i < 24; ++i) {
      std::string name = i % 8 == 7 ? std::string(40, 'k') + draw(2) : draw(1 + rng() % 4);
      uint32_t code = i == 5   ? CodePage(1252)
                      : i == 6 ? uint32_t{kEncodingUnknown}
                               : uint32_t{kEncodingUTF8};
      names.push_back(i == 4 ? String() : String(name, code));
      index.Add(names.back());
    }
    std::string body = draw(rng() % 60);
    if (round % 3 == 0) body += std::string(names[7].view());  // a long name, whole
    bool undeclared = round % 2 == 1;
    String text(body, undeclared ? kEncodingUnknown : kEncodingUTF8);
    int32_t from = static_cast<int32_t>(rng() % 4);
    std::vector<int32_t> candidates = index.Candidates(text, from);
    EXPECT_TRUE(std::is_sorted(candidates.begin(), candidates.end()));
    for (int32_t i = 0; i < index.Count(); ++i) {
      bool candidate = std::find(candidates.begin(), candidates.end(), i) != candidates.end();
      if (i < from) {
        EXPECT_FALSE(candidate) << i;
        continue;
      }
      if (corv::InStr(text, names[i]) > 0) {
        EXPECT_TRUE(candidate) << i << " in " << body << (undeclared ? " (undeclared)" : "");
      }
    }
  }
  corv::NameIndex many;
  for (int i = 0; i < 1000; ++i) many.Add(String("%name" + std::to_string(i) + "%"));
  for (uint32_t code : {kEncodingUTF8, kEncodingUnknown}) {
    EXPECT_TRUE(many.Candidates(String("SetProperty %NAME1% and %name999% 100%", code), 0) ==
                (std::vector<int32_t>{1, 999}));
    EXPECT_TRUE(many.Candidates(String("%nam% %name%", code), 0).empty());
  }
}
