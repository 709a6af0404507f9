// Tar archives on the real disk: what GNU tar and bsdtar make of the
// archives we append to, how damaged archives are scanned, and that a
// failed append leaves the archive exactly as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "disk_test.h"
#include "platform/process.h"
#include "tar_archive.h"
#include "tool_test_helpers.h"

namespace {

using kilnrun::testing::Item;
using kilnrun::testing::Sh;

using corv::FolderItem;
using corv::Ref;
using corv::String;
using corv::platform::ShellQuotePath;
using corv::testing::ReadFileBytes;
using corv::testing::WriteFileBytes;
using kilnrun::TarArchive;
using kilnrun::TarFile;

Ref<TarArchive> NewArchive() {
  return corv::New<TarArchive>(&kilnrun::kTarArchiveDecl);
}

std::vector<std::string> MemberNames(const Ref<TarArchive> &archive) {
  std::vector<std::string> names;
  auto files = corv::Array<TarFile *>::Share(archive->files);
  for (int32_t i = 0; i <= files.UBound(); ++i)
    names.emplace_back(String::Share(files(i)->name).view());
  return names;
}

// Every regular file under `folder`: path, mode, modification time, digest.
std::string FileFacts(const std::string &folder) {
  return Sh("cd " + ShellQuotePath(folder) +
            " && find . -type f | LC_ALL=C sort | while read -r f; do"
            " echo \"$f $(stat -c '%a %Y' \"$f\") $(md5sum < \"$f\")\"; done");
}

class TarTest : public corv::testing::DiskTest {};

TEST_F(TarTest, GnuTarAndBsdtarReadWhatWeAppendToTheirArchive) {
  const std::string longName(110, 'n');
  const std::string longResource(90, 'r');
  std::string expect = temp_ / "expect";
  // The members GNU tar writes, then the tree and the long-named file we add
  // (a link back up the tree inside it must not be followed).
  Sh("mkdir -p " + ShellQuotePath(expect) + " && cd " + ShellQuotePath(expect) +
     " && mkdir folder tree tree/sub App.app App.app/Contents App.app/Contents/Resources"
     " && printf abc > folder/a.txt && : > zero && printf 'long name' > " +
     longName +
     " && head -c 5000 /dev/urandom > tree/sub/b.bin && printf c > tree/c.txt"
     " && printf res > App.app/Contents/Resources/" +
     longResource +
     " && ln -s .. tree/loop && chmod 644 $(find . -type f)"
     " && find . -type f -exec touch -d @1600000000 {} +"
     " && touch -d @1234567890 tree/sub/b.bin"
     " && tar --format=gnu -cf ../base.tar folder zero " +
     longName);
  std::string archivePath = temp_ / "base.tar";
  {
    auto archive = NewArchive();
    ASSERT_TRUE(archive->Open(Item(archivePath)));
    EXPECT_EQ(MemberNames(archive),
              (std::vector<std::string>{"folder/", "folder/a.txt", "zero", "././@LongLink",
                                        longName.substr(10)}));
    EXPECT_GT(archive->extraPadding, 2);  // GNU tar pads to 10 KiB records
    EXPECT_TRUE(archive->AddFile(Item(expect + "/tree"), String("")));
    EXPECT_TRUE(archive->AddFile(Item(expect + "/App.app/Contents/Resources/" + longResource),
                                 String("App.app/Contents/Resources/")));
    archive->Close();
  }
  std::string names = "App.app/Contents/Resources/" + longResource + "\nfolder/\nfolder/a.txt\n" +
                      longName + "\ntree/\ntree/c.txt\ntree/sub/\ntree/sub/b.bin\nzero\n";
  std::string archive = ShellQuotePath(archivePath);
  EXPECT_EQ(Sh("tar -tf " + archive + " | LC_ALL=C sort"), names);
  EXPECT_EQ(Sh("bsdtar -tf " + archive + " | LC_ALL=C sort"), names);
  std::string byGnu = temp_ / "gnu", byBsd = temp_ / "bsd";
  Sh("mkdir " + ShellQuotePath(byGnu) + " " + ShellQuotePath(byBsd) + " && tar -xf " + archive +
     " -C " + ShellQuotePath(byGnu) + " && bsdtar -xf " + archive + " -C " + ShellQuotePath(byBsd));
  std::string expected = FileFacts(expect);
  EXPECT_EQ(FileFacts(byGnu), expected);
  EXPECT_EQ(FileFacts(byBsd), expected);
  EXPECT_EQ(Sh("stat -c %a " + ShellQuotePath(byGnu + "/tree/sub")), "755\n");
  std::string bytes = ReadFileBytes(archivePath);
  ASSERT_EQ(bytes.size() % 512, 0u);
  EXPECT_EQ(bytes.substr(bytes.size() - 1024), std::string(1024, '\0'));
  EXPECT_NE(bytes.substr(bytes.size() - 1536, 512), std::string(512, '\0'))
      << "the archive should end in exactly two zero blocks";
}

TEST_F(TarTest, WhatAnAppendWrites) {
  const std::string name99(99, 'd');
  struct Case {
    std::string initial;            // the archive file before
    std::string folder;             // CreateFolder's path, or "" for a 3-byte file
    size_t length;                  // the archive's length after
    std::vector<std::string> read;  // the members found when it is opened again
  } kCases[] = {
      {"", "", 2048, {"abc.txt"}},
      {std::string(18 * 512, '\0'), "", 2048, {"abc.txt"}},
      {"", "a", 1536, {"a/"}},
      {"", "a/", 1536, {"a/"}},
      {"", name99, 1536, {name99 + "/"}},  // 100 bytes: no long-name record
      {"", name99 + "d", 2560, {"././@LongLink", name99.substr(1) + "d/"}},
  };
  WriteFileBytes(temp_ / "abc.txt", "abc");
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.folder);
    WriteFileBytes(temp_ / "a.tar", c.initial);
    auto archive = NewArchive();
    ASSERT_TRUE(archive->Open(Item(temp_ / "a.tar")));
    EXPECT_TRUE(c.folder.empty() ? archive->AddFile(Item(temp_ / "abc.txt"), String(""))
                                 : archive->CreateFolder(String(c.folder)));
    archive->Close();
    std::string bytes = ReadFileBytes(temp_ / "a.tar");
    ASSERT_EQ(bytes.size(), c.length);
    EXPECT_EQ(bytes.substr(bytes.size() - 1024), std::string(1024, '\0'));
    auto reopened = NewArchive();
    ASSERT_TRUE(reopened->Open(Item(temp_ / "a.tar")));
    EXPECT_EQ(MemberNames(reopened), c.read);
    EXPECT_EQ(reopened->extraPadding, 2);
    reopened->Close();
  }
  // The numeric fields fill their width with no terminator.
  std::string header = ReadFileBytes(temp_ / "a.tar").substr(0, 512);
  EXPECT_EQ(header.substr(100, 8), "00000000");  // mode of the long-name record
  WriteFileBytes(temp_ / "a.tar", "");
  auto archive = NewArchive();
  ASSERT_TRUE(archive->Open(Item(temp_ / "a.tar")));
  ASSERT_TRUE(archive->AddFile(Item(temp_ / "abc.txt"), String("")));
  auto member = corv::Array<TarFile *>::Share(archive->files)(0);
  EXPECT_EQ(archive->ReadFileData(member).view(), "abc");
  archive->Close();
  header = ReadFileBytes(temp_ / "a.tar").substr(0, 512);
  EXPECT_EQ(header.substr(100, 8), "00000644");
  EXPECT_EQ(header.substr(124, 12), "000000000003");
  EXPECT_EQ(header.substr(257, 8), std::string("ustar  \0", 8));
  EXPECT_EQ(Sh("tar -tvf " + ShellQuotePath(temp_ / "a.tar") + " | cut -c1-10"), "-rw-r--r--\n");
}

TEST_F(TarTest, NumericFieldsAsOtherToolsWriteThem) {
  struct Case {
    std::string field;  // the 8 bytes of the mode field
    int32_t mode;
  } kCases[] = {
      {"00000644", 0644},
      {std::string("0000644\0", 8), 0644},
      {std::string("644\0\0\0\0\0", 8), 0644},
      {std::string(" 644 \0  ", 8), 0644},
      {std::string(8, '\0'), 0},
      {"00000648", 064},
      {"x0000644", 0},
  };
  Sh("cd " + ShellQuotePath(temp_.path()) + " && : > f && tar -cf t.tar f");
  std::string bytes = ReadFileBytes(temp_ / "t.tar");
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.field);
    WriteFileBytes(temp_ / "m.tar", bytes.substr(0, 100) + c.field + bytes.substr(108));
    auto archive = NewArchive();
    ASSERT_TRUE(archive->Open(Item(temp_ / "m.tar")));
    auto files = corv::Array<TarFile *>::Share(archive->files);
    ASSERT_EQ(files.UBound(), 0);
    EXPECT_EQ(files(0)->mode, c.mode);
    archive->Close();
  }
}

TEST_F(TarTest, DamagedArchivesAreScannedToTheirEnd) {
  Sh("cd " + ShellQuotePath(temp_.path()) + " && printf abc > a && tar -cf t.tar a");
  const std::string good = ReadFileBytes(temp_ / "t.tar");
  auto withSize = [&](const std::string &size) {
    return good.substr(0, 124) + size + good.substr(136);
  };
  struct Case {
    const char *what;
    std::string bytes;
    int32_t members;
    int32_t extraPadding;
  } kCases[] = {
      {"header cut short", good.substr(0, 300), 0, 0},
      {"data cut short", good.substr(0, 514), 0, 0},
      {"padding cut short", good.substr(0, 515), 1, 0},
      {"a partial block at the end", good.substr(0, 1024) + std::string(200, '\0'), 1, 0},
      {"zero blocks, then a header cut short",
       good.substr(0, 1024) + std::string(1024, '\0') + good.substr(0, 300), 1, 0},
      {"size past the end", withSize("00000077777 "), 0, 0},
      {"size beyond 32 bits", withSize("777777777777"), 0, 0},
      {"garbage of octal digits", std::string(8192, '7'), 0, 0},
      {"garbage of ones", std::string(8192, '1'), 0, 0},
      {"garbage without digits", std::string(4096, 'x'), 0, 8},
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.what);
    WriteFileBytes(temp_ / "d.tar", c.bytes);
    auto archive = NewArchive();
    ASSERT_TRUE(archive->Open(Item(temp_ / "d.tar")));
    auto files = corv::Array<TarFile *>::Share(archive->files);
    EXPECT_EQ(files.UBound() + 1, c.members);
    EXPECT_EQ(archive->extraPadding, c.extraPadding);
    for (int32_t i = 0; i <= files.UBound(); ++i)
      EXPECT_LE(archive->ReadFileData(files(i)).size(), c.bytes.size());
    archive->Close();
  }
}

TEST_F(TarTest, AFailedAppendLeavesTheArchiveAsItWas) {
  Sh("cd " + ShellQuotePath(temp_.path()) +
     " && printf abc > a && tar -cf t.tar a && truncate -s 2G big2g && truncate -s 4294967299 "
     "big4g");
  const std::string before = ReadFileBytes(temp_ / "t.tar");
  struct Case {
    const char *what;
    bool (*append)(const Ref<TarArchive> &, const std::string &folder);
  } kCases[] = {
      {"2^31 bytes",
       [](const Ref<TarArchive> &a, const std::string &folder) {
         return a->AddFile(Item(folder + "/big2g"), String("x/"));
       }},
      {"2^32 + 3 bytes, which would wrap to 3",
       [](const Ref<TarArchive> &a, const std::string &folder) {
         return a->AddFile(Item(folder + "/big4g"), String("x/"));
       }},
      {"a member that is already in the archive",
       [](const Ref<TarArchive> &a, const std::string &) {
         return a->AddFileToArchive(corv::Array<TarFile *>::Share(a->files)(0));
       }},
      {"a file that has gone",
       [](const Ref<TarArchive> &a, const std::string &folder) {
         return a->AddFile(Item(folder + "/missing"), String(""));
       }},
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.what);
    auto archive = NewArchive();
    ASSERT_TRUE(archive->Open(Item(temp_ / "t.tar")));
    int32_t padding = archive->extraPadding;
    EXPECT_FALSE(c.append(archive, temp_.path()));
    EXPECT_EQ(archive->extraPadding, padding);
    EXPECT_EQ(MemberNames(archive), std::vector<std::string>{"a"});
    archive->Close();
    EXPECT_TRUE(ReadFileBytes(temp_ / "t.tar") == before) << "the archive changed";
  }
  // A full disk: the writes fail, whatever the stream's error code said before.
  auto full = NewArchive();
  ASSERT_TRUE(full->Open(Item("/dev/full")));
  EXPECT_FALSE(full->AddFile(Item(temp_ / "t.tar"), String("")));
  EXPECT_FALSE(full->CreateFolder(String("a")));
  EXPECT_EQ(MemberNames(full), std::vector<std::string>{});
  full->Close();
}

TEST_F(TarTest, AnArchiveThatIsNotOpen) {
  auto archive = NewArchive();
  EXPECT_FALSE(archive->Open(Item(temp_ / "missing.tar")));
  EXPECT_FALSE(archive->Open(nullptr));
  EXPECT_FALSE(archive->AddFile(Item(temp_.path()), String("")));
  EXPECT_RAISES(archive->CreateFolder(String("a")), kNilObjectExceptionDecl);
}

}  // namespace
