// The local clock and the well-known folders on Windows.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/local_time.h"
#include "platform/special_folders.h"
#include "platform/windows/wide.h"

namespace {

using namespace corv::platform;

// The tests run with TZ=America/New_York, which wine turns into the
// Windows zone it runs its programs in.
TEST(WindowsLocalTimeTest, FieldsAndOffsetsOfInstantsInNewYork) {
  const char *zone = std::getenv("TZ");
  if (!zone || std::string(zone) != "America/New_York") GTEST_SKIP() << "needs TZ=America/New_York";
  struct Case {
    int64_t seconds;
    int32_t offset, year, month, day, hour, minute, second;
  } cases[] = {
      {0, -18000, 1969, 12, 31, 19, 0, 0},
      {951782400, -18000, 2000, 2, 28, 19, 0, 0},
      {1625140800, -14400, 2021, 7, 1, 8, 0, 0},  // daylight-saving time
      {1636264799, -14400, 2021, 11, 7, 1, 59, 59},
      {1636264800, -18000, 2021, 11, 7, 1, 0, 0},   // an hour back: standard time
      {-62135596800, -18000, 0, 12, 31, 19, 0, 0},  // before 1601: the offset of 1601
  };
  for (const Case &c : cases) {
    LocalClock clock = LocalClockAt(c.seconds, 250);
    EXPECT_EQ(clock.gmtOffsetSeconds, c.offset) << c.seconds;
    EXPECT_EQ(clock.year, c.year) << c.seconds;
    EXPECT_EQ(clock.month, c.month) << c.seconds;
    EXPECT_EQ(clock.day, c.day) << c.seconds;
    EXPECT_EQ(clock.hour, c.hour) << c.seconds;
    EXPECT_EQ(clock.minute, c.minute) << c.seconds;
    EXPECT_EQ(clock.second, c.second) << c.seconds;
    EXPECT_EQ(clock.millisecond, 250);
  }
}

TEST(WindowsLocalTimeTest, NowAgreesWithTheSystemsLocalTime) {
  SYSTEMTIME system;
  GetLocalTime(&system);
  LocalClock now = CurrentLocalClock();
  EXPECT_EQ(now.year, system.wYear);
  EXPECT_EQ(now.month, system.wMonth);
  EXPECT_EQ(now.day, system.wDay);  // (a run across midnight aside)
  TIME_ZONE_INFORMATION zone;
  DWORD which = GetTimeZoneInformation(&zone);
  LONG bias = zone.Bias + (which == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
  EXPECT_EQ(now.gmtOffsetSeconds, -bias * 60);
}

TEST(WindowsSpecialFoldersTest, TemporaryItemsAndWellKnownFolders) {
  std::string temp = TemporaryFolder();
  EXPECT_EQ(temp[1], ':');
  EXPECT_NE(temp.back(), '\\');
  Result<std::string> file = CreateTemporaryFile("cvt");
  ASSERT_TRUE(file.ok());
  EXPECT_EQ(file.value.rfind(temp + "\\cvt", 0), 0u) << file.value;
  EXPECT_NE(GetFileAttributesW(Wide(file.value).c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileW(Wide(file.value).c_str());
  Result<std::string> folder = CreateTemporaryFolder("cvt");
  ASSERT_TRUE(folder.ok());
  EXPECT_TRUE(GetFileAttributesW(Wide(folder.value).c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  RemoveDirectoryW(Wide(folder.value).c_str());
  EXPECT_EQ(SpecialFolderPath(1001), temp);
  EXPECT_FALSE(SpecialFolderPath(1003).empty());  // the user's application data
  EXPECT_FALSE(SpecialFolderPath(1027).empty());  // the Windows folder
  EXPECT_EQ(SpecialFolderPath(1041), "");
  EXPECT_EQ(SpecialFolderPath(1047), CurrentDirectory());
}

}  // namespace
