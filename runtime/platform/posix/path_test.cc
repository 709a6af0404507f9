// Native path syntax on POSIX: resolution, splitting and shell quoting.
#include "platform/path.h"

#include <gtest/gtest.h>

namespace {

using namespace corv::platform;

TEST(PathTest, ResolvesRelativePathsAndDotsLexically) {
  EXPECT_EQ(ResolvePath("/base", "a/b"), "/base/a/b");
  EXPECT_EQ(ResolvePath("/base", "/abs//x/"), "/abs/x");
  EXPECT_EQ(ResolvePath("/base", "../../../x/./y/.."), "/x");
  EXPECT_EQ(ResolvePath("/base", "/"), "/");
}

TEST(PathTest, SplitsNamesAndParents) {
  EXPECT_EQ(PathName("/a/b.txt"), "b.txt");
  EXPECT_EQ(PathParent("/a/b.txt"), "/a");
  EXPECT_EQ(PathParent("/a"), "/");
  EXPECT_EQ(PathParent("/"), "");
  EXPECT_EQ(PathName("/"), "/");
  EXPECT_EQ(JoinPath("/", "x"), "/x");
}

TEST(PathTest, QuotesForTheShellAndBack) {
  EXPECT_EQ(ShellQuotePath("/plain/path-1_2.txt"), "/plain/path-1_2.txt");
  EXPECT_EQ(ShellQuotePath("/a b"), "'/a b'");
  EXPECT_EQ(ShellQuotePath("/it's"), "'/it'\"'\"'s'");
  std::string back;
  ASSERT_TRUE(UnquoteShellPath(ShellQuotePath("/it's $x;\n"), &back));
  EXPECT_EQ(back, "/it's $x;\n");
  EXPECT_FALSE(UnquoteShellPath("/a $HOME", &back));
  EXPECT_FALSE(UnquoteShellPath("'/open", &back));
}

}  // namespace
