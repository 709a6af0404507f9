// BinaryStream on the real disk: byte order, short reads, positions,
// lengths, and writes mixed with buffered reads.
#include <gtest/gtest.h>

#include <string>

#include "corv.h"
#include "corv/ref.h"
#include "disk_test.h"
#include "text_helpers.h"

namespace {

using corv::Ref;
using corv::testing::Arg;
using corv::testing::DiskTest;
using corv::testing::ReadFileBytes;
using corv::testing::Take;
using corv::testing::WriteFileBytes;

class BinaryStreamTest : public DiskTest {
 protected:
  Ref<> Open(std::string_view content, bool readWrite = false) {
    WriteFileBytes(temp_ / "bin", content);
    Ref<> item = Ref<>::Adopt(RuntimeGetFolderItem(Arg(temp_ / "bin"), 0));
    return Ref<>::Adopt(FolderItemOpenBinaryFile(item.object(), readWrite));
  }
};

TEST_F(BinaryStreamTest, NumbersAreBigEndianUntilLittleEndianIsSet) {
  Ref<> b = Open(std::string("\0\0\1\0\0\0\1\0\xFF\xFE", 10));
  ASSERT_TRUE(b);
  EXPECT_FALSE(BinaryStreamLittleEndianGetter(b.object()));
  EXPECT_EQ(BinaryStreamReadLong(b.object()), 256);
  BinaryStreamLittleEndianSetter(b.object(), true);
  EXPECT_EQ(BinaryStreamReadLong(b.object()), 65536);
  EXPECT_EQ(BinaryStreamReadShort(b.object()), -257);  // FF FE little-endian, signed
  EXPECT_EQ(BinaryStreamReadShort(b.object()), 0);     // nothing left
  EXPECT_TRUE(BinaryStreamEOF(b.object()));
}

TEST_F(BinaryStreamTest, WrittenNumbersReadBackInEitherOrder) {
  Ref<> item = Ref<>::Adopt(RuntimeGetFolderItem(Arg(temp_ / "w"), 0));
  Ref<> b = Ref<>::Adopt(FolderItemCreateBinaryFile(item.object(), nullptr));
  ASSERT_TRUE(b);
  BinaryStreamWriteLong(b.object(), 0x01020304);
  BinaryStreamWriteShort(b.object(), -2);
  BinaryStreamWriteByte(b.object(), 0xAB);
  BinaryStreamLittleEndianSetter(b.object(), true);
  BinaryStreamWriteLong(b.object(), 0x01020304);
  BinaryStreamClose(b.object());
  EXPECT_EQ(ReadFileBytes(temp_ / "w"), std::string("\1\2\3\4\xFF\xFE\xAB\4\3\2\1", 11));

  Ref<> r = Ref<>::Adopt(FolderItemOpenBinaryFile(item.object(), false));
  EXPECT_EQ(BinaryStreamReadLong(r.object()), 0x01020304);
  EXPECT_EQ(BinaryStreamReadShort(r.object()), -2);
  EXPECT_EQ(BinaryStreamReadByte(r.object()), 0xAB);
  BinaryStreamLittleEndianSetter(r.object(), true);
  EXPECT_EQ(BinaryStreamReadLong(r.object()), 0x01020304);
}

TEST_F(BinaryStreamTest, ReadIsCutToWhatIsLeft) {
  Ref<> b = Open("0123456789abcd");
  BinaryStreamSetPosition(b.object(), 10);
  CORVstring s = BinaryStreamRead(b.object(), 10, nullptr);
  EXPECT_EQ(CORVStringEncoding(s), kEncodingUnknown);
  EXPECT_EQ(Take(s), "abcd");
  EXPECT_EQ(BinaryStreamRead(b.object(), 10, nullptr), nullptr);
  EXPECT_EQ(BinaryStreamReadLong(b.object()), 0);
  BinaryStreamSetPosition(b.object(), 12);
  EXPECT_EQ(BinaryStreamReadLong(b.object()), 0);  // only 2 bytes left
  BinaryStreamSetPosition(b.object(), 0);
  EXPECT_EQ(BinaryStreamRead(b.object(), 0, nullptr), nullptr);
  EXPECT_EQ(BinaryStreamRead(b.object(), -1, nullptr), nullptr);
}

TEST_F(BinaryStreamTest, WritesLandAtTheLogicalPositionAfterBufferedReads) {
  Ref<> b = Open("AAAABBBBCCCCDDDD", true);
  EXPECT_EQ(Take(BinaryStreamRead(b.object(), 4, nullptr)), "AAAA");
  EXPECT_EQ(BinaryStreamGetPosition(b.object()), 4);
  BinaryStreamWrite(b.object(), Arg("xx"));
  EXPECT_EQ(BinaryStreamGetPosition(b.object()), 6);
  EXPECT_EQ(Take(BinaryStreamRead(b.object(), 4, nullptr)), "BBCC");
  BinaryStreamFlush(b.object());
  BinaryStreamClose(b.object());  // Windows lets no other open read a file being written
  EXPECT_EQ(ReadFileBytes(temp_ / "bin"), "AAAAxxBBCCCCDDDD");
}

TEST_F(BinaryStreamTest, LengthCutsAndExtendsAndKeepsThePosition) {
  Ref<> b = Open("0123456789", true);
  EXPECT_EQ(BinaryStreamGetLength(b.object()), 10);
  BinaryStreamReadShort(b.object());
  BinaryStreamSetLength(b.object(), 5);
  EXPECT_EQ(BinaryStreamGetLength(b.object()), 5);
  EXPECT_EQ(BinaryStreamGetPosition(b.object()), 2);
  EXPECT_EQ(Take(BinaryStreamRead(b.object(), 10, nullptr)), "234");
  EXPECT_TRUE(BinaryStreamEOF(b.object()));
  BinaryStreamSetLength(b.object(), 8);
  EXPECT_FALSE(BinaryStreamEOF(b.object()));
  EXPECT_EQ(Take(BinaryStreamRead(b.object(), 10, nullptr)), std::string("\0\0\0", 3));

  BinaryStreamClose(b.object());
  EXPECT_TRUE(BinaryStreamEOF(b.object()));
  EXPECT_EQ(BinaryStreamReadLong(b.object()), 0);
  EXPECT_EQ(BinaryStreamGetLength(b.object()), 0);
}

TEST_F(BinaryStreamTest, LongFilesReadTheSameThroughTheReadAhead) {
  std::string content;
  for (int i = 0; i < 20000; ++i) content += std::string("\0\0", 2) + char(i >> 8) + char(i);
  Ref<> b = Open(content);
  for (int i = 0; i < 20000; ++i) ASSERT_EQ(BinaryStreamReadLong(b.object()), i & 0xFFFF);
  EXPECT_TRUE(BinaryStreamEOF(b.object()));
  BinaryStreamSetPosition(b.object(), 4 * 19999);
  EXPECT_EQ(BinaryStreamReadLong(b.object()), 19999);
}

}  // namespace
