// The file primitive's read-ahead seen through the streams: positions stay
// logical, and bytes held for one stream never hide what another stream (or
// the same one) wrote, cut or re-created on the same file.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "corv.h"
#include "corv/ref.h"
#include "disk_test.h"
#include "lib/stream_file.h"
#include "platform/error_codes.h"
#include "platform/file_handle.h"
#include "text_helpers.h"

namespace {

using corv::Ref;
using corv::testing::Arg;
using corv::testing::DiskTest;
using corv::testing::ReadFileBytes;
using corv::testing::Take;
using corv::testing::WriteFileBytes;
namespace platform = corv::platform;

constexpr size_t kWindow = corv::stream::kReadAheadSize;

/// Bytes that differ from their neighbours and do not repeat with the
/// window's period.
std::string Pattern(size_t size, uint32_t seed = 1) {
  std::string bytes(size, '\0');
  uint32_t x = seed;
  for (auto &c : bytes) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 23);
  }
  return bytes;
}

class ReadAheadTest : public DiskTest {
 protected:
  void TearDown() override {
    EXPECT_EQ(corv::stream::SharedChangeCounters(), 0u) << "change counters left behind";
    DiskTest::TearDown();
  }
  Ref<> Item() { return Ref<>::Adopt(RuntimeGetFolderItem(Arg(path_), 0)); }
  Ref<> Binary(bool readWrite) {
    return Ref<>::Adopt(FolderItemOpenBinaryFile(Item().object(), readWrite));
  }
  Ref<> Text() { return Ref<>::Adopt(FolderItemOpenTextFile(Item().object())); }

  static std::string Read(const Ref<> &b, int32_t count) {
    return Take(BinaryStreamRead(b.object(), count, nullptr));
  }
  static std::string Line(const Ref<> &in) {
    return Take(TextInputStreamReadLine(in.object(), nullptr));
  }

  /// Whether a second open may write the file while a stream holds it.
  /// Windows shares an open file for reading only and refuses such an open
  /// with a sharing violation, so there what the caller shows cannot happen.
  bool OthersMayWriteAHeldFile() {
    WriteFileBytes(path_, "held");
    Ref<> held = Binary(false);
    auto other = platform::OpenFile(path_, platform::OpenMode::kReadWrite);
    if (other.ok()) {
      platform::CloseFile(other.value);
      return true;
    }
    // 104: the folder item's code for a sharing or lock violation.
    EXPECT_EQ(platform::FolderItemErrorCode(other.error), 104) << "error " << other.error;
    return false;
  }

  const std::string path_ = temp_ / "file";
};

constexpr const char *kSharedForReadingOnly =
    "an open file is shared for reading only, so no other open may write it";

TEST_F(ReadAheadTest, PositionsAreLogicalAcrossPartialReadsAndWindows) {
  std::string content = Pattern(3 * kWindow + 100);
  WriteFileBytes(path_, content);
  Ref<> b = Binary(false);
  EXPECT_EQ(BinaryStreamReadByte(b.object()), static_cast<uint8_t>(content[0]));
  EXPECT_EQ(BinaryStreamGetPosition(b.object()), 1);
  BinaryStreamReadLong(b.object());
  EXPECT_EQ(BinaryStreamGetPosition(b.object()), 5);
  EXPECT_FALSE(BinaryStreamEOF(b.object()));
  EXPECT_EQ(BinaryStreamGetLength(b.object()), static_cast<int64_t>(content.size()));

  // Reads that end just short of, exactly at and past the window's end.
  EXPECT_EQ(Read(b, kWindow - 6), content.substr(5, kWindow - 6));
  EXPECT_EQ(BinaryStreamGetPosition(b.object()), static_cast<int64_t>(kWindow - 1));
  EXPECT_EQ(Read(b, 1), content.substr(kWindow - 1, 1));
  EXPECT_EQ(Read(b, 10), content.substr(kWindow, 10));
  EXPECT_EQ(BinaryStreamGetPosition(b.object()), static_cast<int64_t>(kWindow + 10));
  // A read larger than the window, starting inside one.
  EXPECT_EQ(Read(b, kWindow + 50), content.substr(kWindow + 10, kWindow + 50));
  EXPECT_EQ(BinaryStreamGetPosition(b.object()), static_cast<int64_t>(2 * kWindow + 60));

  // Seeks inside the held window, behind it and beyond it.
  BinaryStreamSetPosition(b.object(), 2 * kWindow + 30);
  EXPECT_EQ(Read(b, 4), content.substr(2 * kWindow + 30, 4));
  BinaryStreamSetPosition(b.object(), 3);
  EXPECT_EQ(BinaryStreamGetPosition(b.object()), 3);
  EXPECT_EQ(Read(b, 4), content.substr(3, 4));
  BinaryStreamSetPosition(b.object(), content.size() - 2);
  EXPECT_EQ(BinaryStreamReadLong(b.object()), 0);  // two bytes short
  EXPECT_TRUE(BinaryStreamEOF(b.object()));
  BinaryStreamSetPosition(b.object(), content.size() + 10);  // past the end
  EXPECT_EQ(BinaryStreamGetPosition(b.object()), static_cast<int64_t>(content.size() + 10));
  EXPECT_EQ(Read(b, 4), "");
  EXPECT_TRUE(BinaryStreamEOF(b.object()));
  b = Ref<>();

  // Text input: Position is the file's logical position less the unread
  // bytes of the stream's own buffer.
  std::string text = "first\r\nsecond\n" + std::string(kWindow, 'z') + "\rtail";
  WriteFileBytes(path_, text);
  Ref<> in = Text();
  EXPECT_EQ(Line(in), "first");
  EXPECT_EQ(TextInputStreamGetPosition(in.object()), 7);
  EXPECT_EQ(Take(TextInputStreamRead(in.object(), 3, nullptr)), "sec");
  EXPECT_EQ(TextInputStreamGetPosition(in.object()), 10);
  EXPECT_EQ(Line(in), "ond");
  EXPECT_EQ(Line(in), std::string(kWindow, 'z'));
  EXPECT_EQ(TextInputStreamGetPosition(in.object()), static_cast<int64_t>(text.size() - 4));
  EXPECT_FALSE(TextInputStreamEOF(in.object()));
  EXPECT_EQ(Line(in), "tail");
  EXPECT_TRUE(TextInputStreamEOF(in.object()));
  TextInputStreamSetPosition(in.object(), 14);
  EXPECT_EQ(Take(TextInputStreamRead(in.object(), 2, nullptr)), "zz");
}

TEST_F(ReadAheadTest, CarriageReturnsAtBlockAndWindowEdges) {
  // CR LF split across the stream's 1024-byte blocks and across the
  // primitive's windows; a lone CR as the last byte of a window.
  std::string a(1023, 'a'), b(kWindow - 1 - 1025, 'b'), c(kWindow - 2, 'c');
  std::string text = a + "\r\n" + b + "\r\n" + c + "\r" + "X\n";
  ASSERT_EQ(text.find('\r', 1025), kWindow - 1);
  ASSERT_EQ(text.rfind('\r'), 2 * kWindow - 1);
  WriteFileBytes(path_, text);
  Ref<> in = Text();
  EXPECT_EQ(Line(in), a);
  EXPECT_EQ(TextInputStreamGetPosition(in.object()), 1025);
  EXPECT_EQ(Line(in), b);
  EXPECT_EQ(TextInputStreamGetPosition(in.object()), static_cast<int64_t>(kWindow + 1));
  EXPECT_EQ(Line(in), c);
  EXPECT_EQ(TextInputStreamGetPosition(in.object()), static_cast<int64_t>(2 * kWindow));
  EXPECT_EQ(Line(in), "X");
  EXPECT_TRUE(TextInputStreamEOF(in.object()));
}

TEST_F(ReadAheadTest, AnotherStreamsWritesAreSeenByAReaderHoldingBytes) {
  if (!OthersMayWriteAHeldFile()) GTEST_SKIP() << kSharedForReadingOnly;
  std::string content = Pattern(2 * kWindow);
  WriteFileBytes(path_, content);
  Ref<> reader = Binary(false);
  EXPECT_EQ(Read(reader, 10), content.substr(0, 10));  // the window now holds more

  Ref<> writer = Binary(true);
  BinaryStreamSetPosition(writer.object(), 100);
  BinaryStreamWrite(writer.object(), Arg("NEW"));
  EXPECT_EQ(Read(reader, 93), content.substr(10, 90) + "NEW");
  BinaryStreamSetPosition(writer.object(), 20);  // behind the reader now
  BinaryStreamWriteLong(writer.object(), 0x41424344);
  BinaryStreamSetPosition(reader.object(), 20);
  EXPECT_EQ(BinaryStreamReadLong(reader.object()), 0x41424344);

  // A text reader sees a line that another stream rewrote beyond the block
  // it has in its own buffer.
  std::string lines;
  for (int i = 0; i < 400; ++i) lines += "line " + std::to_string(i) + "\n";
  WriteFileBytes(path_, lines);
  Ref<> in = Text();
  EXPECT_EQ(Line(in), "line 0");
  size_t at = lines.find("line 300\n");
  Ref<> patch = Binary(true);
  BinaryStreamSetPosition(patch.object(), static_cast<int64_t>(at));
  BinaryStreamWrite(patch.object(), Arg("LINE"));
  std::string seen;
  for (int i = 1; i <= 300; ++i) seen = Line(in);
  EXPECT_EQ(seen, "LINE 300");
  EXPECT_EQ(Line(in), "line 301");
}

TEST_F(ReadAheadTest, AnotherStreamsTruncationEndsTheReader) {
  if (!OthersMayWriteAHeldFile()) GTEST_SKIP() << kSharedForReadingOnly;
  std::string content = Pattern(kWindow / 2);
  WriteFileBytes(path_, content);
  Ref<> reader = Binary(false);
  EXPECT_EQ(Read(reader, 10), content.substr(0, 10));
  Ref<> cutter = Binary(true);
  BinaryStreamSetLength(cutter.object(), 50);
  EXPECT_EQ(BinaryStreamGetLength(reader.object()), 50);
  EXPECT_FALSE(BinaryStreamEOF(reader.object()));
  EXPECT_EQ(Read(reader, 1000), content.substr(10, 40));
  EXPECT_TRUE(BinaryStreamEOF(reader.object()));
  EXPECT_EQ(BinaryStreamReadByte(reader.object()), 0);

  // A text reader whose window reaches past the cut: lines end where the
  // file now ends.
  std::string lines;
  for (int i = 0; i < 50; ++i) {
    std::string number = std::to_string(100 + i);
    lines += "L" + number + std::string(95, number.back()) + "\n";  // 100 bytes a line
  }
  WriteFileBytes(path_, lines);
  Ref<> in = Text();
  EXPECT_EQ(Line(in), lines.substr(0, 99));
  Ref<> cut = Binary(true);
  BinaryStreamSetLength(cut.object(), 1950);
  for (int i = 1; i < 19; ++i) ASSERT_EQ(Line(in), lines.substr(100 * i, 99));
  EXPECT_EQ(Line(in), lines.substr(1900, 50));
  EXPECT_TRUE(TextInputStreamEOF(in.object()));
  EXPECT_EQ(Line(in), "");

  // Emptying the file through CreateTextFile is a truncation too.
  content = Pattern(3 * kWindow, 7);
  WriteFileBytes(path_, content);
  Ref<> held = Binary(false);
  EXPECT_EQ(Read(held, kWindow + 5), content.substr(0, kWindow + 5));
  Ref<> out = Ref<>::Adopt(FolderItemCreateTextFile(Item().object()));
  ASSERT_TRUE(out);
  EXPECT_EQ(Read(held, 10), "");
  EXPECT_TRUE(BinaryStreamEOF(held.object()));
  TextOutputStreamWrite(out.object(), Arg(std::string(kWindow + 20, 'n')));
  EXPECT_EQ(Read(held, 100), std::string(15, 'n'));
}

TEST_F(ReadAheadTest, OwnWritesSeeksAndFlushesAgreeWithTheHeldBytes) {
  std::string content = Pattern(2 * kWindow + 7);
  WriteFileBytes(path_, content);
  Ref<> b = Binary(true);
  EXPECT_EQ(Read(b, 4), content.substr(0, 4));
  BinaryStreamWrite(b.object(), Arg("WXYZ"));  // lands at 4, not at the window's end
  content.replace(4, 4, "WXYZ");
  EXPECT_EQ(BinaryStreamGetPosition(b.object()), 8);
  EXPECT_EQ(Read(b, 4), content.substr(8, 4));
  BinaryStreamSetPosition(b.object(), 2);
  EXPECT_EQ(Read(b, 8), content.substr(2, 8));  // its own write, read back

  BinaryStreamSetPosition(b.object(), kWindow + 3);
  BinaryStreamWriteShort(b.object(), 0x4142);
  content.replace(kWindow + 3, 2, "AB");
  BinaryStreamSetPosition(b.object(), kWindow);
  EXPECT_EQ(Read(b, 8), content.substr(kWindow, 8));

  EXPECT_EQ(Read(b, 2), content.substr(kWindow + 8, 2));
  BinaryStreamFlush(b.object());
  EXPECT_EQ(BinaryStreamGetPosition(b.object()), static_cast<int64_t>(kWindow + 10));
  BinaryStreamSetLength(b.object(), kWindow + 12);
  content.resize(kWindow + 12);
  EXPECT_EQ(BinaryStreamGetPosition(b.object()), static_cast<int64_t>(kWindow + 10));
  EXPECT_EQ(Read(b, 100), content.substr(kWindow + 10));
  BinaryStreamWrite(b.object(), Arg("end"));
  content += "end";
  BinaryStreamClose(b.object());
  EXPECT_EQ(ReadFileBytes(path_), content);
}

TEST_F(ReadAheadTest, TextAndBinaryStreamsInterleaveWithSeeks) {
  if (!OthersMayWriteAHeldFile()) GTEST_SKIP() << kSharedForReadingOnly;
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "row" + std::to_string(i) + (i % 3 ? "\r\n" : "\n");
  WriteFileBytes(path_, text);
  Ref<> in = Text();
  Ref<> b = Binary(true);
  EXPECT_EQ(Line(in), "row0");
  EXPECT_EQ(Read(b, 5), "row0\n");
  BinaryStreamWrite(b.object(), Arg("ROW"));  // inside the text stream's buffer
  EXPECT_EQ(Line(in), "row1");                // which it read before the write

  size_t far = text.find("row2000");
  BinaryStreamSetPosition(b.object(), static_cast<int64_t>(far));
  BinaryStreamWrite(b.object(), Arg("RAW"));
  TextInputStreamSetPosition(in.object(), static_cast<int64_t>(far));
  EXPECT_EQ(Line(in), "RAW2000");
  EXPECT_EQ(Line(in), "row2001");
  TextInputStreamSetPosition(in.object(), 5);
  EXPECT_EQ(Line(in), "ROW1");
  int64_t position = TextInputStreamGetPosition(in.object());
  BinaryStreamSetPosition(b.object(), position);
  EXPECT_EQ(Read(b, 6), "row2\r\n");
  EXPECT_EQ(BinaryStreamGetPosition(b.object()), position + 6);
}

TEST_F(ReadAheadTest, AReplacedFileReadsAsThePlatformWouldShowIt) {
  if (!OthersMayWriteAHeldFile()) GTEST_SKIP() << kSharedForReadingOnly;
  std::string old = Pattern(kWindow + 500, 3);
  WriteFileBytes(path_, old);
  Ref<> reader = Binary(false);
  auto raw = platform::OpenFile(path_, platform::OpenMode::kRead);  // what the platform shows
  ASSERT_TRUE(raw.ok());
  EXPECT_EQ(Read(reader, 100), old.substr(0, 100));

  // Deleted and made anew: the open reader still has the old file, as a
  // plain handle does; a new reader gets the new one.
  ASSERT_TRUE(FolderItemDelete(Item().object()));
  Ref<> made = Ref<>::Adopt(FolderItemCreateBinaryFile(Item().object(), nullptr));
  ASSERT_TRUE(made);
  std::string fresh = Pattern(kWindow + 500, 4);
  BinaryStreamWrite(made.object(), Arg(fresh));
  std::string platformSees(200, '\0');
  ASSERT_TRUE(platform::SeekFile(raw.value, 100).ok());
  auto n = platform::ReadFile(raw.value, platformSees.data(), platformSees.size());
  ASSERT_TRUE(n.ok());
  EXPECT_EQ(Read(reader, 200), platformSees.substr(0, n.value));
  EXPECT_EQ(Read(Binary(false), 200), fresh.substr(0, 200));
  platform::CloseFile(raw.value);

  // Created over without deleting: the same file, emptied and rewritten, so
  // the reader must see the new bytes at its position.
  Ref<> again = Binary(false);
  auto same = platform::OpenFile(path_, platform::OpenMode::kRead);
  ASSERT_TRUE(same.ok());
  EXPECT_EQ(Read(again, 300), fresh.substr(0, 300));
  Ref<> over = Ref<>::Adopt(FolderItemCreateBinaryFile(Item().object(), nullptr));
  std::string third = Pattern(1000, 5);
  BinaryStreamWrite(over.object(), Arg(third));
  ASSERT_TRUE(platform::SeekFile(same.value, 300).ok());
  n = platform::ReadFile(same.value, platformSees.data(), platformSees.size());
  ASSERT_TRUE(n.ok());
  EXPECT_EQ(platformSees.substr(0, n.value), third.substr(300, 200));
  EXPECT_EQ(Read(again, 200), third.substr(300, 200));
  platform::CloseFile(same.value);
}

// Another process may grow or cut a file that a stream has open (nothing
// stops it here). The stream knows its length without asking the platform
// each time, so what matters is that reading to the end still gives exactly
// what the file holds, and that EOF turns true at the real end and false
// again when more is added.
TEST_F(ReadAheadTest, ChangesPastTheRuntimeShowWhenTheReaderGetsThere) {
  if (!OthersMayWriteAHeldFile()) GTEST_SKIP() << kSharedForReadingOnly;
  const std::string content = Pattern(3 * kWindow, 11);
  const std::string added = Pattern(5000, 12);
  auto append = [&] {
    auto raw = platform::OpenFile(path_, platform::OpenMode::kReadWrite);
    ASSERT_TRUE(raw.ok());
    ASSERT_TRUE(platform::SeekFile(raw.value, static_cast<int64_t>(content.size())).ok());
    EXPECT_TRUE(platform::WriteFile(raw.value, added.data(), added.size()).ok());
    platform::CloseFile(raw.value);
  };
  auto cutTo = [&](int64_t length) {
    auto raw = platform::OpenFile(path_, platform::OpenMode::kReadWrite);
    ASSERT_TRUE(raw.ok());
    EXPECT_TRUE(platform::SetFileLength(raw.value, length).ok());
    platform::CloseFile(raw.value);
  };
  const int64_t cut = 2 * kWindow + 17;
  struct Case {
    const char *what;
    int32_t readFirst;  // bytes read before the change
    std::function<void()> change;
    std::string rest;  // what reading on to the end then gives
    int64_t length;    // the file's length then
  };
  const int64_t grown = static_cast<int64_t>(content.size() + added.size());
  const Case cases[] = {
      {"grown while reading", 10, append, content.substr(10) + added, grown},
      {"grown after the end was reached", static_cast<int32_t>(content.size()), append, added,
       grown},
      {"cut while reading", 10, [&] { cutTo(cut); }, content.substr(10, cut - 10), cut},
      {"cut behind the position", static_cast<int32_t>(cut + 5), [&] { cutTo(cut); }, "", cut},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    // Reads smaller than the read-ahead, and larger ones that bypass it.
    for (int32_t chunk :
         {static_cast<int32_t>(kWindow / 2 + 7), static_cast<int32_t>(2 * kWindow + 1)})
      for (bool text : {false, true}) {
        SCOPED_TRACE(std::string(text ? "text input" : "binary") + ", reads of " +
                     std::to_string(chunk));
        WriteFileBytes(path_, content);
        Ref<> stream = text ? Text() : Binary(false);
        auto read = [&](int32_t count) {
          return Take(text ? TextInputStreamRead(stream.object(), count, nullptr)
                           : BinaryStreamRead(stream.object(), count, nullptr));
        };
        auto eof = [&] {
          return text ? TextInputStreamEOF(stream.object()) : BinaryStreamEOF(stream.object());
        };
        ASSERT_EQ(read(c.readFirst).size(), static_cast<size_t>(c.readFirst));
        EXPECT_EQ(eof(), c.readFirst == static_cast<int32_t>(content.size()));
        c.change();
        EXPECT_EQ(eof(), c.rest.empty());
        std::string rest;
        for (int i = 0; i < 20; ++i) {
          std::string part = read(chunk);
          if (part.empty()) break;
          rest += part;
        }
        EXPECT_EQ(rest.size(), c.rest.size());
        EXPECT_TRUE(rest == c.rest);
        // Reading met the end: the length is the file's again.
        if (!text) {
          EXPECT_EQ(BinaryStreamGetLength(stream.object()), c.length);
        }
        EXPECT_TRUE(eof());
        EXPECT_EQ(read(10), "");
      }
  }
}

// The length and EOF a stream knows follow its own writes and cuts, and a
// failed write moves neither the position nor the length.
TEST_F(ReadAheadTest, OwnWritesAndCutsKeepLengthAndEndExact) {
  struct Step {
    const char *what;
    std::function<void(const Ref<> &)> act;
    int64_t position, length;
    bool eof;
  };
  auto write = [](std::string bytes) {
    return [bytes](const Ref<> &b) { BinaryStreamWrite(b.object(), Arg(bytes)); };
  };
  auto seek = [](int64_t to) {
    return [to](const Ref<> &b) { BinaryStreamSetPosition(b.object(), to); };
  };
  auto cut = [](int64_t to) {
    return [to](const Ref<> &b) { BinaryStreamSetLength(b.object(), to); };
  };
  const Step steps[] = {
      {"written at the end", write("abcdef"), 106, 106, true},
      {"back to the start", seek(0), 0, 106, false},
      {"written inside", write("XY"), 2, 106, false},
      {"to the end", seek(106), 106, 106, true},
      {"cut shorter, behind the position", cut(50), 106, 50, true},
      {"written past the end leaves a gap", write("Z"), 107, 107, true},
      {"extended", cut(200), 107, 200, false},
      {"back into the extension", seek(150), 150, 200, false},
      {"cut to nothing", cut(0), 150, 0, true},
  };
  WriteFileBytes(path_, std::string(100, 'o'));
  Ref<> b = Binary(true);
  BinaryStreamSetPosition(b.object(), 100);
  for (const Step &step : steps) {
    SCOPED_TRACE(step.what);
    step.act(b);
    EXPECT_EQ(BinaryStreamGetPosition(b.object()), step.position);
    EXPECT_EQ(BinaryStreamGetLength(b.object()), step.length);
    EXPECT_EQ(BinaryStreamEOF(b.object()), step.eof);
  }
  EXPECT_EQ(BinaryStreamLastErrorGetter(b.object()), 0);
  BinaryStreamClose(b.object());
  EXPECT_EQ(ReadFileBytes(path_), "");

  // A stream opened for reading cannot write: the write fails and changes
  // nothing it knows.
  WriteFileBytes(path_, "0123456789");
  Ref<> reader = Binary(false);
  EXPECT_EQ(Read(reader, 4), "0123");
  BinaryStreamWrite(reader.object(), Arg("!!"));
  EXPECT_NE(BinaryStreamLastErrorGetter(reader.object()), 0);
  EXPECT_EQ(BinaryStreamGetPosition(reader.object()), 4);
  EXPECT_EQ(BinaryStreamGetLength(reader.object()), 10);
  EXPECT_EQ(Read(reader, 100), "456789");
  EXPECT_TRUE(BinaryStreamEOF(reader.object()));
}

// Two streams on one file against a model of the file and their positions,
// through a long random mix of reads, writes, seeks and length changes.
TEST_F(ReadAheadTest, TwoStreamsAgreeWithAModelOfTheFile) {
  if (!OthersMayWriteAHeldFile()) GTEST_SKIP() << kSharedForReadingOnly;
  std::string model = Pattern(3 * kWindow + 123, 9);
  WriteFileBytes(path_, model);
  Ref<> streams[2] = {Binary(true), Binary(true)};
  int64_t positions[2] = {0, 0};
  std::mt19937 random(2024);
  const int32_t sizes[] = {1,
                           2,
                           4,
                           7,
                           100,
                           1000,
                           4096,
                           static_cast<int32_t>(kWindow) - 1,
                           static_cast<int32_t>(kWindow) + 3};
  for (int step = 0; step < 3000; ++step) {
    int which = static_cast<int>(random() % 2);
    const Ref<> &s = streams[which];
    int64_t &position = positions[which];
    int64_t size = static_cast<int64_t>(model.size());
    SCOPED_TRACE("step " + std::to_string(step));
    switch (random() % 8) {
      case 0:
      case 1:
      case 2: {  // read
        int32_t count = sizes[random() % std::size(sizes)];
        std::string expected =
            position < size ? model.substr(position, static_cast<size_t>(count)) : "";
        ASSERT_EQ(Read(s, count), expected);
        position += static_cast<int64_t>(expected.size());
        break;
      }
      case 3: {  // a number: consumes what is left even when short
        int32_t value = BinaryStreamReadLong(s.object());
        if (position + 4 <= size) {
          uint32_t want = 0;
          for (int i = 0; i < 4; ++i)
            want = (want << 8) | static_cast<uint8_t>(model[position + i]);
          ASSERT_EQ(static_cast<uint32_t>(value), want);
        } else {
          ASSERT_EQ(value, 0);
        }
        position = std::max(position, std::min(position + 4, size));
        break;
      }
      case 4: {  // write
        std::string bytes = Pattern(sizes[random() % 6], step);
        BinaryStreamWrite(s.object(), Arg(bytes));
        if (position > size) model.resize(static_cast<size_t>(position), '\0');
        if (position + static_cast<int64_t>(bytes.size()) > static_cast<int64_t>(model.size()))
          model.resize(static_cast<size_t>(position) + bytes.size());
        model.replace(static_cast<size_t>(position), bytes.size(), bytes);
        position += static_cast<int64_t>(bytes.size());
        break;
      }
      case 5:
      case 6: {  // seek, mostly near where it is
        int64_t to = random() % 2 ? position + static_cast<int64_t>(random() % 200) - 100
                                  : static_cast<int64_t>(random() % (size + 10));
        if (to < 0) to = 0;
        BinaryStreamSetPosition(s.object(), to);
        position = to;
        break;
      }
      case 7: {  // length, now and then
        if (random() % 4) break;
        int64_t length = static_cast<int64_t>(random() % (4 * kWindow));
        BinaryStreamSetLength(s.object(), length);
        model.resize(static_cast<size_t>(length), '\0');
        break;
      }
    }
    ASSERT_EQ(BinaryStreamGetPosition(s.object()), position);
    ASSERT_EQ(BinaryStreamGetLength(s.object()), static_cast<int64_t>(model.size()));
    ASSERT_EQ(BinaryStreamEOF(s.object()), position >= static_cast<int64_t>(model.size()));
  }
  for (auto &s : streams) BinaryStreamClose(s.object());
  EXPECT_EQ(ReadFileBytes(path_), model);
}

}  // namespace
