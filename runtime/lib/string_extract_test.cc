// Left, Right, Mid, Len and Chr, by bytes and by characters, for each kind
// of character unit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corv.h"
#include "lib/string_test_util.h"
#include "runtime_test.h"

namespace {

using corv::String;
using corv::testing::Bytes;
using corv::testing::BytesOf;
using corv::testing::CodePage;
using corv::testing::RuntimeTest;
using corv::testing::Utf16;

class ExtractTest : public RuntimeTest {};

const char kHello[] = "h\xC3\xA9llo";  // héllo

TEST_F(ExtractTest, LeftByCharactersAndBytes) {
  String s(kHello);
  EXPECT_EQ(BytesOf(corv::Left(s, 2)), "h\xC3\xA9");
  EXPECT_EQ(BytesOf(corv::LeftB(s, 2)), "h\xC3");
  EXPECT_EQ(corv::Left(s, 2).encoding(), static_cast<uint32_t>(kEncodingUTF8));
  EXPECT_TRUE(corv::Left(s, 0).empty());
  EXPECT_TRUE(corv::Left(s, -3).empty());
  EXPECT_TRUE(corv::LeftB(s, -1).empty());
  EXPECT_EQ(corv::Left(s, 5).get(), s.get()) << "the whole string is the string itself";
  EXPECT_EQ(corv::Left(s, 99).get(), s.get());
  EXPECT_EQ(corv::LeftB(s, 6).get(), s.get());
  EXPECT_TRUE(corv::Left(String(), 3).empty());
}

TEST_F(ExtractTest, RightByCharactersAndBytes) {
  String s(kHello);
  EXPECT_EQ(BytesOf(corv::Right(s, 4)), "\xC3\xA9llo");
  EXPECT_EQ(BytesOf(corv::RightB(s, 4)), "\xA9llo");
  EXPECT_EQ(corv::Right(s, 5).get(), s.get());
  EXPECT_EQ(corv::RightB(s, 60).get(), s.get());
  EXPECT_TRUE(corv::Right(s, 0).empty());
  EXPECT_TRUE(corv::RightB(s, -2).empty());
}

TEST_F(ExtractTest, MidByCharacters) {
  String s("abcdef");
  EXPECT_EQ(BytesOf(corv::Mid(s, 0, 3)), "ab");
  EXPECT_EQ(BytesOf(corv::Mid(s, -1, 3)), "a");
  EXPECT_TRUE(corv::Mid(s, -2, 3).empty());
  EXPECT_EQ(BytesOf(corv::Mid(s, 5)), "ef");
  EXPECT_TRUE(corv::Mid(String("abc"), 10).empty());
  EXPECT_EQ(corv::Mid(s, 0).get(), s.get());
  EXPECT_EQ(corv::Mid(s, -7).get(), s.get());
  EXPECT_EQ(BytesOf(corv::Mid(s, 2, 3)), "bcd");
  EXPECT_EQ(BytesOf(corv::Mid(s, 5, 10)), "ef") << "fewer when the string ends first";
  EXPECT_TRUE(corv::Mid(s, 2, 0).empty());
  EXPECT_TRUE(corv::Mid(s, 2, -1).empty());
  EXPECT_TRUE(corv::Mid(s, 7, 1).empty());
  EXPECT_EQ(BytesOf(corv::Mid(String(kHello), 2, 2)), "\xC3\xA9l");
  EXPECT_EQ(BytesOf(corv::Mid(String(kHello), 3)), "llo");
}

TEST_F(ExtractTest, MidByBytes) {
  String s("abcdef");
  EXPECT_EQ(corv::MidB(s, 1).get(), s.get());
  EXPECT_EQ(corv::MidB(s, -5).get(), s.get());
  EXPECT_EQ(BytesOf(corv::MidB(s, 3)), "cdef");
  EXPECT_TRUE(corv::MidB(s, 7).empty());
  EXPECT_EQ(BytesOf(corv::MidB(s, 0, 3)), "ab") << "len += offset when offset < 0";
  EXPECT_EQ(corv::MidB(s, 1, 6).get(), s.get());
  EXPECT_EQ(BytesOf(corv::MidB(s, 5, 100)), "ef");
  EXPECT_TRUE(corv::MidB(s, 7, 2).empty());
  EXPECT_TRUE(corv::MidB(s, 2, 0).empty());
  EXPECT_TRUE(corv::MidB(s, -3, 2).empty());
  EXPECT_EQ(BytesOf(corv::MidB(s, INT32_MIN, INT32_MAX)), "") << "no overflow";
  EXPECT_EQ(BytesOf(corv::MidB(s, 2, INT32_MAX)), "bcdef");
}

// Stepping by characters passes whole blocks of bytes at once; every start
// and length across the first blocks, in a text of 1- to 4-byte characters
// (and one that begins with stray continuation bytes, the first character).
TEST_F(ExtractTest, CharacterPositionsAcrossCountingBlocks) {
  const char *cycle[] = {"a", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9D\x84\x9E", "\xE2\x84\xAA", "z"};
  for (std::string lead : {"", "\x80\x80"}) {
    std::vector<std::string> chars;
    if (!lead.empty()) chars.push_back(lead);
    std::string text = lead;
    for (size_t i = 0; text.size() < 1200; ++i) {
      chars.push_back(cycle[i % 6]);
      text += chars.back();
    }
    String s(text);
    std::string rest = text;  // the text from character `start` on
    for (int32_t start = 1; start <= static_cast<int32_t>(chars.size()); ++start) {
      ASSERT_EQ(BytesOf(corv::Mid(s, start)), rest) << "start " << start;
      ASSERT_EQ(BytesOf(corv::Mid(s, start, 2)),
                rest.substr(
                    0, chars[start - 1].size() +
                           (static_cast<size_t>(start) < chars.size() ? chars[start].size() : 0)));
      ASSERT_EQ(BytesOf(corv::Left(s, start)),
                text.substr(0, text.size() - rest.size() + chars[start - 1].size()));
      rest.erase(0, chars[start - 1].size());
    }
    EXPECT_TRUE(corv::Mid(s, static_cast<int32_t>(chars.size()) + 1).empty());
  }
}

TEST_F(ExtractTest, LengthsAndUnits) {
  EXPECT_EQ(corv::Len(String(kHello)), 5);
  EXPECT_EQ(corv::LenB(String(kHello)), 6);
  EXPECT_EQ(corv::Len(String()), 0);
  EXPECT_EQ(corv::LenB(String()), 0);
  EXPECT_EQ(corv::Len(Utf16(u"h\u00E9llo")), 5);
  EXPECT_EQ(corv::Len(Bytes("h\xE9llo", CodePage(1252))), 5);
  EXPECT_EQ(corv::Len(Bytes("abc", kEncodingASCII)), 3);
  EXPECT_EQ(corv::Len(Bytes("\xFF\xFE", kEncodingUnknown)), 2) << "one byte each on a UTF-8 system";
  std::string many;
  for (int i = 0; i < 1001; ++i) many += kHello;
  EXPECT_EQ(corv::Len(String(many)), 5005) << "the word-at-a-time count";
  EXPECT_EQ(corv::InStr(1, String(many + "\xC3\x89!"), "\xC3\xA9!"), 5006);
}

TEST_F(ExtractTest, Utf16CountsUnits) {
  String s = Utf16(u"h\u00E9llo");
  EXPECT_EQ(BytesOf(corv::Left(s, 2)), BytesOf(Utf16(u"h\u00E9")));
  EXPECT_EQ(BytesOf(corv::Right(s, 3)), BytesOf(Utf16(u"llo")));
  EXPECT_EQ(BytesOf(corv::Mid(s, 2, 2)), BytesOf(Utf16(u"\u00E9l")));
  EXPECT_EQ(corv::Mid(s, 2, 2).encoding(), static_cast<uint32_t>(kEncodingUTF16));
  EXPECT_EQ(corv::Right(s, 9).get(), s.get());
}

TEST_F(ExtractTest, DoubleByteCodePageCountsWholeCharacters) {
  // "A日本B" in Shift-JIS: 日 = 93 FA, 本 = 96 7B (a trail byte may look like ASCII).
  String s = Bytes(
      "A\x93\xFA\x96\x7B"
      "B",
      0xA01);
  EXPECT_EQ(corv::Len(s), 4);
  EXPECT_EQ(BytesOf(corv::Left(s, 2)), "A\x93\xFA");
  EXPECT_EQ(BytesOf(corv::Right(s, 2)),
            "\x96\x7B"
            "B");
  EXPECT_EQ(BytesOf(corv::Mid(s, 3, 1)), "\x96\x7B");
  EXPECT_EQ(BytesOf(corv::Mid(s, 4)), "B");
}

TEST_F(ExtractTest, ChrMakesOneOrTwoBytes) {
  String lf = corv::Chr(10);
  EXPECT_EQ(BytesOf(lf), "\n");
  EXPECT_EQ(lf.encoding(), static_cast<uint32_t>(kEncodingASCII));
  String e = corv::Chr(233);
  EXPECT_EQ(BytesOf(e), "\xE9");
  EXPECT_EQ(e.encoding(), static_cast<uint32_t>(kEncodingUnknown));
  String two = corv::Chr(0x93FA);
  EXPECT_EQ(BytesOf(two), "\x93\xFA");
  EXPECT_EQ(two.encoding(), static_cast<uint32_t>(kEncodingUnknown));
  EXPECT_EQ(BytesOf(corv::Chr(0)), std::string(1, '\0')) << "a NUL byte is not the empty string";
  EXPECT_EQ(BytesOf(corv::Chr(-1)), "\xFF");
  EXPECT_EQ(corv::Chr(-1).encoding(), static_cast<uint32_t>(kEncodingUnknown));
}

}  // namespace
