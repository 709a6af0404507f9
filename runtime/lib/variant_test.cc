// Variants: the key hash, comparison across kinds, references held and the
// conversions to text and numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "corv.h"
#include "corv/variant.h"
#include "runtime_test.h"

namespace {

using corv::Variant;
using corv::testing::RuntimeTest;

class VariantTest : public RuntimeTest {};

std::string Text(const Variant &v) {
  return std::string(v.StringValue().view());
}

// The key hash as the dictionary defines it for ASCII text.
uint32_t AsciiHash(const std::string &text) {
  uint32_t h = 0;
  for (char c : text)
    h = h * 31 + static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(c)));
  return h;
}

Variant Encoded(const std::string &bytes, uint32_t encoding) {
  CORVstring s = RuntimeCreateString(bytes.data(), static_cast<int32_t>(bytes.size()), encoding);
  Variant v(s);
  RuntimeUnlockString(s);
  return v;
}

TEST_F(VariantTest, StringHashFoldsAsciiCase) {
  EXPECT_EQ(Variant("Name").Hash(), AsciiHash("NAME"));
  EXPECT_EQ(Variant("Name").Hash(), Variant("nAME").Hash());
  EXPECT_EQ(Variant("a[b]{c}").Hash(), AsciiHash("A[B]{C}"));  // only letters fold
  EXPECT_NE(Variant("ab").Hash(), Variant("ba").Hash());
  EXPECT_EQ(Variant("").Hash(), 0u);
}

// The hash of text of every length, with non-ASCII characters at every
// position, is the byte-by-byte sum: ASCII letters folded, each run of
// characters outside ASCII counted once as 0x80 taken as a signed byte.
TEST_F(VariantTest, StringHashIsTheFoldedSumAtEveryLength) {
  auto reference = [](const std::string &text) {
    uint32_t h = 0;
    bool inRun = false;
    for (unsigned char c : text) {
      if (c < 0x80) {
        h = h * 31 + static_cast<uint32_t>(std::toupper(c));
        inRun = false;
      } else if (!inRun) {
        h = h * 31 + static_cast<uint32_t>(-128);
        inRun = true;
      }
    }
    return h;
  };
  const std::string letters = "aZ/_9qQ~mN0 ";
  for (size_t length = 0; length <= 40; ++length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text += letters[(i * 7 + length) % letters.size()];
    ASSERT_EQ(Variant(text.c_str()).Hash(), reference(text)) << text;
    ASSERT_EQ(Encoded(text, 0xFFFF04E4u).Hash(), reference(text)) << text;  // Windows-1252
    for (size_t at = 0; at <= length; ++at) {
      std::string mixed = text.substr(0, at) + "\xC3\xA4\xC3\xB6" + text.substr(at);
      ASSERT_EQ(Variant(mixed.c_str()).Hash(), reference(mixed)) << mixed;
    }
  }
}

TEST_F(VariantTest, StringsThatCompareEqualHashAlikeAcrossCaseAndEncodings) {
  // Non-ASCII letters differing in case, in UTF-8.
  Variant upper("\xC3\x84RGER"), lower("\xC3\xA4rger");
  EXPECT_EQ(upper.Hash(), lower.Hash());
  // The same text in UTF-16 and in UTF-8.
  Variant utf16 = Encoded(std::string("a\0B\0\xE4\0", 6), kEncodingUTF16);
  EXPECT_EQ(utf16.Hash(), Variant("Ab\xC3\xA4").Hash());
  // A Windows-1252 byte against its UTF-8 form.
  EXPECT_EQ(Encoded("caf\xE9", 0xFFFF04E4u).Hash(), Variant("CAF\xC3\x89").Hash());
  // Letters outside ASCII that compare equal to ASCII ones.
  EXPECT_EQ(Variant("\xC5\xBFss\xE2\x84\xAA").Hash(), Variant("SsSk").Hash());
  EXPECT_EQ(Encoded(std::string("\x7F\x01", 2), kEncodingUTF16).Hash(), Variant("s").Hash());
  // ASCII text hashes the same in every byte encoding.
  EXPECT_EQ(Encoded("Key", kEncodingASCII).Hash(), Variant("KEY").Hash());
}

TEST_F(VariantTest, NumbersCompareAndHashByValue) {
  Variant i32(int32_t{5}), i64(int64_t{5}), single(5.0f), real(5.0),
      currency = Variant::Currency(50000);
  for (const Variant *v : {&i64, &single, &real, &currency}) {
    EXPECT_TRUE(*v == i32);
    EXPECT_EQ(v->Hash(), i32.Hash());
  }
  EXPECT_TRUE(Variant(0.25) == Variant::Currency(2500));
  EXPECT_EQ(Variant(0.25).Hash(), Variant::Currency(2500).Hash());
  EXPECT_TRUE(Variant(-0.0) == Variant(int32_t{0}));
  EXPECT_EQ(Variant(-0.0).Hash(), Variant(0.0).Hash());
  double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(Variant(nan) == Variant(-nan));
  EXPECT_EQ(Variant(nan).Hash(), Variant(-nan).Hash());
  // 2^53 + 1 is not the double 2^53, however close.
  int64_t big = (int64_t{1} << 53) + 1;
  EXPECT_FALSE(Variant(big) == Variant(9007199254740992.0));
  EXPECT_EQ(CORVVariantCompare(Variant(big).get(), Variant(9007199254740992.0).get()), 1);
  EXPECT_EQ(CORVVariantCompare(Variant(int32_t{2}).get(), Variant(2.5).get()), -1);
  EXPECT_EQ(CORVVariantCompare(Variant(int32_t{3}).get(), Variant(2.5).get()), 1);
  EXPECT_EQ(CORVVariantCompare(Variant(int32_t{-3}).get(), Variant(-2.5).get()), -1);
  EXPECT_EQ(CORVVariantCompare(Variant(INT64_MAX).get(), Variant(1e19).get()), -1);
}

TEST_F(VariantTest, KindsOrderAndNeverMix) {
  Variant nil, boolean(true), number(int32_t{1}), text("1");
  EXPECT_FALSE(boolean == number);
  EXPECT_FALSE(text == number);
  EXPECT_EQ(CORVVariantCompare(nil.get(), boolean.get()), -1);
  EXPECT_EQ(CORVVariantCompare(boolean.get(), number.get()), -1);
  EXPECT_EQ(CORVVariantCompare(number.get(), text.get()), -1);
  EXPECT_EQ(CORVVariantCompare(text.get(), number.get()), 1);
  EXPECT_TRUE(Variant("") == nil);  // the empty string is nil
  EXPECT_EQ(CORVVariantCompare(Variant("abc").get(), Variant("ABD").get()), -1);
  EXPECT_EQ(nil.Hash(), 0u);
  EXPECT_EQ(boolean.Hash(), 1u);
}

TEST_F(VariantTest, DatesHashByTheBitsOfTheirTotalSeconds) {
  auto date = corv::New<CORVdate>(&kDateDecl);
  dateTotalSecondsSetter(date.object(), 3.0e9);
  Variant v(date);
  EXPECT_EQ(v.Type(), kVariantDate);
  double seconds = 3.0e9;
  uint64_t bits;
  std::memcpy(&bits, &seconds, sizeof bits);
  uint32_t low = static_cast<uint32_t>(bits);
  EXPECT_EQ(v.Hash(), ((low << 16) | (low >> 16)) ^ static_cast<uint32_t>(bits >> 32));
  auto same = corv::New<CORVdate>(&kDateDecl);
  dateTotalSecondsSetter(same.object(), 3.0e9);
  EXPECT_TRUE(Variant(same) == v);
  dateTotalSecondsSetter(same.object(), 3.0e9 + 1);
  EXPECT_EQ(CORVVariantCompare(v.get(), Variant(same).get()), -1);
}

TEST_F(VariantTest, HeldReferencesAreCounted) {
  auto date = corv::New<CORVdate>(&kDateDecl);
  {
    Variant a(date);
    Variant b = a;
    EXPECT_EQ(date->header.refCount, 3);
    EXPECT_TRUE(a == b);
  }
  EXPECT_EQ(date->header.refCount, 1);
  CORVstring s = RuntimeCreateString("abc", 3, kEncodingUTF8);
  {
    Variant v(s);
    Variant moved = std::move(v);
    EXPECT_EQ(s->refCount, 2);
  }
  EXPECT_EQ(s->refCount, 1);
  RuntimeUnlockString(s);
}

TEST_F(VariantTest, TextForms) {
  EXPECT_EQ(Text(Variant(int32_t{-5})), "-5");
  EXPECT_EQ(Text(Variant(INT64_MIN)), "-9223372036854775808");
  EXPECT_EQ(Text(Variant(1.5)), "1.5");
  EXPECT_EQ(Text(Variant(0.1)), "0.1");
  EXPECT_EQ(Text(Variant(true)), "True");
  EXPECT_EQ(Text(Variant(false)), "False");
  EXPECT_EQ(Text(Variant::Currency(12345)), "1.2345");
  EXPECT_EQ(Text(Variant::Currency(-20000)), "-2");
  EXPECT_EQ(Text(Variant::Currency(-5)), "-0.0005");
  EXPECT_EQ(Text(Variant()), "");
  EXPECT_EQ(Text(Variant("as is")), "as is");
  auto date = corv::New<CORVdate>(&kDateDecl);
  dateTotalSecondsSetter(date.object(), 0);
  EXPECT_EQ(Text(Variant(date)), "1904-01-01 00:00:00");
  auto dictionary = corv::New(&kDictionaryDecl);
  EXPECT_RAISES(Text(Variant(dictionary)), kTypeMismatchExceptionDecl);
}

TEST_F(VariantTest, NumberForms) {
  EXPECT_EQ(Variant(" 12.5abc").DoubleValue(), 12.5);
  EXPECT_EQ(Variant("-1e3").DoubleValue(), -1000);
  EXPECT_EQ(Variant("&hFF").DoubleValue(), 255);
  EXPECT_EQ(Variant("abc").DoubleValue(), 0);
  EXPECT_EQ(Variant("").DoubleValue(), 0);
  EXPECT_EQ(Variant(true).DoubleValue(), 1);
  EXPECT_EQ(Variant::Currency(12345).DoubleValue(), 1.2345);
  EXPECT_EQ(Variant(-2.9).Int64Value(), -2);
  EXPECT_EQ(Variant(1e300).Int64Value(), INT64_MAX);
  EXPECT_TRUE(Variant("TRUE").BooleanValue());
  EXPECT_TRUE(Variant("2").BooleanValue());
  EXPECT_FALSE(Variant("no").BooleanValue());
  auto date = corv::New<CORVdate>(&kDateDecl);
  dateTotalSecondsSetter(date.object(), 86400.5);
  EXPECT_EQ(Variant(date).DoubleValue(), 86400.5);
  auto dictionary = corv::New(&kDictionaryDecl);
  EXPECT_RAISES(Variant(dictionary).DoubleValue(), kTypeMismatchExceptionDecl);
}

}  // namespace
