// FolderItem: making items from paths, navigation, enumeration and queries.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "corv.h"
#include "corv/ref.h"
#include "disk_test.h"
#include "lib/folder_listing.h"
#include "platform/executable.h"
#include "platform/file_info.h"
#include "platform/special_folders.h"
#include "text_helpers.h"

namespace {

using corv::Ref;
using corv::testing::Arg;
using corv::testing::DiskTest;
using corv::testing::Take;
using corv::testing::WriteFileBytes;
namespace platform = corv::platform;

Ref<> Item(std::string_view path, int32_t mode = 0) {
  return Ref<>::Adopt(RuntimeGetFolderItem(Arg(path), mode));
}
std::string PathOf(const Ref<> &item) {
  return Take(fileAbsolutePathGetter(item.object()));
}
std::string NameOf(const Ref<> &item) {
  return Take(fileNameGetter(item.object()));
}

/// The tests' relative paths, written with "/", in the platform's syntax.
std::string Native(std::string_view path) {
  std::string native(path);
  for (char &c : native)
    if (c == '/') c = platform::kPathSeparator;
  return native;
}
const bool kWindowsPaths = platform::kPathSeparator == '\\';

class FolderItemTest : public DiskTest {};

TEST_F(FolderItemTest, RelativeNamesResolveBesideTheExecutableNotTheCurrentDirectory) {
  std::string exeFolder = platform::ExecutableFolder();
  Ref<> item = Item("probe-not-here.txt");
  ASSERT_TRUE(item);
  EXPECT_EQ(PathOf(item), exeFolder + Native("/probe-not-here.txt"));
  EXPECT_EQ(PathOf(Item("sub/.././y.txt")), exeFolder + Native("/y.txt"));
  EXPECT_EQ(PathOf(Item("")), exeFolder + Native("/"));  // the application's folder

  Ref<> made = Ref<>::Adopt(RuntimeNewObject(CORVBindDeclaration(&kFolderItemDecl)));
  FolderItemPathCtorNoParams(made.object());
  EXPECT_EQ(PathOf(made), exeFolder + Native("/"));
}

TEST_F(FolderItemTest, MissingFileInExistingFolderIsAnItemButMissingFolderIsNil) {
  WriteFileBytes(temp_ / "file.txt", "x");
  Ref<> missing = Item(temp_ / "new.txt");
  ASSERT_TRUE(missing);
  EXPECT_FALSE(fileExistsGetter(missing.object()));
  EXPECT_FALSE(fileDirectoryGetter(missing.object()));
  EXPECT_FALSE(Item(temp_ / Native("missing/new.txt")));
  EXPECT_FALSE(Item(temp_ / Native("file.txt/new.txt")));  // under a file
  EXPECT_FALSE(Item(std::string("/tmp/a\0b", 8)));

  Ref<> made = Ref<>::Adopt(RuntimeNewObject(CORVBindDeclaration(&kFolderItemDecl)));
  try {
    FolderItemPathCtor(made.object(), Arg(temp_ / Native("missing/new.txt")), 0);
    ADD_FAILURE() << "an unusable path made an item";
  } catch (const corv::LanguageException &e) {
    EXPECT_TRUE(e.Isa(&kUnsupportedFormatExceptionDecl));
    EXPECT_EQ(Take(RuntimeLockString(e.record()->message)),
              "The path passed into new FolderItem was invalid");
  }
  FolderItemPathCtor(made.object(), Arg(temp_ / "file.txt"), 0);
  EXPECT_EQ(NameOf(made), "file.txt");
}

TEST_F(FolderItemTest, NamesParentsAndAbsolutePaths) {
  ASSERT_TRUE(FolderItemCreateAsFolder(Item(temp_ / "sub").object()));
  WriteFileBytes(temp_ / Native("sub/b.txt"), "x");
  Ref<> file = Item(temp_ / Native("sub/b.txt"));
  EXPECT_EQ(NameOf(file), "b.txt");
  EXPECT_EQ(PathOf(file), temp_ / Native("sub/b.txt"));  // a file: no trailing separator
  Ref<> folder = Ref<>::Adopt(folderParentGetter(file.object()));
  EXPECT_EQ(PathOf(folder), temp_ / Native("sub/"));  // a folder: with one
  EXPECT_EQ(Take(FileShellPathGetter(folder.object())), temp_ / "sub");

  // The first volume: the root of the one tree, or drive C: (A: and B: are
  // never counted).
  Ref<> root = Ref<>::Adopt(getVolume(0));
  ASSERT_TRUE(root);
  EXPECT_EQ(PathOf(root), kWindowsPaths ? "C:\\" : "/");
  EXPECT_EQ(NameOf(root), kWindowsPaths ? "C:" : "/");
  EXPECT_TRUE(fileDirectoryGetter(root.object()));
  EXPECT_FALSE(Ref<>::Adopt(folderParentGetter(root.object())));
  if (!kWindowsPaths) {
    EXPECT_FALSE(Ref<>::Adopt(getVolume(1)));
  }
  EXPECT_FALSE(Ref<>::Adopt(getVolume(26)));
  Ref<> top = Item(kWindowsPaths ? "C:\\windows" : "/tmp");
  EXPECT_EQ(PathOf(Ref<>::Adopt(folderParentGetter(top.object()))), PathOf(root));
}

TEST_F(FolderItemTest, ChildOfAFileOrMissingFolderIsNilUntilTheFolderExists) {
  WriteFileBytes(temp_ / "f", "x");
  EXPECT_FALSE(Ref<>::Adopt(FolderChild(Item(temp_ / "f").object(), Arg("c"))));
  Ref<> later = Item(temp_ / "later");
  EXPECT_FALSE(Ref<>::Adopt(FolderChild(later.object(), Arg("c"))));
  ASSERT_TRUE(FolderItemCreateAsFolder(later.object()));
  Ref<> child = Ref<>::Adopt(FolderTrueChild(later.object(), Arg("c")));
  ASSERT_TRUE(child);
  EXPECT_EQ(PathOf(child), temp_ / Native("later/c"));
  EXPECT_FALSE(fileExistsGetter(child.object()));
  EXPECT_RAISES(FolderChild(nullptr, Arg("c")), kNilObjectExceptionDecl);
}

TEST_F(FolderItemTest, ItemCountsFromOneInSortedOrderAndEndsWithNil) {
  Ref<> folder = Item(temp_.path());
  EXPECT_EQ(fileCountGetter(folder.object()), 0);
  for (const char *name : {"b", "a", "c"}) WriteFileBytes(temp_ / name, name);
  ASSERT_EQ(fileCountGetter(folder.object()), 3);
  for (int i = 1; i <= 3; ++i)
    EXPECT_EQ(NameOf(Ref<>::Adopt(FolderItemItem(folder.object(), i))),
              std::string(1, 'a' + i - 1));
  EXPECT_FALSE(Ref<>::Adopt(FolderItemItem(folder.object(), 4)));
  EXPECT_RAISES(FolderItemItem(folder.object(), 0), kOutOfBoundsExceptionDecl);
  EXPECT_RAISES(FolderItemTrueItem(folder.object(), -1), kOutOfBoundsExceptionDecl);
  EXPECT_EQ(fileCountGetter(Item(temp_ / "a").object()), 0);   // a file
  EXPECT_EQ(fileCountGetter(Item(temp_ / "zz").object()), 0);  // missing
}

// The kept entry lists must never hide a change made behind the runtime's
// back, even one made in the same clock tick as the previous look.
TEST_F(FolderItemTest, CountSeesEveryOutsideChangeAtOnce) {
  Ref<> folder = Item(temp_.path());
  for (int i = 0; i < 50; ++i) {
    WriteFileBytes(temp_ / ("n" + std::to_string(i)), "");
    ASSERT_EQ(fileCountGetter(folder.object()), i + 1);
    Ref<> last = Ref<>::Adopt(FolderItemItem(folder.object(), i + 1));
    ASSERT_TRUE(last);
  }
  for (int i = 49; i >= 0; --i) {
    ASSERT_TRUE(platform::RemoveItem(temp_ / ("n" + std::to_string(i))).ok());
    ASSERT_EQ(fileCountGetter(folder.object()), i);
    ASSERT_FALSE(Ref<>::Adopt(FolderItemItem(folder.object(), i + 1)));
  }
}

TEST_F(FolderItemTest, HiddenNamesAreInvisibleOnlyWhenTheyExist) {
  WriteFileBytes(temp_ / ".hidden", "");
  WriteFileBytes(temp_ / "shown", "");
  EXPECT_FALSE(fileVisibleGetter(Item(temp_ / ".hidden").object()));
  EXPECT_TRUE(fileVisibleGetter(Item(temp_ / "shown").object()));
  EXPECT_TRUE(fileVisibleGetter(Item(temp_ / ".missing").object()));
}

TEST_F(FolderItemTest, ShellPathNamesExactlyThatFileInTheShell) {
  // A name the shell would split, expand or end a command at if the path
  // were not protected (Windows names cannot hold '"' or a line break).
  std::string name =
      kWindowsPaths ? "a b 'q' $HOME %PATH% ; & echo x" : "a b 'q' \"d\" $HOME ; echo x\nline";
  WriteFileBytes(temp_ / name, "content");
  WriteFileBytes(temp_ / "a", "decoy");  // what an unprotected path would split into
  std::string shellPath = Take(FileShellPathGetter(Item(temp_ / name).object()));
  std::string out = temp_ / "out.txt";
  std::string command = std::string(kWindowsPaths ? "type " : "cat ") + shellPath + " > " +
                        Take(FileShellPathGetter(Item(out).object()));
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_EQ(corv::testing::ReadFileBytes(out), "content");

  Ref<> back = Item(shellPath, 1);  // a shell path is read back in mode 1
  ASSERT_TRUE(back);
  EXPECT_TRUE(fileExistsGetter(back.object()));
  // Windows gives the short form of each name, which names the same file.
  if (!kWindowsPaths) {
    EXPECT_EQ(PathOf(back), temp_ / name);
  }
  EXPECT_RAISES(Item("relative", 1), kUnsupportedFormatExceptionDecl);
}

TEST_F(FolderItemTest, FileURLsAreDecoded) {
  WriteFileBytes(temp_ / "a b", "");
  Ref<> item = Item("file://" + (temp_ / "a%20b"), 2);
  ASSERT_TRUE(item);
  EXPECT_TRUE(fileExistsGetter(item.object()));
  EXPECT_FALSE(Item("http://example/x", 2));
}

TEST_F(FolderItemTest, TemporaryAndSpecialFolders) {
  Ref<> temp = Ref<>::Adopt(GetSpecialFolder(0, 1001));
  ASSERT_TRUE(temp);
  EXPECT_EQ(PathOf(temp), platform::TemporaryFolder() + Native("/"));
  EXPECT_EQ(PathOf(Ref<>::Adopt(GetSpecialFolder(0, 1047))),
            platform::CurrentDirectory() + Native("/"));
  EXPECT_FALSE(Ref<>::Adopt(GetSpecialFolder(0, 1041)));
  EXPECT_FALSE(Ref<>::Adopt(GetSpecialFolder(0, 1042)));

  Ref<> file = Ref<>::Adopt(getTemporaryFolderItem());
  ASSERT_TRUE(file);
  EXPECT_TRUE(fileExistsGetter(file.object()));
  EXPECT_FALSE(fileDirectoryGetter(file.object()));
  EXPECT_EQ(NameOf(file).substr(0, 3), "cvt");
  EXPECT_TRUE(FolderItemDelete(file.object()));
}

TEST_F(FolderItemTest, CopyConstructorAndLastError) {
  Ref<> item = Item(temp_ / "x");
  FolderItemSetLastError(item.object(), 7);
  EXPECT_EQ(FolderItemGetLastError(item.object()), 7);
  Ref<> copy = Ref<>::Adopt(RuntimeNewObject(CORVBindDeclaration(&kFolderItemDecl)));
  FolderItemCopyCtor(copy.object(), item.object());
  EXPECT_EQ(PathOf(copy), temp_ / "x");
  EXPECT_EQ(FolderItemGetLastError(copy.object()), 0);
  EXPECT_RAISES(FolderItemCopyCtor(copy.object(), nullptr), kNilObjectExceptionDecl);
}

TEST_F(FolderItemTest, IsWriteableLooksAtTheNearestExistingAncestor) {
  corv::testing::RunUnprivileged(temp_, [&] {
    WriteFileBytes(temp_ / "w", "");
    WriteFileBytes(temp_ / "ro", "");
    ASSERT_TRUE(platform::SetWritable(temp_ / "ro", false).ok());
    ASSERT_TRUE(platform::CreateFolder(temp_ / "locked").ok());
    ASSERT_TRUE(platform::CreateFolder(temp_ / "gone").ok());
    // Items made while their folders exist; then "locked" turns read-only
    // and "gone" disappears, leaving its items to the folder above.
    Ref<> inLocked = Item(temp_ / Native("locked/new")), inGone = Item(temp_ / Native("gone/new"));
    ASSERT_TRUE(platform::SetWritable(temp_ / "locked", false).ok());
    ASSERT_TRUE(platform::RemoveItem(temp_ / "gone").ok());
    // Windows asks only the access lists: the read-only attribute plays no
    // part there. A read-only file is left open on Windows, where wine makes
    // a file's access list from its Unix mode, which the attribute sets.
    enum Expect { kNo, kYes, kEither };
    struct Case {
      Ref<> item;
      Expect writeable, onWindows;
    };
    const Case kCases[] = {
        {Item(temp_ / "w"), kYes, kYes},
        {Item(temp_ / "not-yet"), kYes, kYes},
        {Item(temp_ / "ro"), kNo, kEither},
        {Item(temp_ / "locked"), kNo, kYes},
        {inLocked, kNo, kYes},
        {inGone, kYes, kYes},
    };
    for (const Case &c : kCases) {
      Expect expected = kWindowsPaths ? c.onWindows : c.writeable;
      if (expected == kEither) continue;
      EXPECT_EQ(FolderItemIsCurrentlyWriteable(c.item.object()), expected == kYes)
          << PathOf(c.item);
    }
  });
}

}  // namespace
