// The executable on Windows: its path and folder, and the resources of PE
// files as the loader finds them in the file.
#include "platform/executable.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace corv::platform;

TEST(WindowsExecutableTest, PathFolderAndResources) {
  std::string path = ExecutablePath();
  EXPECT_EQ(path.substr(path.size() - 4), ".exe");
  EXPECT_EQ(path.rfind(ExecutableFolder() + "\\", 0), 0u);
  EXPECT_TRUE(ItemExists(path, false));
  EXPECT_TRUE(ItemExists(ExecutableFolder(), true));
  EXPECT_FALSE(ItemExists(path, true));

  // What the file's tables say agrees with what the system loaded: the
  // PICKLE resource every program of the runtime has, unstamped here, and
  // this program's own (the type found in any letter case).
  struct Case {
    const char *type;
    LPCWSTR systemType, systemName;
    std::string bytes;
  } cases[] = {
      {"PICKLE", L"PICKLE", MAKEINTRESOURCEW(101), std::string("PICKLE\0\0", 8)},
      {"testres", L"TESTRES", MAKEINTRESOURCEW(7), "resource bytes"},
      {"SecondType", L"SECONDTYPE", L"LATER", "AB"},
  };
  ReadableFile file(path);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.type);
    FileSection section;
    ASSERT_TRUE(FindSection(path, c.type, &section));
    std::string bytes(section.size, '\0');
    ASSERT_TRUE(file.ReadAt(section.offset, bytes.data(), section.size));
    EXPECT_EQ(bytes, c.bytes);
    HRSRC found = FindResourceW(nullptr, c.systemName, c.systemType);
    ASSERT_NE(found, nullptr);
    ASSERT_EQ(SizeofResource(nullptr, found), section.size);
    const void *loaded = LockResource(LoadResource(nullptr, found));
    EXPECT_EQ(std::string(static_cast<const char *>(loaded), section.size), c.bytes);
  }
  FileSection section;
  EXPECT_FALSE(FindSection(path, "NOSUCH", &section));
  EXPECT_FALSE(FindSection(path, ".text", &section));  // a section, not a resource

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
