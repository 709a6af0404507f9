// Str, Val, Hex, Oct, the double-to-Integer conversion and Ticks.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "corv.h"
#include "lib/string_test_util.h"
#include "runtime_test.h"

namespace {

using corv::String;
using corv::testing::Bytes;
using corv::testing::BytesOf;
using corv::testing::RuntimeTest;
using corv::testing::Utf16;

class NumberTest : public RuntimeTest {};

TEST_F(NumberTest, StrHexOct) {
  EXPECT_EQ(BytesOf(corv::Str(-5)), "-5");
  EXPECT_EQ(BytesOf(corv::Str(0)), "0");
  EXPECT_EQ(BytesOf(corv::Str(INT32_MIN)), "-2147483648");
  EXPECT_EQ(corv::Str(7).encoding(), static_cast<uint32_t>(kEncodingASCII));
  EXPECT_EQ(BytesOf(corv::Hex(255)), "FF");
  EXPECT_EQ(BytesOf(corv::Hex(-1)), "FFFFFFFF");
  EXPECT_EQ(BytesOf(corv::Hex(0)), "0");
  EXPECT_EQ(BytesOf(corv::Hex(0x1000)), "1000");
  EXPECT_EQ(BytesOf(corv::Oct(8)), "10");
  EXPECT_EQ(BytesOf(corv::Oct(-1)), "37777777777");
  EXPECT_EQ(BytesOf(corv::Oct(0)), "0");
  EXPECT_EQ(corv::Hex(10).encoding(), static_cast<uint32_t>(kEncodingASCII));
}

TEST_F(NumberTest, ValDecimal) {
  EXPECT_EQ(corv::Val(String()), 0);
  EXPECT_EQ(corv::Val(" 12.5abc"), 12.5);
  EXPECT_EQ(corv::Val("abc"), 0);
  EXPECT_EQ(corv::Val("1e3"), 1000);
  EXPECT_EQ(corv::Val("-3.25"), -3.25);
  EXPECT_EQ(corv::Val("+7"), 7);
  EXPECT_EQ(corv::Val(".5"), 0.5);
  EXPECT_EQ(corv::Val("5."), 5);
  EXPECT_EQ(corv::Val("2e"), 2) << "an exponent without digits is not part of the number";
  EXPECT_EQ(corv::Val("1.5e-2x"), 0.015);
  EXPECT_EQ(corv::Val("0x10"), 0) << "no C hexadecimal";
  EXPECT_EQ(corv::Val("inf"), 0);
  EXPECT_EQ(corv::Val("-"), 0);
  EXPECT_EQ(corv::Val("1,000"), 1);
  EXPECT_EQ(corv::Val(Utf16(u" 42")), 42) << "UTF-16 is read as UTF-8";
}

TEST_F(NumberTest, ValRadixForms) {
  EXPECT_EQ(corv::Val("&hFF"), 255);
  EXPECT_EQ(corv::Val("&Hff"), 255);
  EXPECT_EQ(corv::Val("&h F-F"), 255) << "non-alphanumerics are skipped";
  EXPECT_EQ(corv::Val("&h1G2"), 1) << "a letter after F ends the number";
  EXPECT_EQ(corv::Val("&hFFFFFFFF"), -1) << "a 32-bit integer";
  EXPECT_EQ(corv::Val("&o17"), 15);
  EXPECT_EQ(corv::Val("&o1x9 7"), 15) << "everything else is skipped";
  EXPECT_EQ(corv::Val("&b1012"), 5);
  EXPECT_EQ(corv::Val("&B11"), 3);
  EXPECT_EQ(corv::Val("&x12"), 0);
  EXPECT_EQ(corv::Val("&"), 0);
}

TEST_F(NumberTest, DoubleToIntegerTruncates) {
  EXPECT_EQ(RuntimeDoubleToInteger(2.9), 2);
  EXPECT_EQ(RuntimeDoubleToInteger(-2.9), -2);
  EXPECT_EQ(RuntimeDoubleToInteger(2147483647.9), INT32_MAX);
  EXPECT_EQ(RuntimeDoubleToInteger(-2147483648.9), INT32_MIN);
  EXPECT_EQ(RuntimeDoubleToInteger(3e10), INT32_MIN);
  EXPECT_EQ(RuntimeDoubleToInteger(NAN), INT32_MIN);
}

TEST_F(NumberTest, TicksAdvanceAtSixtyPerSecond) {
  uint32_t a = corv::Ticks();
  uint32_t b = corv::Ticks();
  EXPECT_LE(b - a, 1u);
}

}  // namespace
