// The single-byte code pages of the encoding table against the system's own
// iconv, byte by byte in both directions.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "corv.h"
#include "lib/encoding.h"
#include "lib/string_test_util.h"
#include "platform/code_pages.h"
#include "runtime_test.h"

namespace {

using corv::testing::CodePage;
using corv::testing::RuntimeTest;

class EncodingIconvTest : public RuntimeTest {};

// Where glibc's iconv departs from the published table the runtime follows:
// code page 851, which Microsoft publishes no table for, keeps IBM's (glibc
// swaps Mu and Nu and puts an ogonek for the cedilla); Mac Roman keeps
// Microsoft's increment sign and Apple logo, where glibc has a Greek Delta
// and a private character of its own.
struct Departure {
  uint32_t page;
  unsigned char byte;
  char16_t character;
};
const Departure kIconvDepartures[] = {
    {851, 0xB7, 0x039C},   {851, 0xB8, 0x039D},   {851, 0xF7, 0x00B8},
    {10000, 0xC6, 0x2206}, {10000, 0xF0, 0xF8FF},
};

std::string IconvName(uint32_t page) {
  switch (page) {
    case 20127:
      return "ASCII";
    case 37:
      return "IBM037";
    case 708:
      return "ASMO-708";
    case 20866:
      return "KOI8-R";
    case 10000:
      return "MACINTOSH";
    case 10007:
      return "MAC-CYRILLIC";
    case 10029:
      return "MAC-CENTRALEUROPE";
    case 28605:
      return "ISO-8859-15";
  }
  if (page > 28590 && page < 28600) return "ISO-8859-" + std::to_string(page - 28590);
  return "CP" + std::to_string(page);
}

// The character iconv gives one byte, or 0 when it has none for it.
char16_t IconvDecode(iconv_t cd, unsigned char byte) {
  char in = static_cast<char>(byte), out[8];
  char *ip = &in, *op = out;
  size_t inLeft = 1, outLeft = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &ip, &inLeft, &op, &outLeft) == static_cast<size_t>(-1)) return 0;
  iconv(cd, nullptr, nullptr, &op, &outLeft);  // pages that combine marks hold the byte back
  uint32_t c;
  if (sizeof out - outLeft != 4) return 0;
  std::memcpy(&c, out, 4);
  return c <= 0xFFFF ? static_cast<char16_t>(c) : 0;
}

bool IsSingleBytePage(uint32_t page) {
  for (uint32_t unicode : {65001u, 1200u, 1201u, 12000u, 12001u})
    if (page == unicode) return false;
  return corv::platform::CodePageAvailable(page) && !corv::LeadByteTable(CodePage(page));
}

TEST_F(EncodingIconvTest, SingleBytePagesAgreeWithTheSystemIconv) {
  int checked = 0;
  for (uint32_t page = 1; page < 65536; ++page) {
    if (!IsSingleBytePage(page)) continue;
    iconv_t cd = iconv_open("UCS-4LE", IconvName(page).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      std::printf("iconv has no %s: code page %u not checked\n", IconvName(page).c_str(), page);
      continue;
    }
    SCOPED_TRACE("code page " + std::to_string(page));
    ++checked;
    // The reference: iconv's character for each byte it maps, with the
    // departures above; bytes iconv leaves undefined are not checked.
    char16_t reference[256];
    for (int b = 0; b < 256; ++b) reference[b] = IconvDecode(cd, static_cast<unsigned char>(b));
    iconv_close(cd);
    for (const Departure &d : kIconvDepartures)
      if (d.page == page) reference[d.byte] = d.character;
    for (int b = 0; b < 256; ++b) {
      char16_t c = reference[b];
      if (c == 0 && b != 0) continue;
      char byte = static_cast<char>(b);
      std::u16string decoded;
      ASSERT_TRUE(corv::DecodeToUTF16(CodePage(page), &byte, 1, &decoded));
      ASSERT_EQ(decoded.size(), 1u) << "byte " << b;
      EXPECT_EQ(static_cast<int>(decoded[0]), static_cast<int>(c)) << "byte " << b;
      // Back again: to a byte that stands for the same character.
      std::string encoded;
      ASSERT_TRUE(corv::EncodeFromUTF16(CodePage(page), &c, 1, &encoded));
      ASSERT_EQ(encoded.size(), 1u) << "character " << static_cast<int>(c);
      EXPECT_EQ(static_cast<int>(reference[static_cast<unsigned char>(encoded[0])]),
                static_cast<int>(c))
          << "character " << static_cast<int>(c);
    }
  }
  std::printf("%d single-byte code pages checked against iconv\n", checked);
}

}  // namespace
