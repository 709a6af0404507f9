// String records: storage layout, the empty string, references and the
// in-place writer.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/failure.h"
#include "corv.h"
#include "lib/string_record.h"
#include "lib/string_test_util.h"
#include "runtime_test.h"

namespace {

using corv::String;
using corv::testing::RuntimeTest;

class StringRecordTest : public RuntimeTest {};

TEST_F(StringRecordTest, StorageHoldsLengthByteBytesAndFourZeros) {
  std::string text(300, 'x');
  String s(text);
  CORVstring r = s.get();
  EXPECT_EQ(r->length, 300u);
  EXPECT_EQ(r->allocSize, 305u);
  EXPECT_EQ(r->text[0], 255);  // 255 stands for 255 bytes or more
  EXPECT_EQ(reinterpret_cast<uintptr_t>(r->text + 1) % 2, 0u) << "bytes start at an even address";
  for (int i = 0; i < 4; ++i) EXPECT_EQ(r->text[1 + 300 + i], 0);
  String shortOne("abc");
  EXPECT_EQ(shortOne.get()->text[0], 3);
  String exactly(std::string(255, 'y'));
  EXPECT_EQ(exactly.get()->text[0], 255);
  String below(std::string(254, 'y'));
  EXPECT_EQ(below.get()->text[0], 254);
}

TEST_F(StringRecordTest, EmptyIsNullAndReadsAsAscii) {
  EXPECT_EQ(RuntimeCreateString("abc", 0, kEncodingUTF8), nullptr);
  EXPECT_EQ(RuntimeCreateString("abc", -4, kEncodingUTF8), nullptr);
  EXPECT_EQ(CORVStringEncoding(nullptr), static_cast<uint32_t>(kEncodingASCII));
  EXPECT_STREQ(CORVStringBytes(nullptr), "");
  EXPECT_EQ(RuntimeLockString(nullptr), nullptr);
  RuntimeUnlockString(nullptr);  // null-safe
}

TEST_F(StringRecordTest, CreateWithoutBytesGivesZeros) {
  String s = String::Adopt(RuntimeCreateString(nullptr, 3, kEncodingASCII));
  EXPECT_EQ(s.view(), std::string_view("\0\0\0", 3));
}

TEST_F(StringRecordTest, LockUnlockStringsSwapsReferences) {
  String a("a"), b("b");
  CORVstring held = RuntimeLockString(a.get());
  EXPECT_EQ(a.get()->refCount, 2);
  held = RuntimeLockUnlockStrings(b.get(), held);
  EXPECT_EQ(held, b.get());
  EXPECT_EQ(a.get()->refCount, 1);
  EXPECT_EQ(b.get()->refCount, 2);
  held = RuntimeLockUnlockStrings(held, held);  // the same string: no change
  EXPECT_EQ(b.get()->refCount, 2);
  RuntimeUnlockString(held);
}

TEST_F(StringRecordTest, InPlaceWriterCopiesSharedRecords) {
  String original("abc");
  CORVstring mine = RuntimeLockString(original.get());
  corv::SetStringByte(&mine, 1, 'X');
  EXPECT_NE(mine, original.get()) << "a shared record is copied before writing";
  EXPECT_EQ(original.view(), "abc");
  EXPECT_EQ(std::string_view(CORVStringBytes(mine), 3), "aXc");
  CORVstring before = mine;
  corv::SetStringByte(&mine, 2, 'Y');  // now held alone: written in place
  EXPECT_EQ(mine, before);
  EXPECT_EQ(std::string_view(CORVStringBytes(mine), 3), "aXY");
  RuntimeUnlockString(mine);
}

TEST_F(StringRecordTest, InPlaceWriterReportsPositionsOutside) {
  corv::CaptureFailures(true);
  String s("abc");
  CORVstring mine = RuntimeLockString(s.get());
  corv::SetStringByte(&mine, 3, 'X');
  corv::SetStringByte(&mine, -1, 'X');
  CORVstring empty = nullptr;
  corv::SetStringByte(&empty, 0, 'X');  // accepted quietly
  corv::SetStringByte(&empty, 1, 'X');
  auto reports = corv::TakeCapturedFailures();
  corv::CaptureFailures(false);
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_NE(reports[0].find("not (pos < 0 || pos >= Length())"), std::string::npos);
  EXPECT_NE(reports[1].find("not (pos < 0 || pos >= Length())"), std::string::npos);
  EXPECT_NE(reports[2].find("not pos"), std::string::npos);
  EXPECT_EQ(mine, s.get()) << "nothing stored, nothing copied";
  EXPECT_EQ(empty, nullptr);
  EXPECT_EQ(s.view(), "abc");
  RuntimeUnlockString(mine);
}

TEST_F(StringRecordTest, LiveCountFollowsRecords) {
  int32_t before = RuntimeLiveStringCount();
  {
    String a("one"), b = a;
    EXPECT_EQ(RuntimeLiveStringCount(), before + 1);
    String c("two");
    EXPECT_EQ(RuntimeLiveStringCount(), before + 2);
  }
  EXPECT_EQ(RuntimeLiveStringCount(), before);
}

TEST_F(StringRecordTest, AddingPastTheLengthLimitRaisesInsteadOfWrapping) {
  String half = String::Adopt(RuntimeCreateString(nullptr, 1 << 30, kEncodingUTF8));
  ASSERT_EQ(CORVStringLength(half.get()), 1u << 30);
  EXPECT_RAISES(half + half, kOutOfMemoryExceptionDecl);  // 2^31 bytes: one too many
}

}  // namespace
