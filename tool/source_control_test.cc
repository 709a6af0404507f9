// Revision stamping against a real Subversion repository made for the test,
// and against stand-in tools that show exactly what they were given.
#include "source_control.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/plugin_host.h"
#include "disk_test.h"
#include "platform/path.h"
#include "plugin_entries.h"
#include "shell.h"
#include "shell_plugin_record.h"

namespace {

namespace SourceControl = kilnrun::SourceControl;
using corv::FolderItem;
using corv::Ref;
using corv::String;
using corv::platform::ShellQuotePath;

// Folder names that a shell would split or run if they were not quoted.
const char kHostileName[] = "it's \"x\" $(touch PWNED) `touch PWNED`; y";
const char kWideName[] = "Pr\u00fcfung";

std::string Text(const String &s) {
  return std::string(s.view());
}

Ref<FolderItem> Item(const std::string &path) {
  return corv::GetFolderItem(String(path));
}

void Sh(const std::string &command) {
  std::string inUTF8 = "export LC_ALL=C.UTF-8; " + command;
  ASSERT_EQ(std::system(inUTF8.c_str()), 0) << command;
}

void WriteScript(const std::string &path, const std::string &body) {
  corv::testing::WriteFileBytes(path, "#!/bin/sh\n" + body + "\n");
  Sh("chmod +x " + ShellQuotePath(path));
}

std::string Svn(const std::string &arguments) {
  return "svn -q --non-interactive " + arguments;
}

class SourceControlTest : public corv::testing::DiskTest {
 protected:
  static void SetUpTestSuite() {
    corv::testing::RegisterShellPluginRecord(KILNRUN_TOOL_FOLDER);
    CORVBindDeclaration(&kilnrun::kShellDecl);
    RuntimeInitExternalClasses();
    kilnrun::LookUpPluginEntries();
    // The tool runs in plain "C", as under a scheduler; svn still gets the
    // UTF-8 it needs for paths beyond ASCII.
    setenv("LC_ALL", "C", 1);
  }
  void SetUp() override {
    DiskTest::SetUp();
    ASSERT_TRUE(corv::platform::CreateFolder(temp_ / "tmp").ok());
    const char *old = std::getenv("TMPDIR");
    oldTmpDir_ = old ? old : "";
    setenv("TMPDIR", (temp_ / "tmp").c_str(), 1);
  }
  void TearDown() override {
    SourceControl::ForgetTools();
    if (oldTmpDir_.empty())
      unsetenv("TMPDIR");
    else
      setenv("TMPDIR", oldTmpDir_.c_str(), 1);
    DiskTest::TearDown();
  }

  // Entries left in the temporary folder.
  int32_t TemporaryItems() { return Item(temp_ / "tmp")->Count(); }

  // A repository with a working copy "wc" at revision 2 whose folder "a"
  // stays at revision 1.
  void MakeWorkingCopy() {
    std::string repo = temp_ / "repo";
    std::string wc = temp_ / "wc";
    Sh("svnadmin create " + ShellQuotePath(repo));
    Sh(Svn("checkout " + ShellQuotePath("file://" + repo) + " " + ShellQuotePath(wc)));
    Sh("mkdir " + ShellQuotePath(wc + "/a") + " && echo one > " + ShellQuotePath(wc + "/a/f"));
    Sh(Svn("add " + ShellQuotePath(wc + "/a")));
    Sh(Svn("commit -m one " + ShellQuotePath(wc)));
    for (const char *name : {kHostileName, kWideName}) {
      Sh("mkdir " + ShellQuotePath(wc + "/" + name));
      Sh(Svn("add " + ShellQuotePath(wc + "/" + name)));
    }
    Sh(Svn("commit -m two " + ShellQuotePath(wc)));
    Sh(Svn("update " + ShellQuotePath(wc)));
    Sh(Svn("update -r 1 " + ShellQuotePath(wc + "/a")));
  }

  std::string oldTmpDir_;
};

TEST_F(SourceControlTest, RevisionsOfARealWorkingCopy) {
  MakeWorkingCopy();
  Sh("mkdir " + ShellQuotePath(temp_ / "wc/unversioned") + " " + ShellQuotePath(temp_ / "outside"));
  SourceControl::InitTools();
  ASSERT_TRUE(SourceControl::SvnBinDirectory()) << "svn is not installed (scripts/setup-deps)";
  const struct {
    std::string folder;
    const char *revision;
  } kCases[] = {
      {"wc", "2"},
      {"wc/a", "1"},  // updated to an older revision than its parent
      {std::string("wc/") + kHostileName, "2"},
      {std::string("wc/") + kWideName, "2"},
      {"wc/unversioned", ""},
      {"outside", ""},
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.folder);
    EXPECT_EQ(Text(SourceControl::GetRevision(Item(temp_ / c.folder))), c.revision);
  }
  Ref<FolderItem> cwd = corv::GetSpecialFolder(0, 1047);
  EXPECT_FALSE(cwd->Child("PWNED")->Exists()) << "a folder name ran a command";
}

TEST_F(SourceControlTest, UpdateWorkingCopyBringsInACommittedChange) {
  MakeWorkingCopy();
  std::string other = temp_ / "other 'copy' $(x)";
  Sh(Svn("checkout " + ShellQuotePath("file://" + temp_ / "repo") + " " + ShellQuotePath(other)));
  Sh("echo changed > " + ShellQuotePath(temp_ / "wc/a/f"));
  Sh(Svn("commit -m three " + ShellQuotePath(temp_ / "wc")));
  SourceControl::InitTools();
  Ref<FolderItem> folder = Item(other);
  EXPECT_EQ(Text(SourceControl::GetRevision(folder)), "2");
  SourceControl::UpdateWorkingCopy(folder);
  EXPECT_EQ(Text(SourceControl::GetRevision(folder)), "3");
  EXPECT_EQ(corv::testing::ReadFileBytes(other + "/a/f"), "changed\n");
}

// The bin folder of the stand-in tools: a name that must reach them as it is.
std::string BinFolder(const corv::testing::ScopedTempFolder &temp) {
  return temp / "bin 'dir' $(x);";
}

// A stand-in "svn" prints the file "output" beside it and logs its
// arguments, one a line, to "args".
TEST_F(SourceControlTest, TheRevisionLineOfWhateverSvnPrints) {
  std::string bin = BinFolder(temp_);
  ASSERT_TRUE(corv::platform::CreateFolder(bin).ok());
  WriteScript(bin + "/svn",
              "d=$(dirname \"$0\"); printf '%s\\n' \"$LC_ALL|$LC_MESSAGES\" \"$@\" >\"$d/args\"; "
              "cat \"$d/output\"");
  SourceControl::SetBinDirectory(Item(bin + "/svn"));  // the tool itself names its folder
  ASSERT_FALSE(SourceControl::UseTortoise());
  const struct {
    const char *output;
    const char *revision;
  } kCases[] = {
      {"Path: .\r\nRevision: 42\r\nNode Kind: directory\r\n", "42"},
      {"Path: .\rRevision: 43\rNode Kind: directory\r", "43"},
      {"Path: /w/Revision: 7\nURL: x\nRevision: 8\n", "8"},  // not the text inside a path
      {"Revision: 9", "9"},
      {"Revision:  10 \t\nLast Changed Rev: 3\n", "10"},
      {"Last Changed Rev: 3\n", ""},
      {"svn: E155007: not a working copy\n", ""},
      {"", ""},
  };
  std::string folder = temp_ / kHostileName;
  ASSERT_TRUE(corv::platform::CreateFolder(folder).ok());
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.output);
    corv::testing::WriteFileBytes(bin + "/output", c.output);
    EXPECT_EQ(Text(SourceControl::GetRevision(Item(folder))), c.revision);
    EXPECT_EQ(corv::testing::ReadFileBytes(bin + "/args"), "C.UTF-8|\ninfo\n" + folder + "\n");
  }
  SourceControl::UpdateWorkingCopy(Item(folder));
  EXPECT_EQ(corv::testing::ReadFileBytes(bin + "/args"), "C.UTF-8|\nupdate\n" + folder + "\n");
}

// Stand-in TortoiseSVN tools: TortoiseProc logs its arguments, SubWCRev does
// what each case says with its arguments working copy, template, output.
TEST_F(SourceControlTest, TheTortoiseFormsLeaveNoTemporaryFileBehind) {
  std::string bin = BinFolder(temp_);
  ASSERT_TRUE(corv::platform::CreateFolder(bin).ok());
  WriteScript(bin + "/TortoiseProc", "printf '%s\\n' \"$@\" >\"$(dirname \"$0\")/args\"");
  SourceControl::SetBinDirectory(Item(bin));
  ASSERT_TRUE(SourceControl::UseTortoise());
  std::string folder = temp_ / kHostileName;
  ASSERT_TRUE(corv::platform::CreateFolder(folder).ok());
  const struct {
    const char *subWCRev;  // nullptr: no SubWCRev at all
    const char *revision;
  } kCases[] = {
      {"sed 's/\\$WCREV\\$/1234/' \"$2\" >\"$3\"", "1234"},
      {"printf ' 77\\r\\n' >\"$3\"", "77"},
      {"rm -f \"$3\"", ""},  // the result cannot be opened
      {"rm -f \"$2\" \"$3\"", ""},
      {"exit 1", ""},
      {nullptr, ""},
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.subWCRev ? c.subWCRev : "no SubWCRev");
    Sh("rm -f " + ShellQuotePath(bin + "/SubWCRev") + " " + ShellQuotePath(bin + "/wc"));
    if (c.subWCRev)
      WriteScript(bin + "/SubWCRev",
                  "printf '%s\\n' \"$1\" >\"$(dirname \"$0\")/wc\"; " + std::string(c.subWCRev));
    EXPECT_EQ(Text(SourceControl::GetRevision(Item(folder))), c.revision);
    EXPECT_EQ(TemporaryItems(), 0);
    EXPECT_EQ(corv::testing::ReadFileBytes(bin + "/wc"), c.subWCRev ? folder + "\n" : "");
  }
  SourceControl::UpdateWorkingCopy(Item(folder));
  EXPECT_EQ(corv::testing::ReadFileBytes(bin + "/args"),
            "/command:update\n/path:" + folder + "\n/closeonend:1\n");
}

TEST_F(SourceControlTest, WhichToolsAFolderOffers) {
  const struct {
    const char *folder;
    const char *tools;  // files made in the folder
    const char *named;  // the item handed over, inside the folder
    const char *found;  // the folder chosen
    bool tortoise;
  } kCases[] = {
      {"f1", "svn TortoiseProc SubWCRev", "", "f1", false},
      {"f2", "TortoiseProc", "TortoiseProc", "f2", true},  // a tool's path selects its folder
      {"f3", "", "", "f3", false},                         // no tools: svn is not found when run
      {"f4", "svn", "missing/svn", "f3", false},           // nothing there: the setting stays
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.folder);
    std::string folder = temp_ / c.folder;
    Sh("mkdir " + ShellQuotePath(folder) + " && cd " + ShellQuotePath(folder) + " && for t in '' " +
       c.tools + "; do [ -z \"$t\" ] || touch \"$t\"; done");
    SourceControl::SetBinDirectory(Item(*c.named ? folder + "/" + c.named : folder));
    Ref<FolderItem> found = SourceControl::SvnBinDirectory();
    EXPECT_EQ(found ? Text(found->AbsolutePath()) : "nil", temp_ / c.found + "/");
    EXPECT_EQ(SourceControl::UseTortoise(), c.tortoise);
    EXPECT_EQ(Text(SourceControl::GetRevision(Item(folder))), "");
  }
}

TEST_F(SourceControlTest, InstalledToolsAreFoundInOrderAndAbsentOnesRunNothing) {
  for (const char *name : {"empty", "five", "six"})
    ASSERT_TRUE(corv::platform::CreateFolder(temp_ / name).ok());
  WriteScript(temp_ / "five/svn", "echo Revision: 5");
  WriteScript(temp_ / "six/svn", "echo Revision: 6");
  const struct {
    const char *candidates[2];
    const char *revision;  // "" when no tools are found
  } kCases[] = {
      {{"missing/svn", "five/svn"}, "5"},
      {{"empty/svn", "six/svn"}, "6"},
      {{"six/svn", "five/svn"}, "6"},
      {{"empty/svn", "missing/svn"}, ""},
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.candidates[0]);
    SourceControl::ForgetTools();
    corv::StringArray candidates = corv::NewArray<String>();
    for (const char *path : c.candidates) candidates.Append(String(temp_ / path));
    SourceControl::InitTools(candidates);
    EXPECT_EQ(bool(SourceControl::SvnBinDirectory()), *c.revision != 0);
    EXPECT_EQ(Text(SourceControl::GetRevision(Item(temp_ / "empty"))), c.revision);
    EXPECT_EQ(Text(SourceControl::RunSvn("x")),
              *c.revision ? "Revision: " + std::string(c.revision) + "\n" : "");
  }
  EXPECT_RAISES(SourceControl::GetRevision(nullptr), kNilObjectExceptionDecl);
  EXPECT_RAISES(SourceControl::UpdateWorkingCopy(nullptr), kNilObjectExceptionDecl);
}

}  // namespace
