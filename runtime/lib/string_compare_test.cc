// The language's comparison: case ignored, by UTF-8 characters, UTF-16
// units or the locale's collator.
#include <gtest/gtest.h>

#include "corv.h"
#include "lib/string_test_util.h"
#include "runtime_test.h"

namespace {

using corv::String;
using corv::testing::Bytes;
using corv::testing::CodePage;
using corv::testing::RuntimeTest;
using corv::testing::Utf16;

class CompareTest : public RuntimeTest {};

int32_t Cmp(const String &a, const String &b) {
  return RuntimeStringCompare(a.get(), b.get());
}

TEST_F(CompareTest, EmptyAndSameRecord) {
  String a("a");
  EXPECT_EQ(Cmp(String(), String()), 0);
  EXPECT_EQ(Cmp(a, a), 0);
  EXPECT_EQ(Cmp(String(), a), -1);
  EXPECT_EQ(Cmp(a, String()), 1);
}

TEST_F(CompareTest, Utf8IgnoresCase) {
  EXPECT_EQ(Cmp("abc", "ABC"), 0);
  EXPECT_EQ(Cmp("a", "B"), -1);
  EXPECT_EQ(Cmp("B", "a"), 1);
  EXPECT_EQ(Cmp("abc", "abcd"), -1) << "shorter is less on a common prefix";
  EXPECT_EQ(Cmp("\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89"), 0) << "été = ÉTÉ";
  EXPECT_EQ(Cmp("stra\xC3\x9F"
                "e",
                "STRASSE"),
            1)
      << "sharp s is not SS";
  EXPECT_NE(Cmp("stra\xC3\x9F"
                "e",
                "strasse"),
            0);
  EXPECT_EQ(Cmp("\xCF\x83", "\xCF\x82"), 0) << "sigma = final sigma";
  EXPECT_EQ(Cmp("\xCF\x83", "\xCF\xB2"), 0) << "sigma = lunate sigma symbol";
  EXPECT_EQ(Cmp("\xD0\xB4\xD0\xB0", "\xD0\x94\xD0\x90"), 0) << "Cyrillic";
  EXPECT_EQ(Cmp("k", "\xE2\x84\xAA"), -1) << "equal characters, fewer bytes is less";
  EXPECT_EQ(Cmp("_", "a"), 1) << "after upper-casing, '_' (0x5F) > 'A' (0x41)";
}

// Letters whose UTF-8 form is longer than that of the letter they match
// (long s, Kelvin sign, ohm sign) let one text end while the other goes on
// at the same byte length; such texts differ, the one that ended is less.
TEST_F(CompareTest, EqualByteLengthsAreEqualOnlyWhenBothTextsEnd) {
#define LONG_S "\xC5\xBF"
#define KELVIN "\xE2\x84\xAA"
#define OHM "\xE2\x84\xA6"
  EXPECT_EQ(Cmp(LONG_S "s", "ssX"), -1);
  EXPECT_EQ(Cmp("ssX", LONG_S "s"), 1);
  EXPECT_EQ(Cmp(KELVIN "a", "KAxy"), -1);
  EXPECT_EQ(Cmp("kaxy", KELVIN "A"), 1);
  EXPECT_EQ(Cmp(OHM OHM, "\xCF\x89\xCF\x89\xC3\xA9"), -1) << "ohm ohm < omega omega e-acute";
  // Unchanged: texts that end together, and the byte-length rule.
  EXPECT_EQ(Cmp(LONG_S "s", "S" LONG_S), 0);
  EXPECT_EQ(Cmp(KELVIN "k", "K" KELVIN), 0);
  EXPECT_EQ(Cmp(LONG_S "s", "SS"), 1) << "more bytes is greater";
  EXPECT_EQ(Cmp(LONG_S LONG_S, "sss"), 1) << "more bytes, though fewer characters";
  EXPECT_EQ(Cmp("abc", "abd"), -1);
#undef LONG_S
#undef KELVIN
#undef OHM
}

TEST_F(CompareTest, Utf16ComparesUnits) {
  EXPECT_EQ(Cmp(Utf16(u"\u00E9T\u00E9"), Utf16(u"\u00C9t\u00C9")), 0);
  EXPECT_EQ(Cmp(Utf16(u"ab"), Utf16(u"abc")), -1);
  EXPECT_EQ(Cmp(Utf16(u"b"), Utf16(u"A")), 1);
  EXPECT_EQ(Cmp(Utf16(u"Stra\u00DFe"), Utf16(u"STRASSE")), 1);
}

TEST_F(CompareTest, MixedEncodingsAreReconciled) {
  EXPECT_EQ(Cmp(Utf16(u"caf\u00E9"), "CAF\xC3\x89"), 0) << "UTF-16 against UTF-8";
  EXPECT_EQ(Cmp(Bytes("caf\xE9", CodePage(1252)), "CAF\xC3\x89"), 0);
  EXPECT_EQ(Cmp(Bytes("abc", kEncodingASCII), "ABC"), 0);
}

TEST_F(CompareTest, BytesOfMicrosoftsTablesAreTextLikeAnyOther) {
  // Where ICU's converter differs from Microsoft's table, or has nothing
  // (852's AA), the byte still holds the character it converts to.
  struct {
    uint32_t page;
    const char *byte;
    const char *utf8;
  } cases[] = {{852, "\xAA", "\xC2\xAC"}, {437, "\xE6", "\xC2\xB5"}, {869, "\x88", "\xC2\xB7"}};
  for (const auto &c : cases) {
    String text = Bytes(std::string("x") + c.byte, CodePage(c.page));
    EXPECT_EQ(Cmp(text, String(std::string("X") + c.utf8)), 0) << c.page;
    EXPECT_EQ(Cmp(text, String::Adopt(RuntimeConvertString(text.get(), kEncodingUTF8))), 0)
        << c.page;
  }
}

TEST_F(CompareTest, OtherEncodingsUseTheCollator) {
  String a = Bytes("caf\xE9", CodePage(1252)), b = Bytes("CAF\xC9", CodePage(1252));
  EXPECT_EQ(Cmp(a, b), 0);
  EXPECT_EQ(Cmp(Bytes("apple", CodePage(1252)), Bytes("Banana", CodePage(1252))), -1);
  EXPECT_EQ(Cmp(Bytes("zeta", CodePage(1252)), Bytes("Alpha", CodePage(1252))), 1);
  EXPECT_EQ(Cmp(Bytes("cafe", CodePage(1252)), Bytes("caf\xE9", CodePage(1252))), -1)
      << "accents still count";
  EXPECT_EQ(Cmp(Bytes("ab", kEncodingUnknown), Bytes("AB", kEncodingUnknown)), 0);
  EXPECT_EQ(Cmp(Bytes("ab", kEncodingUnknown), Bytes("ABC", kEncodingUnknown)), -1);
}

TEST_F(CompareTest, EqualityIsTheComparisonsZero) {
  // Equality decides ASCII on its own; every row must agree with the full
  // comparison, in both orders.
  String kelvin("\xE2\x84\xAA");
  struct {
    String a, b;
    bool equal;
  } rows[] = {
      {Bytes("Type", kEncodingUnknown), "TYPE", true},
      {Bytes("Type", kEncodingUnknown), "Types", false},
      {Bytes("Typf", kEncodingUnknown), "Type", false},
      {Bytes("Type", kEncodingUnknown), Bytes("tYPE", kEncodingASCII), true},
      {Bytes("a_b", kEncodingUnknown), "A_B", true},
      {Bytes("[", kEncodingUnknown), "{", false},  // only letters fold
      {Bytes("k", kEncodingUnknown), kelvin, true},
      {Bytes("k", kEncodingASCII), kelvin, false},
      {Bytes("ab\xFF", kEncodingASCII), "AB\xFF", true},
      {Bytes("Type", CodePage(1252)), "type", true},
      {Utf16(u"Type"), "TYPE", true},
      {String(), "", true},
      {String(), "x", false},
  };
  for (const auto &row : rows) {
    EXPECT_EQ(row.a == row.b, row.equal) << &row - rows;
    EXPECT_EQ(row.b == row.a, row.equal) << &row - rows;
    EXPECT_EQ(Cmp(row.a, row.b) == 0, row.equal) << &row - rows;
  }
}

TEST_F(CompareTest, WrapperOperatorsUseTheComparison) {
  using namespace corv::literals;
  EXPECT_TRUE("Hello"_s == "hELLO"_s);
  EXPECT_TRUE("a"_s < "B"_s);
  EXPECT_TRUE("b"_s > "A"_s);
  EXPECT_FALSE("x"_s == String());
  EXPECT_TRUE(String() < "x"_s);
  EXPECT_FALSE("\xC5\xBFs"_s == "ssX"_s);
  EXPECT_TRUE("\xC5\xBFs"_s < "ssX"_s);
}

}  // namespace
