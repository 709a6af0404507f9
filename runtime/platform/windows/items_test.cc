// Items on disk on Windows: attributes and times, folders, copies and moves
// that never replace, and the access check.
#include <gtest/gtest.h>
#include <windows.h>
// The names of our own functions, not the system's wide or narrow ones.
#undef CopyFile
#undef CreateSymbolicLink

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "platform/directory.h"
#include "platform/file_info.h"
#include "platform/file_transfer.h"

namespace {

using namespace corv::platform;

class WindowsItemsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = (std::filesystem::temp_directory_path() / "kilnrun items").string();
    RemoveTree(root_);
    ASSERT_TRUE(CreateFolder(root_).ok());
  }
  void TearDown() override { RemoveTree(root_); }
  std::string Path(const char *name) const { return root_ + "\\" + name; }
  void Write(const char *name, const char *text) const { std::ofstream(Path(name)) << text; }
  std::string root_;
};

TEST_F(WindowsItemsTest, AttributesTimesAndMissingItems) {
  Write("a.txt", "abc");
  Result<FileInfo> info = ReadFileInfo(Path("a.txt"));
  ASSERT_TRUE(info.ok());
  EXPECT_TRUE(info.value.exists);
  EXPECT_FALSE(info.value.isDirectory);
  EXPECT_NE(info.value.inode, 0u);
  EXPECT_TRUE(ReadFileInfo(root_).value.isDirectory);
  Result<FileInfo> missing = ReadFileInfo(Path("none"));
  ASSERT_TRUE(missing.ok());  // a missing item in an existing folder
  EXPECT_FALSE(missing.value.exists);
  EXPECT_EQ(ReadFileInfo(Path("none\\x")).error, ERROR_PATH_NOT_FOUND);
  FileTime stamp{1600000000, 0};
  ASSERT_TRUE(SetModificationTime(Path("a.txt"), stamp).ok());
  EXPECT_EQ(ReadFileInfo(Path("a.txt")).value.modified, stamp);
  FileTime now = FileSystemClock();
  EXPECT_GT(now.seconds, 1600000000);
}

TEST_F(WindowsItemsTest, FoldersAreListedCreatedAndRemoved) {
  Write("b.txt", "b");
  ASSERT_TRUE(CreateFolder(Path("sub")).ok());
  Write("sub\\c.txt", "c");
  EXPECT_EQ(CreateFolder(Path("sub")).error, ERROR_ALREADY_EXISTS);
  EXPECT_EQ(CreateFolder(Path("none\\x")).error, ERROR_PATH_NOT_FOUND);
  Result<std::vector<std::string>> names = ListFolder(root_);
  ASSERT_TRUE(names.ok());
  std::sort(names.value.begin(), names.value.end());
  EXPECT_EQ(names.value, (std::vector<std::string>{"b.txt", "sub"}));
  EXPECT_EQ(ListFolder(Path("none")).error, ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(RemoveItem(Path("sub")).error, ERROR_DIR_NOT_EMPTY);
  EXPECT_TRUE(RemoveTree(Path("sub")).ok());
  EXPECT_FALSE(ReadFileInfo(Path("sub")).value.exists);
  EXPECT_TRUE(RemoveItem(Path("b.txt")).ok());
  EXPECT_TRUE(ListFolder(root_).value.empty());
}

TEST_F(WindowsItemsTest, CopiesAndMovesNeverReplace) {
  Write("from.txt", "new");
  Write("there.txt", "old");
  EXPECT_EQ(CopyFile(Path("from.txt"), Path("there.txt")).error, ERROR_FILE_EXISTS);
  EXPECT_EQ(MoveItem(Path("from.txt"), Path("there.txt")).error, ERROR_ALREADY_EXISTS);
  std::string kept;
  std::ifstream(Path("there.txt")) >> kept;
  EXPECT_EQ(kept, "old");
  ASSERT_TRUE(CopyFile(Path("from.txt"), Path("copy.txt")).ok());
  ASSERT_TRUE(MoveItem(Path("copy.txt"), Path("moved.txt")).ok());
  EXPECT_FALSE(ReadFileInfo(Path("copy.txt")).value.exists);
  EXPECT_TRUE(ReadFileInfo(Path("moved.txt")).value.exists);
  ASSERT_TRUE(CreateFolder(Path("folder")).ok());
  EXPECT_FALSE(CopyFile(Path("folder"), Path("folder copy")).ok());
  EXPECT_TRUE(MoveItem(Path("folder"), Path("folder moved")).ok());
}

TEST_F(WindowsItemsTest, AccessOfItemsAndOfWhatIsNotThereYet) {
  Write("w.txt", "w");
  EXPECT_TRUE(IsAccessible(Path("w.txt"), true));
  EXPECT_TRUE(IsAccessible(Path("not yet\\made.txt"), true));  // the nearest existing folder
  ASSERT_TRUE(SetWritable(Path("w.txt"), false).ok());
  EXPECT_TRUE(IsAccessible(Path("w.txt"), false));
  EXPECT_FALSE(IsAccessible(Path("w.txt"), true));
  ASSERT_TRUE(SetWritable(Path("w.txt"), true).ok());
  EXPECT_TRUE(IsAccessible(Path("w.txt"), true));
}

}  // namespace
