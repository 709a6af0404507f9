// What the platform tells of itself: the target, the locale's code page and
// language, and the standard handles written byte for byte.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/console.h"
#include "platform/debug_log.h"
#include "platform/system_locale.h"
#include "platform/target.h"

namespace {

using namespace corv::platform;

TEST(WindowsSystemTest, TargetLocaleAndScript) {
  EXPECT_EQ(CurrentTarget(), TargetSystem::kWindows);
  EXPECT_EQ(SystemCodeset(), "CP" + std::to_string(GetACP()));
  LANGID language = PRIMARYLANGID(GetUserDefaultLangID());
  int32_t script = SystemScriptCode();
  if (language == LANG_JAPANESE) {
    EXPECT_EQ(script, 13);
  } else if (language != LANG_CHINESE) {
    EXPECT_EQ(script, 0);
  }
  WriteDebugLog("kilnrun platform test");  // no debugger: goes nowhere, harmlessly
}

TEST(WindowsSystemTest, StandardOutputGetsTheBytesAsTheyAre) {
  HANDLE read, write;
  ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 0));
  HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, write);
  WriteStandardOutput("line\n\xC3\xA9", 7);
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  CloseHandle(write);
  char got[16];
  DWORD count = 0;
  ASSERT_TRUE(ReadFile(read, got, sizeof got, &count, nullptr));
  CloseHandle(read);
  EXPECT_EQ(std::string(got, count), "line\n\xC3\xA9");  // no "\r" added
}

}  // namespace
