// Encodings: the code table, conversion by its four rules, the Japanese
// codes, TextEncoding objects, reconciliation and concatenation.
#include <gtest/gtest.h>

#include "corv.h"
#include "corv/ref.h"
#include "lib/encoding.h"
#include "lib/string_test_util.h"
#include "platform/code_pages.h"
#include "runtime_test.h"

namespace {

using corv::String;
using corv::testing::Bytes;
using corv::testing::BytesOf;
using corv::testing::CodePage;
using corv::testing::RuntimeTest;
using corv::testing::Utf16;

class EncodingTest : public RuntimeTest {};

const char kCafeUtf8[] = "caf\xC3\xA9";  // café
const char kCafe1252[] = "caf\xE9";

TEST_F(EncodingTest, CodesMapToTheirCodePages) {
  EXPECT_EQ(corv::CodePageOf(kEncodingUTF8), 65001u);
  EXPECT_EQ(corv::CodePageOf(kEncodingUTF16), 1200u);
  EXPECT_EQ(corv::CodePageOf(kEncodingUTF16BE), 1201u);
  EXPECT_EQ(corv::CodePageOf(kEncodingUTF32LEAlt), 12000u);
  EXPECT_EQ(corv::CodePageOf(kEncodingUTF32BE), 12001u);
  EXPECT_EQ(corv::CodePageOf(kEncodingASCII), 20127u);
  EXPECT_EQ(corv::CodePageOf(0), 10000u);
  EXPECT_EQ(corv::CodePageOf(25), 10008u);
  EXPECT_EQ(corv::CodePageOf(8), 0u) << "Mac script codes without a page";
  EXPECT_EQ(corv::CodePageOf(0x206), 708u);
  EXPECT_EQ(corv::CodePageOf(0x41D), 874u);
  EXPECT_EQ(corv::CodePageOf(0x510), 1361u);
  EXPECT_EQ(corv::CodePageOf(0xC02), 37u);
  EXPECT_EQ(corv::CodePageOf(0x920), 932u);
  EXPECT_EQ(corv::CodePageOf(CodePage(1252)), 1252u);
  EXPECT_EQ(CodePage(1252), 0xFFFF04E4u);
  EXPECT_NE(corv::CodePageOf(kEncodingUnknown), 0u) << "0xFFFF resolves to the system's page";
}

TEST_F(EncodingTest, EveryTableCodeWithAnInstalledPageRoundTripsAscii) {
  size_t count;
  const corv::EncodingEntry *table = corv::EncodingTable(&count);
  String ascii = Bytes("Hello", kEncodingASCII);
  int converted = 0;
  for (size_t i = 0; i < count; ++i) {
    String to = corv::ConvertTo(ascii.get(), table[i].code);
    if (to.empty()) {
      EXPECT_FALSE(corv::platform::CodePageAvailable(table[i].codePage))
          << std::hex << table[i].code;
      continue;
    }
    ++converted;
    if (!corv::platform::CodePageAvailable(table[i].codePage))
      continue;  // tagged by the ASCII shortcut only
    String back = corv::ConvertTo(to.get(), kEncodingUTF8);
    EXPECT_EQ(BytesOf(back), "Hello") << std::hex << table[i].code;
  }
  EXPECT_GE(converted, 55);
}

TEST_F(EncodingTest, EbcdicIsNoSupersetOfAscii) {
  String ascii = Bytes("A", kEncodingASCII);
  EXPECT_EQ(BytesOf(corv::ConvertTo(ascii.get(), 0xC01)), "\xC1");
  EXPECT_EQ(corv::CommonEncoding(kEncodingASCII, 0xC01, false),
            static_cast<uint32_t>(kEncodingUnknown));
}

TEST_F(EncodingTest, ConversionRuleOneReturnsTheStringItself) {
  String s = Bytes(kCafeUtf8, kEncodingUTF8);
  EXPECT_EQ(corv::ConvertTo(s.get(), kEncodingUTF8).get(), s.get());
  EXPECT_EQ(corv::ConvertTo(s.get(), kEncodingUnknown).get(), s.get());
  String raw = Bytes("\xFF\xFE", kEncodingUnknown);
  EXPECT_EQ(corv::ConvertTo(raw.get(), kEncodingUTF8).get(), raw.get());
  EXPECT_TRUE(corv::ConvertTo(nullptr, kEncodingUTF8).empty());
}

TEST_F(EncodingTest, ConversionRememberedForTheSameSource) {
  String s = Bytes(kCafeUtf8, kEncodingUTF8);
  String first = corv::ConvertTo(s.get(), CodePage(1252));
  String second = corv::ConvertTo(s.get(), CodePage(1252));
  EXPECT_EQ(first.get(), second.get()) << "the remembered result is handed out again";
  String other = corv::ConvertTo(s.get(), kEncodingUTF16);
  EXPECT_NE(other.get(), first.get());
  EXPECT_EQ(other.encoding(), static_cast<uint32_t>(kEncodingUTF16));
}

TEST_F(EncodingTest, AsciiShortcutCopiesBytes) {
  String ascii = Bytes("plain", kEncodingASCII);
  String utf8 = corv::ConvertTo(ascii.get(), kEncodingUTF8);
  EXPECT_EQ(BytesOf(utf8), "plain");
  EXPECT_EQ(utf8.encoding(), static_cast<uint32_t>(kEncodingUTF8));
  String latin = corv::ConvertTo(ascii.get(), 0x500);
  EXPECT_EQ(BytesOf(latin), "plain");
  // A code-page code above 0xFFFF is transcoded (same bytes for ASCII text).
  EXPECT_EQ(BytesOf(corv::ConvertTo(ascii.get(), CodePage(1252))), "plain");
  // UTF-16 is not ASCII-compatible.
  EXPECT_EQ(BytesOf(corv::ConvertTo(ascii.get(), kEncodingUTF16)),
            std::string("p\0l\0a\0i\0n\0", 10));
}

TEST_F(EncodingTest, ConvertsBetweenCodePagesAndUnicodeForms) {
  String s = Bytes(kCafeUtf8, kEncodingUTF8);
  EXPECT_EQ(BytesOf(corv::ConvertTo(s.get(), CodePage(1252))), kCafe1252);
  EXPECT_EQ(BytesOf(corv::ConvertTo(s.get(), 0x500)), kCafe1252);
  EXPECT_EQ(BytesOf(corv::ConvertTo(s.get(), 0)), "caf\x8E") << "Mac Roman";
  EXPECT_EQ(BytesOf(corv::ConvertTo(s.get(), 0x400)), "caf\x82") << "DOS 437";
  EXPECT_EQ(BytesOf(corv::ConvertTo(s.get(), kEncodingUTF16LE)), std::string("c\0a\0f\0\xE9\0", 8));
  EXPECT_EQ(BytesOf(corv::ConvertTo(s.get(), kEncodingUTF16BE)), std::string("\0c\0a\0f\0\xE9", 8));
  EXPECT_EQ(BytesOf(corv::ConvertTo(s.get(), kEncodingUTF32BE)),
            std::string("\0\0\0c\0\0\0a\0\0\0f\0\0\0\xE9", 16));
  String back = corv::ConvertTo(corv::ConvertTo(s.get(), kEncodingUTF32LE).get(), kEncodingUTF8);
  EXPECT_EQ(BytesOf(back), kCafeUtf8);
  String utf16 = Utf16(u"\u20AC1");
  EXPECT_EQ(BytesOf(corv::ConvertTo(utf16.get(), kEncodingUTF8)),
            "\xE2\x82\xAC"
            "1");
  EXPECT_EQ(BytesOf(corv::ConvertTo(utf16.get(), CodePage(1252))),
            "\x80"
            "1");
}

// A code of the table whose code page this system does not have (with ICU
// Johab or Mac Japanese; Windows has nearly all); 0 when it has them all.
uint32_t CodeWithoutItsPage() {
  size_t count;
  const corv::EncodingEntry *table = corv::EncodingTable(&count);
  for (size_t i = 0; i < count; ++i)
    if (table[i].codePage && !corv::platform::CodePageAvailable(table[i].codePage))
      return table[i].code;
  return 0;
}

TEST_F(EncodingTest, ImpossibleConversionsGiveTheEmptyString) {
  String s = Bytes(kCafeUtf8, kEncodingUTF8);
  if (uint32_t lacking = CodeWithoutItsPage()) {
    EXPECT_TRUE(corv::ConvertTo(s.get(), lacking).empty()) << std::hex << lacking;
  }
  EXPECT_TRUE(corv::ConvertTo(s.get(), 0x7777).empty()) << "no code page at all";
  EXPECT_TRUE(corv::ConvertTo(Bytes("abc", kEncodingUTF16).get(), kEncodingUTF8).empty())
      << "an odd number of UTF-16 bytes is rejected";
  // Unmappable characters become "?" (the platform's default character).
  EXPECT_EQ(BytesOf(corv::ConvertTo(Bytes("\xE2\x82\xAC", kEncodingUTF8).get(), CodePage(28591))),
            "?");
}

TEST_F(EncodingTest, JapaneseCodesGoThroughCodePage932) {
  const char kNihongo[] =
      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"
      "A\xEF\xBD\xB1";  // 日本語Aｱ
  String s = Bytes(kNihongo, kEncodingUTF8);
  String sjis = corv::ConvertTo(s.get(), 0xA01);
  EXPECT_EQ(BytesOf(sjis),
            "\x93\xFA\x96\x7B\x8C\xEA"
            "A\xB1");
  String euc = corv::ConvertTo(s.get(), 0x920);
  EXPECT_EQ(BytesOf(euc),
            "\xC6\xFC\xCB\xDC\xB8\xEC"
            "A\x8E\xB1");
  String iso = corv::ConvertTo(s.get(), 0x820);
  EXPECT_EQ(BytesOf(iso), "\x1B$BF|K\\8l\x1B(BA\x1B(I1\x1B(B");
  EXPECT_EQ(BytesOf(corv::ConvertTo(euc.get(), kEncodingUTF8)), kNihongo);
  EXPECT_EQ(BytesOf(corv::ConvertTo(iso.get(), kEncodingUTF8)), kNihongo);
}

TEST_F(EncodingTest, TextEncodingObjects) {
  auto utf8 = corv::Ref<CORVtextEncoding>::Adopt(EncodingsGetter(1));
  auto utf16 = corv::Ref<CORVtextEncoding>::Adopt(EncodingsGetter(2));
  ASSERT_TRUE(utf8 && utf16);
  EXPECT_EQ(utf8->code, static_cast<uint32_t>(kEncodingUTF8));
  EXPECT_EQ(utf8->base, 0x100u);
  EXPECT_EQ(utf8->variant, 0u);
  EXPECT_EQ(utf8->format, 2u);
  EXPECT_EQ(utf16->code, static_cast<uint32_t>(kEncodingUTF16));
  auto ascii = corv::Ref<CORVtextEncoding>::Adopt(EncodingsGetter(7));
  EXPECT_EQ(ascii->code, static_cast<uint32_t>(kEncodingASCII));
  EXPECT_EQ(EncodingsGetter(0), nullptr);
  EXPECT_EQ(EncodingsGetter(97), nullptr);
  auto again = corv::Ref<>::Adopt(EncodingsGetter(1));
  EXPECT_TRUE(TextEncodingEquals(utf8.object(), again.get()));
  EXPECT_TRUE(TextEncodingEquals(utf8.object(), utf8.object()));
  EXPECT_FALSE(TextEncodingEquals(utf8.object(), utf16.object()));
  EXPECT_FALSE(TextEncodingEquals(utf8.object(), nullptr));
  EXPECT_TRUE(TextEncodingEquals(nullptr, nullptr));
  EXPECT_TRUE(CORVIsaDeclaration(utf8.object(), &kTextEncodingDecl));
}

TEST_F(EncodingTest, GetSetAndConvertEncoding) {
  auto enc = corv::Ref<>::Adopt(StringGetEncoding(nullptr));
  ASSERT_TRUE(enc);
  EXPECT_EQ(reinterpret_cast<CORVtextEncoding *>(enc.get())->code,
            static_cast<uint32_t>(kEncodingASCII));
  EXPECT_EQ(StringGetEncoding(Bytes("x", kEncodingUnknown).get()), nullptr);

  String s = Bytes(kCafeUtf8, kEncodingUTF8);
  auto latin = corv::Ref<>::Adopt(RuntimeTextEncodingFromCode(CodePage(1252)));
  String defined = String::Adopt(StringSetEncoding(s.get(), latin.get()));
  EXPECT_EQ(BytesOf(defined), kCafeUtf8) << "DefineEncoding changes only the tag";
  EXPECT_EQ(defined.encoding(), CodePage(1252));
  auto utf8 = corv::Ref<>::Adopt(EncodingsGetter(1));
  String same = String::Adopt(StringSetEncoding(s.get(), utf8.get()));
  EXPECT_EQ(same.get(), s.get());
  String untagged = String::Adopt(StringSetEncoding(s.get(), nullptr));
  EXPECT_EQ(untagged.encoding(), static_cast<uint32_t>(kEncodingUnknown));
  EXPECT_EQ(StringSetEncoding(nullptr, latin.get()), nullptr);

  String converted = String::Adopt(StringConvertEncoding(s.get(), latin.get()));
  EXPECT_EQ(BytesOf(converted), kCafe1252);
  String unchanged = String::Adopt(StringConvertEncoding(untagged.get(), latin.get()));
  EXPECT_EQ(unchanged.get(), untagged.get()) << "a string tagged 0xFFFF is never converted";
  String kept = String::Adopt(StringConvertEncoding(s.get(), nullptr));
  EXPECT_EQ(kept.get(), s.get());
}

TEST_F(EncodingTest, CommonEncodingRules) {
  using corv::CommonEncoding;
  const uint32_t ascii = kEncodingASCII, utf8 = kEncodingUTF8, utf16 = kEncodingUTF16;
  EXPECT_EQ(CommonEncoding(utf8, utf8, false), utf8);
  EXPECT_EQ(CommonEncoding(ascii, utf8, false), utf8);
  EXPECT_EQ(CommonEncoding(ascii, CodePage(1252), false), CodePage(1252));
  EXPECT_EQ(CommonEncoding(0x500, ascii, false), 0x500u);
  EXPECT_EQ(CommonEncoding(ascii, utf16, false), static_cast<uint32_t>(kEncodingUnknown));
  EXPECT_EQ(CommonEncoding(ascii, kEncodingUTF16LE, false), static_cast<uint32_t>(kEncodingUnknown))
      << "UTF-16 in any byte order is not a superset of ASCII";
  EXPECT_EQ(CommonEncoding(utf8, utf16, false), static_cast<uint32_t>(kEncodingUnknown));
  EXPECT_EQ(CommonEncoding(utf8, utf16, true), utf8);
  EXPECT_EQ(CommonEncoding(CodePage(1252), utf16, true), utf16);
  EXPECT_EQ(CommonEncoding(CodePage(1252), 0x501, true), utf8);
}

TEST_F(EncodingTest, ConcatenationReconcilesEncodings) {
  String utf8 = Bytes(kCafeUtf8, kEncodingUTF8);
  String wide = Utf16(u"\u00E9t\u00E9");
  String joined = utf8 + wide;
  EXPECT_EQ(joined.encoding(), static_cast<uint32_t>(kEncodingUTF8));
  EXPECT_EQ(BytesOf(joined), "caf\xC3\xA9\xC3\xA9t\xC3\xA9");

  String ascii = Bytes("x=", kEncodingASCII);
  String latin = Bytes("\xE9", CodePage(1252));
  String mixed = ascii + latin;
  EXPECT_EQ(mixed.encoding(), CodePage(1252));
  EXPECT_EQ(BytesOf(mixed), "x=\xE9") << "ASCII joins without conversion";

  String raw = Bytes("\xFF", kEncodingUnknown);
  String withRaw = utf8 + raw;
  EXPECT_EQ(withRaw.encoding(), static_cast<uint32_t>(kEncodingUnknown));
  EXPECT_EQ(BytesOf(withRaw), "caf\xC3\xA9\xFF");

  String asciiUtf8 = ascii + utf8;
  EXPECT_EQ(asciiUtf8.encoding(), static_cast<uint32_t>(kEncodingUTF8));

  String wideAscii = wide + ascii;  // ASCII goes to UTF-16 when it meets it
  EXPECT_EQ(wideAscii.encoding(), static_cast<uint32_t>(kEncodingUTF16));
  EXPECT_EQ(BytesOf(wideAscii), BytesOf(Utf16(u"\u00E9t\u00E9x=")));

  if (uint32_t lacking = CodeWithoutItsPage()) {
    String unconvertible = Bytes("\x41", lacking);  // cannot be converted: raw bytes, 0xFFFF
    String failed = unconvertible + wide;
    EXPECT_EQ(failed.encoding(), static_cast<uint32_t>(kEncodingUnknown));
    EXPECT_EQ(BytesOf(failed), "\x41" + BytesOf(wide));
  }
}

TEST_F(EncodingTest, ConcatenationWithEmptySharesTheOtherOperand) {
  String s("abc");
  EXPECT_EQ((s + String()).get(), s.get());
  EXPECT_EQ((String() + s).get(), s.get());
  EXPECT_TRUE((String() + String()).empty());
}

TEST_F(EncodingTest, ReconcileLeavesEmptyAndUnknownAlone) {
  String wide = Utf16(u"ab");
  corv::Reconciled r = corv::Reconcile(nullptr, wide.get());
  EXPECT_EQ(r.encoding, static_cast<uint32_t>(kEncodingUTF16));
  EXPECT_EQ(corv::Reconcile(nullptr, nullptr).encoding, static_cast<uint32_t>(kEncodingASCII));
  String raw = Bytes("x", kEncodingUnknown);
  r = corv::Reconcile(wide.get(), raw.get());
  EXPECT_EQ(r.encoding, static_cast<uint32_t>(kEncodingUnknown));
  EXPECT_EQ(r.a.get(), wide.get());
  EXPECT_EQ(r.b.get(), raw.get());
  String latin = Bytes("\xE9", CodePage(1252)), utf16 = Utf16(u"\u00E9");
  r = corv::Reconcile(latin.get(), utf16.get());  // UTF-16 meets neither UTF-8: UTF-16
  EXPECT_EQ(r.encoding, static_cast<uint32_t>(kEncodingUTF16));
  EXPECT_EQ(BytesOf(r.a), BytesOf(utf16));
}

TEST_F(EncodingTest, SystemEncodingIsAKnownCode) {
  uint32_t system = RuntimeSystemEncoding();
  EXPECT_EQ(system, corv::SystemEncoding());
  EXPECT_TRUE(system == kEncodingUTF8 || system > 0xFFFF0000u) << std::hex << system;
}

}  // namespace
