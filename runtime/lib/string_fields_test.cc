// CountFields, NthField and the Trim family.
#include <gtest/gtest.h>

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

class FieldsTest : public RuntimeTest {};

TEST_F(FieldsTest, CountFields) {
  EXPECT_EQ(corv::CountFields("a,b,,c", ","), 4);
  EXPECT_EQ(corv::CountFields(String(), ","), 0);
  EXPECT_EQ(corv::CountFields("abc", String()), 1);
  EXPECT_EQ(corv::CountFields("aXbxc", "x"), 3);
  EXPECT_EQ(corv::CountFields("aaaa", "aa"), 3) << "occurrences do not overlap";
  EXPECT_EQ(corv::CountFields(",", ","), 2);
  EXPECT_EQ(corv::CountFields(Utf16(u"a\u00E9b\u00C9c"), "\xC3\xA9"), 3);
}

TEST_F(FieldsTest, NthField) {
  EXPECT_EQ(BytesOf(corv::NthField("aXbxc", "x", 2)), "b");
  EXPECT_EQ(BytesOf(corv::NthField("aXbxc", "x", 3)), "c");
  EXPECT_TRUE(corv::NthField("a,b", ",", 3).empty());
  EXPECT_TRUE(corv::NthField("a,b", ",", 0).empty());
  EXPECT_TRUE(corv::NthField("a,b", ",", -1).empty());
  EXPECT_TRUE(corv::NthField(String(), ",", 1).empty());
  EXPECT_TRUE(corv::NthField("a,b", String(), 1).empty());
  EXPECT_TRUE(corv::NthField("a,,b", ",", 2).empty());
  EXPECT_TRUE(corv::NthField("a,b,", ",", 3).empty());
  String s("whole");
  EXPECT_EQ(corv::NthField(s, ",", 1).get(), s.get());
  EXPECT_EQ(BytesOf(corv::NthField("key = value", " = ", 2)), "value");
  EXPECT_EQ(BytesOf(corv::NthField("one::two::three", "::", 3)), "three");
  String wide = corv::NthField(Utf16(u"x;y;z"), ";", 2);
  EXPECT_EQ(BytesOf(wide), BytesOf(Utf16(u"y")));
  EXPECT_EQ(wide.encoding(), static_cast<uint32_t>(kEncodingUTF16));
  String sjis = Bytes("\x96\x7B|\x93\xFA", 0xA01);  // 本|日: 0x7B is a trail byte, not "{"
  EXPECT_EQ(BytesOf(corv::NthField(sjis, Bytes("|", 0xA01), 2)), "\x93\xFA");
  EXPECT_EQ(corv::CountFields(sjis, Bytes("{", 0xA01)), 1);
}

TEST_F(FieldsTest, DelimiterWithoutTextInTheSourceEncodingOccursNowhere) {
  // Half a UTF-16 unit and bytes of no known code give no text to look for:
  // the source is its one field, as CountFields counts and Split cuts it.
  String source = Bytes("a,b", 0x410);  // DOS Latin 1
  for (const String &delimiter :
       {Bytes(std::string_view("a\0X", 3), kEncodingUTF16), Bytes(",", 0x7FFF)}) {
    EXPECT_EQ(corv::CountFields(source, delimiter), 1);
    EXPECT_EQ(corv::NthField(source, delimiter, 1).get(), source.get());
    EXPECT_TRUE(corv::NthField(source, delimiter, 2).empty());
  }
}

TEST_F(FieldsTest, TrimAscii) {
  EXPECT_TRUE(corv::Trim("     ").empty());
  EXPECT_EQ(BytesOf(corv::Trim("  x ")), "x");
  EXPECT_EQ(BytesOf(corv::LTrim("  x ")), "x ");
  EXPECT_EQ(BytesOf(corv::RTrim("  x ")), "  x");
  EXPECT_EQ(BytesOf(corv::Trim(Bytes("\t\n\v\f\r x y \r\n", kEncodingASCII))), "x y");
  String s("x");
  EXPECT_EQ(corv::Trim(s).get(), s.get()) << "nothing removed: the string itself";
  EXPECT_TRUE(corv::Trim(String()).empty());
}

TEST_F(FieldsTest, TrimUnicodeWhitespace) {
  EXPECT_EQ(BytesOf(corv::Trim("\xC2\xA0\xE3\x80\x80x\xE2\x80\xA8\xC2\x85")), "x");
  EXPECT_EQ(BytesOf(corv::Trim("\xE2\x80\x8Bx")), "\xE2\x80\x8Bx")
      << "zero width space is not whitespace";
  EXPECT_EQ(BytesOf(corv::Trim(Utf16(u"\u2000\u3000a b\u205F"))), BytesOf(Utf16(u"a b")));
  // Malformed UTF-8 is text, not white space, however leniently it decodes.
  for (const char *kept : {"\xEBx\xEB\xEB", "\xE2\x80x\xE2\x80", "\xC0\xA0x\xC0\xA0"})
    EXPECT_EQ(BytesOf(corv::Trim(kept)), kept);
  EXPECT_EQ(BytesOf(corv::Trim(Bytes("\xA0x\xA0", kEncodingUnknown))), "\xA0x\xA0")
      << "0xFFFF: ASCII whitespace only";
  EXPECT_EQ(corv::Trim(Bytes(" \xA0x ", kEncodingUnknown)).encoding(),
            static_cast<uint32_t>(kEncodingUnknown));
  String latin =
      corv::Trim(Bytes("\xA0 caf\xE9\xA0", CodePage(1252)));  // NBSP is whitespace in 1252 too
  EXPECT_EQ(BytesOf(latin), "caf\xE9");
  EXPECT_EQ(latin.encoding(), CodePage(1252));
}

}  // namespace
