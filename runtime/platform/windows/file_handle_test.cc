// Open files on Windows: the modes, positions that writes at an offset and
// cuts leave alone, the identity of a file, and folders refused.
#include "platform/file_handle.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

namespace {

using namespace corv::platform;

class WindowsFileHandleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() / "kilnrun file handles";
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / "data.bin").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::filesystem::path folder_;
  std::string path_;
};

TEST_F(WindowsFileHandleTest, WritesReadsAndKeepsThePositionWhereItSays) {
  Result<OpenedFile> created = OpenAndDescribeFile(path_, OpenMode::kCreate);
  ASSERT_TRUE(created.ok()) << created.error;
  FileHandle file = created.value.handle;
  EXPECT_EQ(created.value.length, 0);
  ASSERT_TRUE(WriteFile(file, "0123456789", 10).ok());
  size_t written = 0;
  ASSERT_TRUE(WriteFileAt(file, 2, "ab", 2, &written).ok());
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(FilePosition(file).value, 10);
  ASSERT_TRUE(SetFileLength(file, 6).ok());
  EXPECT_EQ(FilePosition(file).value, 10);
  EXPECT_EQ(FileLength(file).value, 6);
  ASSERT_TRUE(SeekFile(file, 0).ok());
  char buffer[16] = {};
  EXPECT_EQ(ReadFile(file, buffer, sizeof buffer).value, 6u);
  EXPECT_EQ(std::string(buffer, 6), "01ab45");
  ASSERT_TRUE(FlushFile(file).ok());
  // Others may read while it is open for writing, never write: a reader
  // that does not share writing is refused too.
  EXPECT_EQ(OpenFile(path_, OpenMode::kRead).error, ERROR_SHARING_VIOLATION);
  EXPECT_TRUE(CloseFile(file).ok());

  Result<OpenedFile> again = OpenAndDescribeFile(path_, OpenMode::kRead);
  ASSERT_TRUE(again.ok()) << again.error;
  EXPECT_TRUE(again.value.described);
  EXPECT_EQ(again.value.identity.inode, created.value.identity.inode);
  EXPECT_EQ(again.value.identity.device, created.value.identity.device);
  EXPECT_EQ(again.value.length, 6);
  EXPECT_EQ(ReadSomeOfFile(again.value.handle, buffer, 4).value, 4u);
  EXPECT_FALSE(WriteFile(again.value.handle, "x", 1).ok());  // opened for reading
  EXPECT_TRUE(CloseFile(again.value.handle).ok());
}

TEST_F(WindowsFileHandleTest, MissingFilesAndFoldersAreRefused) {
  EXPECT_EQ(OpenFile(path_, OpenMode::kRead).error, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenFile((folder_ / "none" / "x").string(), OpenMode::kCreate).error,
            ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(OpenFile(folder_.string(), OpenMode::kRead).error, ERROR_ACCESS_DENIED);
  int before = OpenFileHandleCount();
  Result<FileHandle> file = OpenFile(path_, OpenMode::kCreate);
  ASSERT_TRUE(file.ok());
  EXPECT_EQ(OpenFileHandleCount(), before + 1);
  CloseFile(file.value);
  EXPECT_EQ(OpenFileHandleCount(), before);
  EXPECT_STREQ(kLineTerminator, "\r\n");
}

}  // namespace
