// The executable on Windows: its path and folder, and sections of PE files.
#include "platform/executable.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

// A section of this test program, as the loader's own would be stamped.
__attribute__((section("TESTSECT"), used)) unsigned char testSection[8] = {'T', 'E', 'S', 'T',
                                                                           'S', 'E', 'C', 'T'};

namespace {

using namespace corv::platform;

TEST(WindowsExecutableTest, PathFolderAndSections) {
  std::string path = ExecutablePath();
  EXPECT_EQ(path.substr(path.size() - 4), ".exe");
  EXPECT_EQ(path.rfind(ExecutableFolder() + "\\", 0), 0u);
  EXPECT_TRUE(ItemExists(path, false));
  EXPECT_TRUE(ItemExists(ExecutableFolder(), true));
  EXPECT_FALSE(ItemExists(path, true));

  FileSection section;
  ASSERT_TRUE(FindSection(path, "TESTSECT", &section));
  EXPECT_EQ(section.size, 8u);
  ReadableFile file(path);
  char bytes[8];
  ASSERT_TRUE(file.ReadAt(section.offset, bytes, 8));
  EXPECT_EQ(std::string(bytes, 8), "TESTSECT");
  EXPECT_TRUE(FindSection(path, ".text", &section));
  EXPECT_FALSE(FindSection(path, "NOSUCH", &section));
  EXPECT_FALSE(FindSection(path, "A NAME TOO LONG", &section));

  std::string notPe = (std::filesystem::temp_directory_path() / "not a program.exe").string();
  std::ofstream(notPe) << "MZ but nothing more";
  EXPECT_FALSE(FindSection(notPe, ".text", &section));
  std::vector<uint8_t> whole;
  ASSERT_TRUE(ReadWholeFile(notPe, &whole));
  EXPECT_EQ(whole.size(), 19u);
  std::filesystem::remove(notPe);
  EXPECT_FALSE(ReadWholeFile(notPe, &whole));
}

}  // namespace
