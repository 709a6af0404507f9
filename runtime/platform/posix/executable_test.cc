// The executable's own path and folder, which relative names and plugins are
// found against.
#include "platform/executable.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using namespace corv::platform;

TEST(ExecutableTest, FolderIsTheAbsoluteParentOfTheRunningFile) {
  std::string path = ExecutablePath();
  std::string folder = ExecutableFolder();
  ASSERT_FALSE(path.empty());
  ASSERT_EQ(folder.front(), '/');
  ASSERT_NE(folder.back(), '/');
  EXPECT_EQ(path.substr(0, folder.size() + 1), folder + "/");
  EXPECT_EQ(path.find('/', folder.size() + 1), std::string::npos);
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_TRUE(ItemExists(folder, true));
}

}  // namespace
