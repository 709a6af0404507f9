// Code pages on Windows: the system's pages, UTF-16 and UTF-32 of our own,
// lead bytes, and the locale ordering.
#include "platform/code_pages.h"

#include <gtest/gtest.h>

namespace {

using namespace corv::platform;

std::u16string Decoded(uint32_t page, std::string_view bytes, bool exact) {
  std::u16string out;
  if (!DecodeCodePage(page, bytes.data(), bytes.size(), exact, &out)) return u"<failed>";
  return out;
}

std::string Encoded(uint32_t page, std::u16string_view text) {
  std::string out;
  if (!AppendInCodePage(page, text.data(), text.size(), &out)) return "<failed>";
  return out;
}

TEST(WindowsCodePagesTest, ConvertsBothWays) {
  struct Case {
    uint32_t page;
    std::string_view bytes;
    std::u16string_view text;
  } cases[] = {
      {1252, "caf\xE9", u"caf\u00E9"},
      {437, "\xE6", u"\u00B5"},
      {932, "\x82\xA0", u"\u3042"},
      {65001, "\xE2\x82\xAC", u"\u20AC"},
      {1200, std::string_view("A\0\x3D\xD8\x00\xDE", 6), u"A\U0001F600"},
      {1201, std::string_view("\0A\xD8\x3D\xDE\x00", 6), u"A\U0001F600"},
      {12000, std::string_view("A\0\0\0\x00\xF6\x01\0", 8), u"A\U0001F600"},
      {12001, std::string_view("\0\0\0A\0\x01\xF6\x00", 8), u"A\U0001F600"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(Decoded(c.page, c.bytes, true), c.text) << c.page;
    EXPECT_EQ(Encoded(c.page, c.text), c.bytes) << c.page;
  }
}

TEST(WindowsCodePagesTest, MalformedAndUnmappableText) {
  EXPECT_EQ(Decoded(65001, "a\xFF", true), u"<failed>");
  EXPECT_EQ(Decoded(65001, "a\xFF", false), u"a\uFFFD");
  EXPECT_EQ(Decoded(1200, std::string_view("A\0B", 3), true), u"<failed>");
  EXPECT_EQ(Decoded(1200, std::string_view("A\0B", 3), false), u"A\uFFFD");
  EXPECT_EQ(Decoded(1200, std::string_view("\x00\xD8", 2), true), u"<failed>");
  EXPECT_EQ(Decoded(12000, std::string_view("\0\0\x11\0", 4), false), u"\uFFFD");
  EXPECT_EQ(Encoded(1252, u"\u2603"), "?");
  EXPECT_EQ(Encoded(65001, u"\xD800"), "\xEF\xBF\xBD");
  EXPECT_EQ(Encoded(1200, u"\xDC00"), std::string("\xFD\xFF", 2));
  EXPECT_FALSE(CodePageAvailable(1361 + 100000));
  EXPECT_TRUE(CodePageAvailable(12001));
}

TEST(WindowsCodePagesTest, LeadBytesOfDoubleBytePagesOnly) {
  bool lead[256] = {};
  ASSERT_TRUE(FindLeadBytes(932, lead));
  EXPECT_TRUE(lead[0x81] && lead[0x9F] && lead[0xE0]);
  EXPECT_FALSE(lead[0x41] || lead[0xA0]);
  bool none[256] = {};
  EXPECT_FALSE(FindLeadBytes(1252, none));
  EXPECT_FALSE(FindLeadBytes(65001, none));
  EXPECT_FALSE(FindLeadBytes(1200, none));
}

TEST(WindowsCodePagesTest, TheLocaleOrdersWithCaseIgnored) {
  EXPECT_EQ(CompareInLocale(u"abc", u"ABD"), -1);
  EXPECT_EQ(CompareInLocale(u"ABD", u"abc"), 1);
  EXPECT_EQ(CompareInLocale(u"\u00E9t\u00E9", u"\u00C9T\u00C9"), 0);
  EXPECT_NE(CompareInLocale(u"e", u"\u00E9"), 0);  // accents count
  EXPECT_NE(SystemCodePage(), 0u);
}

}  // namespace
