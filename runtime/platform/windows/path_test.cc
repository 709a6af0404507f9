// Native path syntax on Windows: volumes, resolution, splitting and the
// short form that stands for a path on cmd.exe's command line.
#include "platform/path.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace corv::platform;

TEST(WindowsPathTest, AbsoluteMeansADriveOrANetworkShare) {
  EXPECT_TRUE(IsAbsolutePath("C:\\a"));
  EXPECT_TRUE(IsAbsolutePath("c:"));
  EXPECT_TRUE(IsAbsolutePath("\\\\server\\share\\a"));
  EXPECT_FALSE(IsAbsolutePath("\\a"));
  EXPECT_FALSE(IsAbsolutePath("a\\b"));
  EXPECT_FALSE(IsAbsolutePath(""));
}

TEST(WindowsPathTest, ResolvesRelativePathsAgainstTheBase) {
  struct Case {
    const char *base, *path, *resolved;
  } cases[] = {
      {"C:\\app", "a\\b", "C:\\app\\a\\b"},
      {"C:\\app", "\\top\\x", "C:\\top\\x"},  // a leading backslash keeps only the drive
      {"\\\\srv\\share\\app", "\\x", "\\\\srv\\share\\x"},
      {"C:\\app", "D:\\abs\\\\x\\", "D:\\abs\\x"},
      {"C:\\app", "..\\..\\..\\x\\.\\y\\..", "C:\\x"},
      {"C:\\app", "C:\\", "C:"},  // a drive root is stored without its backslash
      {"C:\\app", "a/b", "C:\\app\\a\\b"},
      {"C:\\app", "\\\\srv\\share\\..\\..\\x", "\\\\srv\\share\\x"},
  };
  for (const Case &c : cases) EXPECT_EQ(ResolvePath(c.base, c.path), c.resolved) << c.path;
}

TEST(WindowsPathTest, SplitsVolumesNamesAndParents) {
  EXPECT_TRUE(IsVolumeRoot("C:"));
  EXPECT_TRUE(IsVolumeRoot("\\\\srv\\share"));
  EXPECT_FALSE(IsVolumeRoot("C:\\a"));
  EXPECT_FALSE(IsVolumeRoot("\\\\srv\\share\\a"));
  EXPECT_EQ(PathName("C:\\a\\b.txt"), "b.txt");
  EXPECT_EQ(PathName("C:"), "C:");
  EXPECT_EQ(PathParent("C:\\a\\b.txt"), "C:\\a");
  EXPECT_EQ(PathParent("C:\\a"), "C:");
  EXPECT_EQ(PathParent("\\\\srv\\share\\a"), "\\\\srv\\share");
  EXPECT_EQ(PathParent("C:"), "");
  EXPECT_EQ(JoinPath("C:", "x"), "C:\\x");
  EXPECT_EQ(JoinPath("C:\\a", "x"), "C:\\a\\x");
}

TEST(WindowsPathTest, TheShellFormIsTheShortPathWhenThereIsOne) {
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "A long folder name";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "a long file name.txt") << "x";
  std::string path = (folder / "a long file name.txt").string();
  std::string shell = ShellQuotePath(path);
  EXPECT_EQ(shell.find(' '), std::string::npos) << shell;
  EXPECT_EQ(GetFileAttributesA(shell.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u) << shell;
  std::filesystem::remove_all(folder);
  EXPECT_EQ(ShellQuotePath(path), path);  // gone: no short form
  std::string back;
  ASSERT_TRUE(UnquoteShellPath("\"C:\\a b\\c\"", &back));
  EXPECT_EQ(back, "C:\\a b\\c");
  EXPECT_FALSE(UnquoteShellPath("\"C:\\open", &back));
  EXPECT_FALSE(UnquoteShellPath("C:\\%PATH%", &back));
}

}  // namespace
