// Text streams on the real disk: line endings across buffer refills, line
// terminators, openers, positions and reads past the end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corv.h"
#include "corv/class_decl.h"
#include "corv/ref.h"
#include "disk_test.h"
#include "platform/error_codes.h"
#include "platform/file_handle.h"
#include "platform/file_info.h"
#include "text_helpers.h"

namespace {

using corv::Ref;
using corv::testing::Arg;
using corv::testing::DiskTest;
using corv::testing::ReadFileBytes;
using corv::testing::Take;
using corv::testing::WriteFileBytes;

// A stand-in TextEncoding: an object that carries its code after the header.
struct FakeEncoding {
  CORVobjectHeader header;
  uint32_t code;
};
const CORVclassDecl kFakeEncodingDecl = corv::ClassDecl("TestTextEncoding", sizeof(FakeEncoding));

Ref<> Encoding(uint32_t code) {
  Ref<FakeEncoding> e = corv::New<FakeEncoding>(&kFakeEncodingDecl);
  e->code = code;
  return Ref<>::Adopt(corv::AsObject(e.Leak()));
}

class TextStreamTest : public DiskTest {
 protected:
  Ref<> Item(const std::string &name) {
    return Ref<>::Adopt(RuntimeGetFolderItem(Arg(temp_ / name), 0));
  }
  Ref<> OpenText(const std::string &name, std::string_view content) {
    WriteFileBytes(temp_ / name, content);
    return Ref<>::Adopt(FolderItemOpenTextFile(Item(name).object()));
  }
  std::vector<std::string> Lines(const Ref<> &in) {
    std::vector<std::string> lines;
    while (!TextInputStreamEOF(in.object()))
      lines.push_back(Take(TextInputStreamReadLine(in.object(), nullptr)));
    return lines;
  }
};

TEST_F(TextStreamTest, CRLFAndLoneCRAndLoneLFEachEndOneLine) {
  Ref<> in = OpenText("mixed", "one\r\ntwo\rthree\nfour\n\nsix");
  ASSERT_TRUE(in);
  EXPECT_EQ(Lines(in), (std::vector<std::string>{"one", "two", "three", "four", "", "six"}));
  EXPECT_EQ(Take(TextInputStreamReadLine(in.object(), nullptr)), "");  // at the end
}

TEST_F(TextStreamTest, EveryLineLengthAndTerminatorReadsBackExactly) {
  // Lines of 0 to 40 bytes, each with CR, LF or CR LF, so that terminators
  // fall at every offset of the scanner's blocks and of the buffer.
  const char *endings[] = {"\r", "\n", "\r\n"};
  std::string content;
  std::vector<std::string> expected;
  for (int round = 0; round < 6; ++round) {
    for (int length = 0; length <= 40; ++length) {
      std::string line;
      for (int i = 0; i < length; ++i) line += static_cast<char>('a' + (i + round) % 26);
      expected.push_back(line);
      content += line + endings[(length + round) % 3];
    }
  }
  content += "last";  // no terminator at the end of the file
  expected.push_back("last");
  ASSERT_GT(content.size(), 3u * kTextInputBufferSize);
  EXPECT_EQ(Lines(OpenText("lengths", content)), expected);
}

TEST_F(TextStreamTest, EmptyFileIsAtItsEndAtOnce) {
  Ref<> in = OpenText("empty", "");
  ASSERT_TRUE(in);
  EXPECT_TRUE(TextInputStreamEOF(in.object()));
  EXPECT_EQ(TextInputStreamReadLine(in.object(), nullptr), nullptr);
}

TEST_F(TextStreamTest, TerminatorsAcrossTheBufferBoundary) {
  // CR as byte 1024 and LF as byte 1025 make one terminator.
  std::string first(1023, 'a');
  Ref<> in = OpenText("split", first + "\r\nnext\r" + std::string(1020, 'b') + "\rlast");
  ASSERT_TRUE(in);
  EXPECT_EQ(Take(TextInputStreamReadLine(in.object(), nullptr)), first);
  EXPECT_EQ(TextInputStreamGetPosition(in.object()), 1025);
  EXPECT_EQ(Take(TextInputStreamReadLine(in.object(), nullptr)), "next");
  EXPECT_EQ(Take(TextInputStreamReadLine(in.object(), nullptr)), std::string(1020, 'b'));
  EXPECT_EQ(Take(TextInputStreamReadLine(in.object(), nullptr)), "last");

  // A lone CR at the end of a block: the next block's first byte starts a line.
  Ref<> lone = OpenText("lone", std::string(1023, 'c') + "\rX\n" + std::string(3000, 'd'));
  EXPECT_EQ(Take(TextInputStreamReadLine(lone.object(), nullptr)), std::string(1023, 'c'));
  EXPECT_EQ(Take(TextInputStreamReadLine(lone.object(), nullptr)), "X");
  EXPECT_EQ(Take(TextInputStreamReadLine(lone.object(), nullptr)), std::string(3000, 'd'));
  EXPECT_TRUE(TextInputStreamEOF(lone.object()));
}

TEST_F(TextStreamTest, ByteOrderMarksAreKeptAndLinesCarryNoEncoding) {
  Ref<> in = OpenText("bom", "\xEF\xBB\xBFtitle\nrest");
  CORVstring line = TextInputStreamReadLine(in.object(), nullptr);
  EXPECT_EQ(CORVStringEncoding(line), kEncodingUnknown);
  EXPECT_EQ(Take(line), "\xEF\xBB\xBFtitle");

  Ref<> utf8 = Encoding(kEncodingUTF8);
  CORVstring tagged = TextInputStreamReadLine(in.object(), utf8.object());
  EXPECT_EQ(CORVStringEncoding(tagged), kEncodingUTF8);
  EXPECT_EQ(Take(tagged), "rest");
}

TEST_F(TextStreamTest, UTF16LinesEndAtSixteenBitTerminators) {
  std::string text("a\0\r\0b\0\n\0\x0d\x0a", 10);  // "a" CR "b" LF, then U+0A0D
  Ref<> in = OpenText("wide", text);
  Ref<> utf16 = Encoding(kEncodingUTF16);
  TextInputStreamEncodingSetter(in.object(), utf16.object());
  CORVstring a = TextInputStreamReadLine(in.object(), nullptr);
  EXPECT_EQ(CORVStringEncoding(a), kEncodingUTF16);
  EXPECT_EQ(Take(a), std::string("a\0", 2));
  EXPECT_EQ(Take(TextInputStreamReadLine(in.object(), nullptr)), std::string("b\0", 2));
  EXPECT_EQ(Take(TextInputStreamReadLine(in.object(), nullptr)), "\x0d\x0a");  // no terminator
  TextInputStreamEncodingSetter(in.object(), nullptr);
}

TEST_F(TextStreamTest, ReadGivesWhatIsLeftAndPositionFollows) {
  Ref<> in = OpenText("short", "0123456789abcd");
  EXPECT_EQ(Take(TextInputStreamRead(in.object(), 10, nullptr)), "0123456789");
  EXPECT_EQ(TextInputStreamGetPosition(in.object()), 10);
  EXPECT_EQ(Take(TextInputStreamRead(in.object(), 10, nullptr)), "abcd");  // 4 bytes left
  EXPECT_EQ(TextInputStreamRead(in.object(), 10, nullptr), nullptr);
  EXPECT_TRUE(TextInputStreamEOF(in.object()));
  TextInputStreamSetPosition(in.object(), 3);
  EXPECT_EQ(Take(TextInputStreamReadAll(in.object(), nullptr)), "3456789abcd");
  EXPECT_EQ(TextInputStreamRead(in.object(), 0, nullptr), nullptr);
  EXPECT_EQ(TextInputStreamRead(in.object(), -5, nullptr), nullptr);
  TextInputStreamSetPosition(in.object(), 1);
  EXPECT_EQ(Take(TextInputStreamRead(in.object(), 2000000000, nullptr)), "123456789abcd");

  TextInputStreamClose(in.object());
  EXPECT_TRUE(TextInputStreamEOF(in.object()));
  EXPECT_EQ(TextInputStreamReadLine(in.object(), nullptr), nullptr);
  EXPECT_EQ(TextInputStreamLastErrorGetter(in.object()), 0);
}

TEST_F(TextStreamTest, OpeningAMissingFileGivesNilAndThePlatformError) {
  Ref<> item = Item("missing");
  EXPECT_FALSE(Ref<>::Adopt(FolderItemOpenTextFile(item.object())));
  EXPECT_EQ(FolderItemGetLastError(item.object()), corv::platform::NotFoundError());
  EXPECT_FALSE(Ref<>::Adopt(FolderItemOpenBinaryFile(item.object(), false)));
}

TEST_F(TextStreamTest, WriteLineEndsLinesInTheLinesEncoding) {
  Ref<> item = Item("out");
  Ref<> out = Ref<>::Adopt(FolderItemCreateTextFile(item.object()));
  ASSERT_TRUE(out);
  TextOutputStreamWriteLine(out.object(), Arg("plain"));  // the platform's terminator
  TextOutputStreamDelimiterSetter(out.object(), Arg("\r\n"));
  TextOutputStreamWriteLine(out.object(), Arg("crlf"));
  CORVstring wide = RuntimeCreateString("w\0", 2, kEncodingUTF16);
  TextOutputStreamWriteLine(out.object(), wide);  // terminator converted to UTF-16
  RuntimeUnlockString(wide);
  CORVstring raw = RuntimeCreateString("r", 1, kEncodingUnknown);
  TextOutputStreamWriteLine(out.object(), raw);
  RuntimeUnlockString(raw);
  TextOutputStreamWriteLine(out.object(), nullptr);  // only the terminator
  TextOutputStreamWrite(out.object(), Arg("end"));
  TextOutputStreamClose(out.object());
  TextOutputStreamWrite(out.object(), Arg("after close"));
  EXPECT_EQ(ReadFileBytes(temp_ / "out"), "plain" + std::string(corv::platform::kLineTerminator) +
                                              std::string("crlf\r\nw\0\r\0\n\0r\r\n\r\nend", 20));
}

TEST_F(TextStreamTest, TerminatorsAreConvertedCharacterByCharacter) {
  Ref<> item = Item("converted");
  Ref<> out = Ref<>::Adopt(FolderItemCreateTextFile(item.object()));
  ASSERT_TRUE(out);
  CORVstring big = RuntimeCreateString("\0b", 2, kEncodingUTF16BE);
  TextOutputStreamWriteLine(out.object(), big);  // the default terminator, big-endian
  CORVstring section = RuntimeCreateString("\xC2\xA7", 2, kEncodingUTF8);
  TextOutputStreamDelimiterSetter(out.object(), section);
  CORVstring latin = RuntimeCreateString("\xE9", 1, 0x500);  // Windows Latin 1
  TextOutputStreamWriteLine(out.object(), latin);            // one byte, not two
  TextOutputStreamWriteLine(out.object(), big);
  TextOutputStreamWriteLine(out.object(), nullptr);  // the delimiter in its own encoding
  for (CORVstring s : {big, section, latin}) RuntimeUnlockString(s);
  TextOutputStreamClose(out.object());
  std::string terminatorBE;  // the platform's terminator in UTF-16BE
  for (char c : std::string(corv::platform::kLineTerminator)) terminatorBE += {'\0', c};
  EXPECT_EQ(ReadFileBytes(temp_ / "converted"),
            std::string("\0b", 2) + terminatorBE + std::string("\xE9\xA7\0b\0\xA7\xC2\xA7", 8));
}

TEST_F(TextStreamTest, CreateEmptiesAndAppendAddsOrCreates) {
  WriteFileBytes(temp_ / "f", "old content");
  Ref<> created = Ref<>::Adopt(FolderItemCreateTextFile(Item("f").object()));
  ASSERT_TRUE(created);
  EXPECT_EQ(ReadFileBytes(temp_ / "f"), "");
  TextOutputStreamWrite(created.object(), Arg("A"));
  created = nullptr;  // released without Close: the file is closed all the same

  Ref<> appended = Ref<>::Adopt(FolderItemAppendTextFile(Item("f").object()));
  TextOutputStreamWrite(appended.object(), Arg("B"));
  TextOutputStreamClose(appended.object());
  EXPECT_EQ(ReadFileBytes(temp_ / "f"), "AB");

  Ref<> fresh = Ref<>::Adopt(FolderItemAppendTextFile(Item("new").object()));
  ASSERT_TRUE(fresh);
  TextOutputStreamWrite(fresh.object(), Arg("C"));
  fresh = nullptr;
  EXPECT_EQ(ReadFileBytes(temp_ / "new"), "C");
}

TEST_F(TextStreamTest, LockedFilesAreNotCreatedOver) {
  corv::testing::RunUnprivileged(temp_, [&] {
    WriteFileBytes(temp_ / "ro", "keep");
    ASSERT_TRUE(corv::platform::SetWritable(temp_ / "ro", false).ok());
    Ref<> item = Item("ro");
    EXPECT_FALSE(Ref<>::Adopt(FolderItemCreateTextFile(item.object())));
    EXPECT_FALSE(Ref<>::Adopt(FolderItemAppendTextFile(item.object())));
    EXPECT_FALSE(Ref<>::Adopt(FolderItemCreateBinaryFile(item.object(), nullptr)));
    EXPECT_EQ(FolderItemGetLastError(item.object()), corv::platform::AccessDeniedError());
    EXPECT_EQ(ReadFileBytes(temp_ / "ro"), "keep");
  });
}

}  // namespace
