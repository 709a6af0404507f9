// Split and Join over String arrays.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/failure.h"
#include "corv.h"
#include "lib/string_test_util.h"
#include "runtime_test.h"

namespace {

using corv::String;
using corv::StringArray;
using corv::testing::Bytes;
using corv::testing::BytesOf;
using corv::testing::CodePage;
using corv::testing::RuntimeTest;
using corv::testing::Utf16;

class SplitJoinTest : public RuntimeTest {};

std::vector<std::string> Elements(const StringArray &a) {
  std::vector<std::string> out;
  for (int32_t i = 0; i <= a.UBound(); ++i) out.push_back(BytesOf(a(i)));
  return out;
}

TEST_F(SplitJoinTest, SplitAtDelimiters) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Elements(corv::Split("a,b,", ",")), (V{"a", "b", ""}));
  EXPECT_EQ(corv::Split(String(), ",").UBound(), -1);
  EXPECT_EQ(Elements(corv::Split("abc", ",")), (V{"abc"}));
  EXPECT_EQ(Elements(corv::Split(",", ",")), (V{"", ""}));
  EXPECT_EQ(Elements(corv::Split("aXbxc", "x")), (V{"a", "b", "c"})) << "case ignored";
  EXPECT_EQ(Elements(corv::Split("a--b---c", "--")), (V{"a", "b", "-c"}));
}

TEST_F(SplitJoinTest, SplitWithoutDelimiterGivesCharacters) {
  using V = std::vector<std::string>;
  StringArray chars = corv::Split("h\xC3\xA9!", String());
  EXPECT_EQ(Elements(chars), (V{"h", "\xC3\xA9", "!"}));
  EXPECT_EQ(chars(1).encoding(), static_cast<uint32_t>(kEncodingUTF8));
  StringArray bytes = corv::Split(Bytes("ab\xE9", CodePage(1252)), String());
  EXPECT_EQ(Elements(bytes), (V{"a", "b", "\xE9"}));
  EXPECT_EQ(bytes(2).encoding(), CodePage(1252));
  EXPECT_EQ(Elements(corv::Split(Utf16(u"a\u00E9"), String())),
            (V{BytesOf(Utf16(u"a")), BytesOf(Utf16(u"\u00E9"))}));
  EXPECT_EQ(Elements(corv::Split(Bytes("A\x93\xFA", 0xA01), String())), (V{"A", "\x93\xFA"}));
}

TEST_F(SplitJoinTest, SplitKeepsTheSourceEncoding) {
  StringArray wide = corv::Split(Utf16(u"x;y"), ";");
  ASSERT_EQ(wide.UBound(), 1);
  EXPECT_EQ(BytesOf(wide(1)), BytesOf(Utf16(u"y")));
  EXPECT_EQ(wide(1).encoding(), static_cast<uint32_t>(kEncodingUTF16));
}

TEST_F(SplitJoinTest, JoinEdges) {
  EXPECT_TRUE(String::Adopt(StringJoin(nullptr, String(",").get())).empty());
  EXPECT_TRUE(corv::Join(corv::NewArray<String>(), ",").empty());
  StringArray one = corv::NewArray<String>();
  String only("only");
  one.Append(only);
  EXPECT_EQ(corv::Join(one, ",").get(), only.get()) << "a single element is itself";
  StringArray parts = corv::Split("a,,b", ",");
  EXPECT_EQ(BytesOf(corv::Join(parts, " + ")), "a +  + b");
  EXPECT_EQ(BytesOf(corv::Join(parts, String())), "ab");
}

TEST_F(SplitJoinTest, JoinFindsACommonEncoding) {
  StringArray a = corv::NewArray<String>();
  a.Append(Bytes("x", kEncodingASCII));
  a.Append(Bytes("caf\xE9", CodePage(1252)));
  a.Append(Utf16(u"\u00E9"));
  String joined = corv::Join(a, "-");
  EXPECT_EQ(joined.encoding(), static_cast<uint32_t>(kEncodingUTF16)) << "1252 meets UTF-16";
  EXPECT_EQ(BytesOf(joined), BytesOf(Utf16(u"x-caf\u00E9-\u00E9")));

  StringArray b = corv::NewArray<String>();
  b.Append(String());  // element 0 empty: the delimiter's encoding starts
  b.Append("\xC3\xA9");
  b.Append(Bytes("\xE9", CodePage(1252)));
  String utf8 = corv::Join(b, Bytes("|", kEncodingASCII));
  EXPECT_EQ(utf8.encoding(), static_cast<uint32_t>(kEncodingUTF8));
  EXPECT_EQ(BytesOf(utf8), "|\xC3\xA9|\xC3\xA9");
}

TEST_F(SplitJoinTest, SplitThenJoinGivesTheSourceBack) {
  String source("one\ttwo\t\tthree\t");
  EXPECT_EQ(BytesOf(corv::Join(corv::Split(source, "\t"), "\t")), BytesOf(source));
}

TEST_F(SplitJoinTest, JoinOfANonStringArrayIsReported) {
  corv::CaptureFailures(true);
  auto numbers = corv::NewArray<int32_t>(2);
  EXPECT_EQ(StringJoin(numbers.object(), nullptr), nullptr);
  EXPECT_EQ(corv::TakeCapturedFailures().size(), 1u);
  corv::CaptureFailures(false);
}

}  // namespace
