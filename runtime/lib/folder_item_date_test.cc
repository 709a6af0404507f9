// FolderItem.ModificationDate: the last-write time shown as a local Date,
// under zones west and east of GMT, with and without daylight saving.
#include <gtest/gtest.h>

#include <string>

#include "corv.h"
#include "corv/ref.h"
#include "disk_test.h"
#include "platform/file_info.h"
#include "scoped_time_zone.h"
#include "text_helpers.h"

namespace {

using corv::Ref;
using corv::testing::Arg;
using corv::testing::DiskTest;
using corv::testing::Take;
using corv::testing::WriteFileBytes;
namespace platform = corv::platform;

Ref<> Item(std::string_view path) {
  return Ref<>::Adopt(RuntimeGetFolderItem(Arg(path), 0));
}

// What a Date shows, read back through the entry points.
struct Shown {
  int32_t year, month, day, hour, minute, second, dayOfWeek;
  double gmtOffset, totalSeconds;
};

Shown Show(CORVobject date) {
  return Shown{dateFieldGetter(date, kDateFieldYear),
               dateFieldGetter(date, kDateFieldMonth),
               dateFieldGetter(date, kDateFieldDay),
               dateFieldGetter(date, kDateFieldHour),
               dateFieldGetter(date, kDateFieldMinute),
               dateFieldGetter(date, kDateFieldSecond),
               dateFieldGetter(date, kDateFieldDayOfWeek),
               dateGMTOffsetGetter(date),
               dateTotalSecondsGetter(date)};
}

// One instant seen from one zone: the expected clock fields, worked out
// independently of the runtime's calendar.
struct Seen {
  const char *zone;
  int64_t gmtSeconds;  // since 1970
  int32_t year, month, day, hour, minute, second, dayOfWeek;
  double gmtOffset;
  double totalSeconds;  // whole seconds from 1904 to the local clock
};

// 2024-01-15 13:30:00 GMT (northern winter, Lord Howe summer: the local day
// there is already the 16th) and 2024-07-15 12:34:56 GMT (the other way
// round; Lord Howe then runs half an hour short of its summer offset).
constexpr int64_t kJanuary = 1705325400;
constexpr int64_t kJuly = 1721046896;
const Seen kSeen[] = {
    {"UTC", kJanuary, 2024, 1, 15, 13, 30, 0, 2, 0, 3788170200.0},
    {"UTC", kJuly, 2024, 7, 15, 12, 34, 56, 2, 0, 3803891696.0},
    {"America/New_York", kJanuary, 2024, 1, 15, 8, 30, 0, 2, -5, 3788152200.0},
    {"America/New_York", kJuly, 2024, 7, 15, 8, 34, 56, 2, -4, 3803877296.0},
    {"Australia/Lord_Howe", kJanuary, 2024, 1, 16, 0, 30, 0, 3, 11, 3788209800.0},
    {"Australia/Lord_Howe", kJuly, 2024, 7, 15, 23, 4, 56, 2, 10.5, 3803929496.0},
};

// Each test runs under zones of its choosing; the process's own zone comes
// back afterwards.
class ModificationDateTest : public DiskTest {
 protected:
  [[nodiscard]] bool UseZone(const char *zone) { return zone_.Use(zone); }

 private:
  corv::testing::ScopedTimeZone zone_;
};

TEST_F(ModificationDateTest, LastWriteTimeIsShownInTheLocalZoneOfThatInstant) {
  std::string path = temp_ / "stamped.txt";
  WriteFileBytes(path, "x");
  Ref<> item = Item(path);
  int zonesUsed = 0;
  for (const Seen &seen : kSeen) {
    SCOPED_TRACE(std::string(seen.zone) + " at " + std::to_string(seen.gmtSeconds));
    if (!UseZone(seen.zone)) continue;
    ++zonesUsed;
    ASSERT_TRUE(platform::SetModificationTime(path, {seen.gmtSeconds, 250000000}).ok());
    Ref<> date = Ref<>::Adopt(folderGetModified(item.object()));
    ASSERT_TRUE(date);
    Shown shown = Show(date.object());
    EXPECT_EQ(shown.year, seen.year);
    EXPECT_EQ(shown.month, seen.month);
    EXPECT_EQ(shown.day, seen.day);
    EXPECT_EQ(shown.hour, seen.hour);
    EXPECT_EQ(shown.minute, seen.minute);
    EXPECT_EQ(shown.second, seen.second);
    EXPECT_EQ(shown.dayOfWeek, seen.dayOfWeek);
    EXPECT_EQ(shown.gmtOffset, seen.gmtOffset);
    // The file's milliseconds are kept, as a Date made from a file time keeps them.
    EXPECT_DOUBLE_EQ(shown.totalSeconds, seen.totalSeconds + 0.25);
  }
  if (zonesUsed == 0) GTEST_SKIP() << corv::testing::kZoneFixedAtStart;
}

TEST_F(ModificationDateTest, EveryCallGivesAFreshDateThatFollowsTheFile) {
  if (!UseZone("UTC")) GTEST_SKIP() << corv::testing::kZoneFixedAtStart;
  std::string path = temp_ / "f.txt";
  WriteFileBytes(path, "x");
  Ref<> item = Item(path);
  ASSERT_TRUE(platform::SetModificationTime(path, {kJanuary, 0}).ok());
  Ref<> first = Ref<>::Adopt(folderGetModified(item.object()));
  dateTotalSecondsSetter(first.object(), 0);  // changing it must not touch the item
  ASSERT_TRUE(platform::SetModificationTime(path, {kJuly, 0}).ok());
  Ref<> second = Ref<>::Adopt(folderGetModified(item.object()));
  EXPECT_NE(first.object(), second.object());
  EXPECT_EQ(dateTotalSecondsGetter(second.object()), 3803891696.0);
  EXPECT_EQ(dateTotalSecondsGetter(first.object()), 0.0);
}

TEST_F(ModificationDateTest, FoldersHaveOneToo) {
  if (!UseZone("America/New_York")) GTEST_SKIP() << corv::testing::kZoneFixedAtStart;
  Ref<> folder = Item(temp_ / "sub");
  ASSERT_TRUE(FolderItemCreateAsFolder(folder.object()));
  ASSERT_TRUE(platform::SetModificationTime(temp_ / "sub", {kJuly, 0}).ok());
  Ref<> date = Ref<>::Adopt(folderGetModified(folder.object()));
  EXPECT_EQ(dateTotalSecondsGetter(date.object()), 3803877296.0);
  EXPECT_EQ(dateFieldGetter(date.object(), kDateFieldHour), 8);
}

TEST_F(ModificationDateTest, MissingItemsGiveTheStartOf1904) {
  if (!UseZone("Australia/Lord_Howe")) GTEST_SKIP() << corv::testing::kZoneFixedAtStart;
  Ref<> missing = Item(temp_ / "not-there.txt");
  ASSERT_TRUE(missing);
  Ref<> date = Ref<>::Adopt(folderGetModified(missing.object()));
  ASSERT_TRUE(date);
  Shown shown = Show(date.object());
  EXPECT_EQ(shown.totalSeconds, 0.0);
  EXPECT_EQ(shown.year, 1904);
  EXPECT_EQ(shown.month, 1);
  EXPECT_EQ(shown.day, 1);
  EXPECT_EQ(shown.hour, 0);
  EXPECT_EQ(shown.dayOfWeek, 6);  // a Friday

  // An item whose folder went away after it was made is missing too.
  ASSERT_TRUE(FolderItemCreateAsFolder(Item(temp_ / "gone").object()));
  WriteFileBytes(temp_ / "gone/f.txt", "x");
  Ref<> orphan = Item(temp_ / "gone/f.txt");
  ASSERT_TRUE(platform::SetModificationTime(temp_ / "gone/f.txt", {kJuly, 0}).ok());
  ASSERT_TRUE(FolderItemDelete(orphan.object()));
  ASSERT_TRUE(FolderItemDelete(Item(temp_ / "gone").object()));
  Ref<> orphanDate = Ref<>::Adopt(folderGetModified(orphan.object()));
  EXPECT_EQ(dateTotalSecondsGetter(orphanDate.object()), 0.0);

  EXPECT_RAISES(folderGetModified(nullptr), kNilObjectExceptionDecl);
}

}  // namespace
