// Console output: Print and the standard-error stream object.
#include <gtest/gtest.h>

#include <string>

#include "corv.h"
#include "lib/console.h"
#include "lib/string_test_util.h"
#include "runtime_test.h"

namespace {

using corv::String;
using corv::testing::Bytes;
using corv::testing::Utf16;

std::string gOut, gErr;

void Capture(bool toStdOut, const char *bytes, size_t length) {
  (toStdOut ? gOut : gErr).append(bytes, length);
}

class ConsoleTest : public corv::testing::RuntimeTest {
 protected:
  void SetUp() override {
    RuntimeTest::SetUp();
    gOut.clear();
    gErr.clear();
    corv::SetConsoleSinkForTesting(Capture);
  }
  void TearDown() override {
    corv::SetConsoleSinkForTesting(nullptr);
    RuntimeTest::TearDown();
  }
};

TEST_F(ConsoleTest, PrintEndsLinesWithNewline) {
  RuntimeConsolePrint(String("Build complete").get());
  RuntimeConsolePrint(nullptr);  // an empty line
  EXPECT_EQ(gOut, "Build complete\n\n");
  EXPECT_EQ(gErr, "");
}

TEST_F(ConsoleTest, StdErrIsOneSharedStaticObject) {
  CORVobject err = RuntimeGetStdErr();
  ASSERT_NE(err, nullptr);
  EXPECT_EQ(RuntimeGetStdErr(), err);
  EXPECT_EQ(err->refCount, 0) << "never counted, never destroyed";
  EXPECT_TRUE(CORVIsaDeclaration(err, &kStdOutputStreamDecl));
  RuntimeLockObject(err);
  RuntimeUnlockObject(err);
  EXPECT_EQ(err->refCount, 0);
}

TEST_F(ConsoleTest, StdErrWritesAndLines) {
  CORVobject err = RuntimeGetStdErr();
  RuntimeStdOutputStreamWrite(err, String("Error: ").get());
  RuntimeStdOutputStreamWrite(err, nullptr);
  RuntimeStdOutputStreamWriteLine(err, String("bad").get());
  RuntimeStdOutputStreamWriteLine(err, nullptr);
  RuntimeStdOutFlush(err);
  EXPECT_EQ(gErr, "Error: bad\n\n");
  EXPECT_EQ(gOut, "");
}

TEST_F(ConsoleTest, StdOutStreamLineIsPrint) {
  CORVstdOutputStream out{};
  out.isStdOut = true;
  RuntimeStdOutputStreamWriteLine(&out.header, String("x").get());
  EXPECT_EQ(gOut, "x\n");
}

TEST_F(ConsoleTest, TextIsConvertedToTheSystemEncoding) {
  RuntimeConsolePrint(Utf16(u"caf\u00E9").get());
  String expected = corv::ConvertEncoding(Utf16(u"caf\u00E9"), RuntimeSystemEncoding());
  EXPECT_EQ(gOut, std::string(expected.view()) + "\n");
  gOut.clear();
  RuntimeConsolePrint(Bytes(std::string_view("a\0b", 3), kEncodingASCII).get());
  EXPECT_EQ(gOut, std::string("a\0b\n", 4)) << "an embedded zero does not cut the line";
}

TEST_F(ConsoleTest, NilStreamRaises) {
  EXPECT_RAISES(RuntimeStdOutputStreamWrite(nullptr, String("x").get()), kNilObjectExceptionDecl);
  EXPECT_RAISES(RuntimeStdOutFlush(nullptr), kNilObjectExceptionDecl);
}

}  // namespace
