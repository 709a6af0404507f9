// FolderItem operations on the real disk: Delete, CreateAsFolder,
// CopyFileTo and MoveFileTo, none of which may replace or lose anything.
#include <gtest/gtest.h>

#include <string>

#include "corv.h"
#include "corv/ref.h"
#include "disk_test.h"
#include "platform/directory.h"
#include "platform/error_codes.h"
#include "platform/file_info.h"
#include "platform/path.h"
#include "text_helpers.h"

namespace {

using corv::Ref;
using corv::testing::Arg;
using corv::testing::DiskTest;
using corv::testing::ReadFileBytes;
using corv::testing::Take;
using corv::testing::WriteFileBytes;
namespace platform = corv::platform;

Ref<> Item(std::string_view path) {
  return Ref<>::Adopt(RuntimeGetFolderItem(Arg(path), 0));
}
bool Exists(const std::string &path) {
  auto info = platform::ReadFileInfo(path);
  return info.ok() && info.value.exists;
}

class FolderItemOpsTest : public DiskTest {};

// A folder or move target that exists already: the platform's own error
// number, "file exists" (80) as POSIX's is mapped, "already exists" (183)
// from the folder and move calls of Windows.
const bool kWindows = platform::kPathSeparator == '\\';
const int32_t kTargetExists = kWindows ? 183 : 80;

// Removes an item outside the test's temporary folder when it goes out of scope.
struct RemovedAtEnd {
  std::string path;
  ~RemovedAtEnd() { platform::RemoveTree(path); }
};

TEST_F(FolderItemOpsTest, CopyNeverReplacesAndPlacesIntoFoldersByName) {
  WriteFileBytes(temp_ / "src", "source");
  WriteFileBytes(temp_ / "dst", "target");
  Ref<> src = Item(temp_ / "src");
  EXPECT_FALSE(FolderItemCopyFileTo(src.object(), Item(temp_ / "dst").object()));
  EXPECT_EQ(FolderItemGetLastError(src.object()), 80);
  EXPECT_EQ(ReadFileBytes(temp_ / "dst"), "target");
  EXPECT_EQ(ReadFileBytes(temp_ / "src"), "source");

  ASSERT_TRUE(FolderItemCreateAsFolder(Item(temp_ / "into").object()));
  EXPECT_TRUE(FolderItemCopyFileTo(src.object(), Item(temp_ / "into").object()));
  EXPECT_EQ(FolderItemGetLastError(src.object()), 0);
  EXPECT_EQ(ReadFileBytes(temp_ / "into/src"), "source");
  auto a = platform::ReadFileInfo(temp_ / "src"), b = platform::ReadFileInfo(temp_ / "into/src");
  EXPECT_EQ(a.value.modified, b.value.modified);  // the copy keeps the time stamp

  EXPECT_FALSE(FolderItemCopyFileTo(Item(temp_ / "into").object(), Item(temp_ / "c").object()));
  EXPECT_FALSE(Exists(temp_ / "c"));  // a folder is not copied this way
  EXPECT_FALSE(FolderItemCopyFileTo(Item(temp_ / "nope").object(), Item(temp_ / "d").object()));
  EXPECT_EQ(FolderItemGetLastError(Item(temp_ / "nope").object()), 0);  // its own item, fresh
  EXPECT_RAISES(FolderItemCopyFileTo(src.object(), nullptr), kNilObjectExceptionDecl);
  EXPECT_EQ(FolderItemGetLastError(src.object()), 100);
}

TEST_F(FolderItemOpsTest, DeletingANonEmptyFolderFailsAndRemovesNothing) {
  Ref<> folder = Item(temp_ / "full");
  ASSERT_TRUE(FolderItemCreateAsFolder(folder.object()));
  WriteFileBytes(temp_ / "full/keep", "k");
  EXPECT_FALSE(FolderItemDelete(folder.object()));
  EXPECT_EQ(FolderItemGetLastError(folder.object()), 145);
  EXPECT_EQ(ReadFileBytes(temp_ / "full/keep"), "k");

  Ref<> keep = Item(temp_ / "full/keep");
  EXPECT_TRUE(FolderItemDelete(keep.object()));
  EXPECT_TRUE(FolderItemDelete(folder.object()));
  EXPECT_EQ(FolderItemGetLastError(folder.object()), 0);
  EXPECT_FALSE(Exists(temp_ / "full"));
  EXPECT_FALSE(FolderItemDelete(folder.object()));
  EXPECT_EQ(FolderItemGetLastError(folder.object()), 101);
}

TEST_F(FolderItemOpsTest, CreateAsFolderNeedsTheParentAndANewName) {
  ASSERT_TRUE(FolderItemCreateAsFolder(Item(temp_ / "x").object()));
  Ref<> again = Item(temp_ / "x");
  EXPECT_FALSE(FolderItemCreateAsFolder(again.object()));
  EXPECT_EQ(FolderItemGetLastError(again.object()), kTargetExists);
  Ref<> deep = Item(temp_ / "x/y");
  ASSERT_TRUE(FolderItemDelete(Item(temp_ / "x").object()));
  EXPECT_FALSE(FolderItemCreateAsFolder(deep.object()));
  EXPECT_EQ(FolderItemGetLastError(deep.object()), 101);
}

TEST_F(FolderItemOpsTest, MoveOntoAnExistingTargetLeavesBothFilesIntact) {
  WriteFileBytes(temp_ / "one", "1");
  WriteFileBytes(temp_ / "two", "2");
  Ref<> one = Item(temp_ / "one");
  EXPECT_FALSE(FolderItemMoveFileTo(one.object(), Item(temp_ / "two").object()));
  EXPECT_EQ(FolderItemGetLastError(one.object()), kTargetExists);
  EXPECT_EQ(ReadFileBytes(temp_ / "one"), "1");
  EXPECT_EQ(ReadFileBytes(temp_ / "two"), "2");

  EXPECT_TRUE(FolderItemMoveFileTo(one.object(), Item(temp_ / "three").object()));
  EXPECT_EQ(ReadFileBytes(temp_ / "three"), "1");
  EXPECT_FALSE(Exists(temp_ / "one"));
  EXPECT_EQ(Take(fileNameGetter(one.object())), "one");  // the item keeps its old path
}

TEST_F(FolderItemOpsTest, MoveAcrossFileSystemsCopiesThenRemoves) {
  auto here = platform::ReadFileInfo(temp_.path());
  auto shm = platform::ReadFileInfo("/dev/shm");
  if (!shm.ok() || !shm.value.isDirectory || shm.value.device == here.value.device)
    GTEST_SKIP() << "no second file system at /dev/shm to move across";
  std::string away = "/dev/shm/corv-move-" + Take(fileNameGetter(Item(temp_.path()).object()));
  RemovedAtEnd cleanup{away};  // outside the temporary folder: removed even when the test fails

  WriteFileBytes(temp_ / "file", "payload");
  ASSERT_TRUE(FolderItemMoveFileTo(Item(temp_ / "file").object(), Item(away).object()));
  EXPECT_EQ(ReadFileBytes(away), "payload");
  EXPECT_FALSE(Exists(temp_ / "file"));
  // Back again onto an existing name: refused, both kept.
  WriteFileBytes(temp_ / "file", "newer");
  EXPECT_FALSE(FolderItemMoveFileTo(Item(away).object(), Item(temp_ / "file").object()));
  EXPECT_EQ(ReadFileBytes(temp_ / "file"), "newer");
  EXPECT_EQ(ReadFileBytes(away), "payload");
  platform::RemoveTree(away);

  if (kWindows) {
    // Windows's move call moves a folder only within its volume: refused,
    // and the folder stays whole where it was.
    ASSERT_TRUE(platform::CreateFolder(temp_ / "tree").ok());
    WriteFileBytes(temp_ / "tree/leaf", "leaf");
    Ref<> tree = Item(temp_ / "tree");
    // Windows says "not the same device" (17), wine "access denied" (102).
    EXPECT_FALSE(FolderItemMoveFileTo(tree.object(), Item(away).object()));
    EXPECT_NE(FolderItemGetLastError(tree.object()), 0);
    EXPECT_EQ(ReadFileBytes(temp_ / "tree/leaf"), "leaf");
    EXPECT_FALSE(Exists(away));
    return;
  }

  // A folder tree moves with its links as links.
  ASSERT_TRUE(platform::CreateFolder(temp_ / "tree").ok());
  ASSERT_TRUE(platform::CreateFolder(temp_ / "tree/sub").ok());
  WriteFileBytes(temp_ / "tree/sub/leaf", "leaf");
  ASSERT_TRUE(platform::CreateFolder(temp_ / "outside").ok());
  WriteFileBytes(temp_ / "outside/precious", "p");
  ASSERT_TRUE(platform::CreateSymbolicLink(temp_ / "outside", temp_ / "tree/link").ok());
  ASSERT_TRUE(FolderItemMoveFileTo(Item(temp_ / "tree").object(), Item(away).object()));
  EXPECT_EQ(ReadFileBytes(away + "/sub/leaf"), "leaf");
  auto link = platform::ReadFileInfo(away + "/link");
  EXPECT_TRUE(link.value.isSymlink);
  EXPECT_FALSE(Exists(temp_ / "tree"));
  EXPECT_EQ(ReadFileBytes(temp_ / "outside/precious"), "p");

  // Onto a folder that is there already (as if another process had just
  // made it): refused, and the clean-up leaves that folder alone.
  ASSERT_TRUE(platform::CreateFolder(temp_ / "tree").ok());
  WriteFileBytes(temp_ / "tree/mine", "m");
  ASSERT_TRUE(platform::CreateFolder(away + "/tree").ok());
  WriteFileBytes(away + "/tree/theirs", "t");
  Ref<> tree = Item(temp_ / "tree");
  EXPECT_FALSE(FolderItemMoveFileTo(tree.object(), Item(away).object()));
  EXPECT_EQ(FolderItemGetLastError(tree.object()), 80);
  EXPECT_EQ(ReadFileBytes(away + "/tree/theirs"), "t");
  EXPECT_EQ(ReadFileBytes(temp_ / "tree/mine"), "m");
}

TEST_F(FolderItemOpsTest, DeletingALinkToAFolderLeavesItsTargetWhole) {
  ASSERT_TRUE(platform::CreateFolder(temp_ / "target").ok());
  WriteFileBytes(temp_ / "target/a", "a");
  ASSERT_TRUE(platform::CreateFolder(temp_ / "doomed").ok());
  WriteFileBytes(temp_ / "doomed/f", "f");
  ASSERT_TRUE(platform::CreateSymbolicLink(temp_ / "target", temp_ / "doomed/link").ok());

  Ref<> doomed = Item(temp_ / "doomed");
  for (int i = fileCountGetter(doomed.object()); i >= 1; --i) {
    Ref<> entry = Ref<>::Adopt(FolderItemItem(doomed.object(), i));
    EXPECT_TRUE(FolderItemDelete(entry.object())) << Take(fileNameGetter(entry.object()));
  }
  EXPECT_TRUE(FolderItemDelete(doomed.object()));
  EXPECT_FALSE(Exists(temp_ / "doomed"));
  EXPECT_EQ(ReadFileBytes(temp_ / "target/a"), "a");
}

TEST_F(FolderItemOpsTest, CleanUpPatternRemovesExactlyTheTemporaryFiles) {
  for (int i = 0; i < 300; ++i)
    WriteFileBytes(temp_ / ((i % 10 == 0 ? "TempKR" : "keep") + std::to_string(i)), "");
  Ref<> folder = Item(temp_.path());
  for (int i = fileCountGetter(folder.object()); i >= 1; --i) {
    Ref<> entry = Ref<>::Adopt(FolderItemItem(folder.object(), i));
    ASSERT_TRUE(entry);
    if (Take(fileNameGetter(entry.object())).starts_with("TempKR")) {
      ASSERT_TRUE(FolderItemDelete(entry.object()));
    }
  }
  auto names = platform::ListFolder(temp_.path());
  EXPECT_EQ(names.value.size(), 270u);
  EXPECT_EQ(fileCountGetter(folder.object()), 270);
  for (const std::string &name : names.value) EXPECT_FALSE(name.starts_with("TempKR"));
}

TEST(FolderItemErrorCodes, PlatformErrorsMapOntoTheRuntimeCodes) {
  EXPECT_EQ(platform::FolderItemErrorCode(platform::NotFoundError()), 101);
  EXPECT_EQ(platform::FolderItemErrorCode(0), 0);
}

}  // namespace
