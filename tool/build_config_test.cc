// Reading "kilnrun.conf" from real files: the line rules, every key in its
// scope, variables, path resolution, the search for the file and the
// failures with their messages.
#include "build_config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "corv/date.h"
#include "corv/target.h"
#include "disk_test.h"
#include "lib/console.h"
#include "platform/directory.h"
#include "platform/executable.h"
#include "platform/path.h"
#include "plugin_entries.h"
#include "shell.h"
#include "shell_plugin_record.h"
#include "source_control.h"

namespace {

namespace BuildConfig = kilnrun::BuildConfig;
using corv::FolderItem;
using corv::Ref;
using corv::String;
using kilnrun::Project;

std::string gOut, gErr;

void Capture(bool toStdOut, const char *bytes, size_t length) {
  (toStdOut ? gOut : gErr).append(bytes, length);
}

std::string Text(CORVstring s) {
  return std::string(String::Share(s).view());
}

// The item's path without a folder's trailing "/"; "nil" for none.
std::string PathOf(FolderItem *item) {
  if (!item) return "nil";
  std::string path(Ref<FolderItem>::Share(item)->AbsolutePath().view());
  if (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}
std::string PathOf(const Ref<FolderItem> &item) {
  return PathOf(item.get());
}

std::string Entry(corv::Dictionary *dictionary, const char *key) {
  auto d = Ref<corv::Dictionary>::Share(dictionary);
  return std::string(d->Lookup(key, "(none)").StringValue().view());
}

class BuildConfigTest : public corv::testing::DiskTest {
 protected:
  static void SetUpTestSuite() {
    static bool loaded = false;  // once for this fixture and the one built on it
    if (loaded) return;
    loaded = true;
    corv::testing::RegisterShellPluginRecord(KILNRUN_TOOL_FOLDER);
    CORVBindDeclaration(&kilnrun::kShellDecl);
    RuntimeInitExternalClasses();
    kilnrun::LookUpPluginEntries();
  }
  void SetUp() override {
    DiskTest::SetUp();
    gOut.clear();
    gErr.clear();
    corv::SetConsoleSinkForTesting(Capture);
    ASSERT_TRUE(corv::platform::CreateFolder(temp_ / "MyApp").ok());
    corv::testing::WriteFileBytes(temp_ / "MyApp/MyApp.cvvcp", "project");
  }
  void TearDown() override {
    BuildConfig::Clear();
    kilnrun::SourceControl::ForgetTools();
    corv::SetConsoleSinkForTesting(nullptr);
    DiskTest::TearDown();
  }

  // Writes `text` as temp/kilnrun.conf and reads it as a fresh run.
  bool Read(const std::string &text) {
    corv::testing::WriteFileBytes(temp_ / "kilnrun.conf", text);
    return BuildConfig::ReadConfigurationFrom(corv::GetFolderItem(String(temp_ / "kilnrun.conf")));
  }
  // Reads one project block holding `lines` (its file exists).
  Ref<Project> ReadProject(const std::string &lines) {
    if (!Read("<project>\nFile MyApp/MyApp.cvvcp\n" + lines + "\n</project>\n")) return nullptr;
    return BuildConfig::Projects(0);
  }
  std::string Under(const char *relative) { return temp_ / relative; }
};

TEST_F(BuildConfigTest, LineRules) {
  struct Case {
    const char *line;
    bool windows;  // whether the line set BuildWindows
  } cases[] = {
      {"BuildWindows true", true},
      {"buildwindows TRUE", true},
      {"   BuildWindows true   ", true},
      {"BuildWindows\ttrue", true},
      {"BuildWindows \t  true", true},
      {"\tBuildWindows true", true},
      {"BuildWindows yes", false},
      {"BuildWindows", false},
      {"BuildWindows true extra", false},
      {"BuildWindowsX true", false},
      {"Define w Windows\nBuild%w% true", true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.line);
    Ref<Project> project = ReadProject(c.line);
    ASSERT_TRUE(project);
    EXPECT_EQ(project->buildWindows, c.windows);
  }
  EXPECT_EQ(gErr, "");
  EXPECT_EQ(gOut, "");
}

TEST_F(BuildConfigTest, EveryKeySetsItsValue) {
  ASSERT_TRUE(corv::platform::CreateFolder(temp_ / "Tools").ok());
  ASSERT_TRUE(
      Read("CorvanePath Tools/IDE\n"
           "SVNBinDirectory " +
           temp_.path() +
           "/Tools/\n"
           "SVNBinDirectory\n"
           "CorvaneLaunchTimeout 7.8\n"
           "SVNUpdate True\n"
           "BuildsDirectory builds\n"
           "PostBuildScript after.sh\n"
           "PreBuildScript before.sh\n"
           "Donated true\n"
           "FailOnProjectError TRUE\n"
           "<project>\n"
           "  File MyApp/MyApp.cvvcp\n"
           "  AppClass MyAppClass\n"
           "  Timeout 12.9\n"
           "  BuildMacUB true\n  BuildMacIntel true\n  BuildMacPPC true\n"
           "  BuildWindows true\n  BuildLinux true\n"
           "  CopyResources true\n  CopyFrameworks true\n"
           "  MergePList Info.plist\n"
           "  ReplacePList Other.plist\n"
           "  PostBuildScript MyApp/post.sh\n"
           "  PreBuildScript MyApp/pre.sh\n"
           "  SetProperty MajorVersion  2\n"
           "  SetProperty Empty\n"
           "  SetConstant kName  two words \n"
           "  SetConstant kName last wins\n"
           "  SVNUpdate false\n"
           "<project>\n"
           "  File MyApp/MyApp.cvvcp\n"
           "  Timeout abc\n"
           "</project>\n"));
  EXPECT_EQ(PathOf(BuildConfig::CorvanePath), Under("Tools/IDE"));
  EXPECT_EQ(PathOf(kilnrun::SourceControl::SvnBinDirectory()), Under("Tools"));
  EXPECT_EQ(BuildConfig::CorvaneLaunchTimeout, 7);
  EXPECT_FALSE(BuildConfig::SVNUpdate);  // global keys work inside a block; the last wins
  EXPECT_TRUE(BuildConfig::Donated);
  EXPECT_TRUE(BuildConfig::FailOnProjectError);
  EXPECT_EQ(PathOf(BuildConfig::RepositoryRoot), temp_.path());
  EXPECT_EQ(PathOf(BuildConfig::BuildsDirectory), Under("builds"));
  EXPECT_EQ(PathOf(BuildConfig::PostBuildScript), Under("after.sh"));
  EXPECT_EQ(PathOf(BuildConfig::PreBuildScript), Under("before.sh"));
  ASSERT_EQ(BuildConfig::Projects.UBound(), 1);  // "<project>" in a block starts the next

  Ref<Project> p = BuildConfig::Projects(0);
  EXPECT_EQ(Text(p->path), "MyApp/MyApp.cvvcp");
  EXPECT_EQ(PathOf(p->file), Under("MyApp/MyApp.cvvcp"));
  EXPECT_EQ(Text(p->appClassName), "MyAppClass");
  EXPECT_EQ(p->timeout, 12);
  EXPECT_TRUE(p->buildMacUB && p->buildMacIntel && p->buildMacPPC && p->buildWindows &&
              p->buildLinux && p->copyResources && p->copyFrameworks);
  EXPECT_EQ(Text(p->plistPath), "Other.plist");
  EXPECT_TRUE(p->plistMerge);  // ReplacePList leaves the merge flag as it was
  EXPECT_EQ(PathOf(p->plistFile), Under("Other.plist"));
  EXPECT_EQ(Text(p->postBuildScriptPath), "MyApp/post.sh");
  EXPECT_EQ(PathOf(p->postBuildScript), Under("MyApp/post.sh"));
  EXPECT_EQ(Text(p->prebuildScriptPath), "MyApp/pre.sh");
  EXPECT_EQ(PathOf(p->prebuildScript), Under("MyApp/pre.sh"));
  EXPECT_EQ(Entry(p->properties, "MajorVersion"), "2");
  EXPECT_EQ(Entry(p->properties, "Empty"), "");
  EXPECT_EQ(Entry(p->constants, "kName"), "last wins");

  Ref<Project> second = BuildConfig::Projects(1);
  EXPECT_EQ(second->timeout, 0);
  EXPECT_FALSE(second->buildWindows || second->plistMerge);
  EXPECT_FALSE(second->postBuildScript || second->prebuildScript || second->plistFile);
  EXPECT_EQ(gErr, "");
}

TEST_F(BuildConfigTest, ProjectPathsFollowTheFinalRepositoryRoot) {
  ASSERT_TRUE(corv::platform::CreateFolder(temp_ / "conf").ok());
  corv::testing::WriteFileBytes(temp_ / "conf/kilnrun.conf",
                                "<project>\r\nFile MyApp:MyApp.cvvcp\r\n</project>\r\n"
                                "BuildsDirectory out\r"
                                "RepositoryRoot ..\r\n"
                                "CorvanePath ide");  // the last line has no ending
  ASSERT_TRUE(
      BuildConfig::ReadConfigurationFrom(corv::GetFolderItem(String(temp_ / "conf/kilnrun.conf"))));
  EXPECT_EQ(PathOf(BuildConfig::RepositoryRoot), temp_.path());
  EXPECT_EQ(PathOf(BuildConfig::Projects(0)->file), Under("MyApp/MyApp.cvvcp"));
  EXPECT_EQ(PathOf(BuildConfig::BuildsDirectory), Under("out"));
  // The IDE's path is relative to the configuration file, not to the root.
  EXPECT_EQ(PathOf(BuildConfig::CorvanePath), Under("conf/ide"));
}

TEST_F(BuildConfigTest, VariablesAndDefine) {
  if (!corv::TargetLinux()) GTEST_SKIP() << "the platform tags below are Linux's";
  Ref<corv::Date> now = corv::Date::New();
  const std::string today(now->SQLDate().view());
  struct Case {
    const char *lines;  // before the constant k, set to "%v%"
    const char *value;
  } cases[] = {
      {"Define v plain", "plain"},
      {"Define V upper", "upper"},  // names match in any case
      {"Define v  spaced  text ", "spaced  text"},
      {"Define v[linux] penguin", "penguin"},
      {"Define v[LINUX] penguin", "penguin"},
      {"Define v[linux penguin", "penguin"},  // no "]": the tag runs to the word's end
      {"Define v[mac] apple", "%v%"},
      {"Define v[win] window", "%v%"},
      {"Define v[windows] window", "%v%"},
      {"Define v first\nDefine v second", "second"},
      {"Define v[linux] kept\nDefine v[mac] apple", "kept"},
      {"Define w inner\nDefine v <%w%>", "<inner>"},  // expanded when read
      {"Define v <%w%>\nDefine w inner", "<inner>"},  // a later variable is expanded later
      {"Define w inner\nDefine v <%w%>\nDefine w other", "<inner>"},
      {"Define v %today.date%", today.c_str()},
      {"Define v %svnrevision%", ""},  // values see the revision: none without tools
      // A value that brings in an earlier variable's name keeps it.
      {"Define a %a%\nDefine v x%a%y", "x%a%y"},
      // Lines have no declared encoding: names match their bytes, ASCII letters in any case.
      {"Define caf\xC3\xA9 bytes\nDefine v %CAF\xC3\xA9%", "bytes"},
      {"Define \xE2\x84\xAA kelvin\nDefine v %k%", "%k%"},
  };
  // Each case also after a hundred other variables, which the reader
  // expands through the index of their names rather than one by one.
  std::string others;
  for (int i = 0; i < 100; ++i) others += "Define other" + std::to_string(i) + " x\n";
  for (const Case &c : cases) {
    for (const std::string &before : {std::string(), others}) {
      SCOPED_TRACE(c.lines);
      ASSERT_TRUE(Read(before + c.lines +
                       "\n<project>\nFile MyApp/MyApp.cvvcp\nSetConstant k %v%\n"
                       "</project>\n"));
      EXPECT_EQ(Entry(BuildConfig::Projects(0)->constants, "k"), c.value);
    }
  }
  // A thousand variables, each naming the next: a line's names are replaced
  // in the variables' order, and each replacement may bring in a later one.
  std::string many;
  for (int i = 0; i < 1000; ++i)
    many += "Define v" + std::to_string(i) + " <%v" + std::to_string(i + 1) + "%>\n";
  ASSERT_TRUE(Read(many + "Define v1000 end\n<project>\nFile MyApp/MyApp.cvvcp\n"
                          "SetConstant k %V998%%v0%%v999%\n</project>\n"));
  EXPECT_EQ(Entry(BuildConfig::Projects(0)->constants, "k"),
            "<<end>>" + std::string(1000, '<') + "end" + std::string(1000, '>') + "<end>");
  // A variable is not seen before its Define, and %svnrevision% only in values.
  ASSERT_TRUE(
      Read("<project>\nFile MyApp/MyApp.cvvcp\nAppClass %v%%svnrevision%\n"
           "Define v late\n</project>\n"));
  EXPECT_EQ(Text(BuildConfig::Projects(0)->appClassName), "%v%%svnrevision%");
  // The date variables are SQL dates and date-times.
  ASSERT_TRUE(Read("<project>\nFile MyApp/MyApp.cvvcp\nAppClass %TODAY.DATETIME%\n</project>\n"));
  std::string stamp = Text(BuildConfig::Projects(0)->appClassName);
  EXPECT_EQ(stamp.size(), 19u);
  EXPECT_EQ(stamp.substr(0, 10), today);
}

TEST_F(BuildConfigTest, ProjectKeysNeedAnOpenBlock) {
  const char *keys[] = {"AppClass",      "File",           "Timeout",      "BuildMacUB",
                        "BuildMacIntel", "BuildMacPPC",    "BuildWindows", "BuildLinux",
                        "CopyResources", "CopyFrameworks", "ReplacePList", "MergePList",
                        "SetProperty",   "SetConstant"};
  for (const char *key : keys) {
    SCOPED_TRACE(key);
    gErr.clear();
    EXPECT_FALSE(Read(std::string("<project>\nFile MyApp/MyApp.cvvcp\n</project>\n") + key +
                      " x\n<project>\n"));
    EXPECT_EQ(gErr, "Error: Exception while reading in the config file.\n");
    // What was read before the failing line stays.
    EXPECT_EQ(BuildConfig::Projects.UBound(), 0);
  }
  EXPECT_EQ(gOut, "");
}

TEST_F(BuildConfigTest, Failures) {
  std::string doubling = "Define a x\n<project>\nFile MyApp/MyApp.cvvcp\n";
  for (int i = 0; i < 40; ++i) doubling += "Define a %a%%a%\n";
  doubling += "SetConstant k %a%\n";
  std::string manyLongValues = "Define b " + std::string(4096, 'b') + "\n<project>\nFile ";
  for (int i = 0; i < 300; ++i) manyLongValues += "%B%";
  // A value of 512 KiB, then lines that each expand to it: a few read, a
  // hundred are far more work than any configuration needs.
  std::string longValue = "Define a x\n<project>\nFile MyApp/MyApp.cvvcp\n";
  for (int i = 0; i < 19; ++i) longValue += "Define a %a%%a%\n";
  std::string fewLongLines = longValue, manyLongLines = longValue;
  for (int i = 0; i < 4; ++i) fewLongLines += "SetConstant c" + std::to_string(i) + " %a%\n";
  for (int i = 0; i < 100; ++i) manyLongLines += "SetConstant c %a%\n";
  struct Case {
    const char *name;
    const char *config;
    const char *error;
  } cases[] = {
      {"missing project file", "<project>\nFile MyApp/Missing.cvvcp\n</project>\n",
       "Error: Project file could not be found: MyApp/Missing.cvvcp\n"},
      {"path as written after expansion",
       "Define d MyApp\n<project>\nFile %d%//./Missing.cvvcp\n</project>\n",
       "Error: Project file could not be found: MyApp//./Missing.cvvcp\n"},
      {"only the first missing project",
       "<project>\nFile MyApp/MyApp.cvvcp\n<project>\nFile a\n<project>\nFile b\n",
       "Error: Project file could not be found: a\n"},
      {"a block without File", "<project>\nBuildLinux true\n</project>\n",
       "Error: Project file could not be found: \n"},
      {"RepositoryRoot in the home folder", "RepositoryRoot ~/work\n",
       "Error: Exception while reading in the config file.\n"},
      {"CorvanePath in the home folder", "CorvanePath ~/IDE\n",
       "Error: Exception while reading in the config file.\n"},
      {"a repository root that names nothing",
       "RepositoryRoot /no such folder/deeper\n<project>\nFile MyApp/MyApp.cvvcp\n",
       "Error: Exception while reading in the config file.\n"},
      {"a relative SVNBinDirectory", "SVNBinDirectory tools/bin\n",
       "Error: Exception while reading in the config file.\n"},
      // Each line would double the text: 2^40 bytes at the end.
      {"variables that double each other", doubling.c_str(),
       "Error: Exception while reading in the config file.\n"},
      {"a line of many long values", manyLongValues.c_str(),
       "Error: Exception while reading in the config file.\n"},
      {"many lines of long values", manyLongLines.c_str(),
       "Error: Exception while reading in the config file.\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    gErr.clear();
    EXPECT_FALSE(Read(c.config));
    EXPECT_EQ(gErr, c.error);
  }
  gErr.clear();
  ASSERT_TRUE(Read(fewLongLines));
  EXPECT_EQ(Entry(BuildConfig::Projects(0)->constants, "c3").size(), 512u * 1024);
  // No file, or one that cannot be opened as text: false without a message.
  gErr.clear();
  EXPECT_FALSE(BuildConfig::ReadConfigurationFrom(corv::GetFolderItem(String(Under("none.conf")))));
  EXPECT_FALSE(BuildConfig::ReadConfigurationFrom(corv::GetFolderItem(String(Under("MyApp")))));
  EXPECT_EQ(gErr, "");
  EXPECT_EQ(gOut, "");
}

TEST_F(BuildConfigTest, ResolvePathSteps) {
  ASSERT_TRUE(corv::platform::CreateFolder(temp_ / "MyApp/sub").ok());
  Ref<FolderItem> base = corv::GetFolderItem(String(Under("MyApp")));
  const std::string exe = corv::platform::ExecutableFolder();
  struct Case {
    std::string path;
    std::string expected;
  } cases[] = {
      {"builds", Under("MyApp/builds")},
      {"sub/./x", Under("MyApp/sub/x")},
      {"../out", Under("out")},
      {"sub:x", Under("MyApp/sub/x")},
      {"sub//x/", Under("MyApp/sub/x")},
      {"", Under("MyApp")},
      {temp_.path() + "/MyApp/../MyApp/sub", Under("MyApp/sub")},
      {":tmp", "/tmp"},  // a leading colon is a leading separator
      // The walk stops where no folder is left; the path as a whole then
      // resolves from the executable's folder.
      {"missing/deeper", "nil"},
      {"missing", Under("MyApp/missing")},
      {"~", exe + "/~"},
      {"C:\\tools\\svn", exe + "/C:\\tools\\svn"},  // a drive path keeps its colon
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(PathOf(BuildConfig::ResolvePath(base, String(c.path))), c.expected);
  }
  EXPECT_EQ(PathOf(BuildConfig::ResolvePath(nullptr, String(Under("MyApp")))), Under("MyApp"));
  EXPECT_EQ(PathOf(BuildConfig::ResolvePath(nullptr, "/")), "/");
  EXPECT_EQ(PathOf(BuildConfig::ResolvePath(nullptr, "./")), exe);
  EXPECT_RAISES(BuildConfig::ResolvePath(nullptr, "./tools"), kNilObjectExceptionDecl);
  EXPECT_RAISES(BuildConfig::ResolvePath(nullptr, ".."), kNilObjectExceptionDecl);
  EXPECT_RAISES(BuildConfig::ResolvePath(base, "~/work"), kNilObjectExceptionDecl);
}

TEST_F(BuildConfigTest, FindConfigFileTakesTheNearestFromTheStartUp) {
  ASSERT_TRUE(corv::platform::CreateFolder(temp_ / "a").ok());
  ASSERT_TRUE(corv::platform::CreateFolder(temp_ / "a/b").ok());
  ASSERT_TRUE(corv::platform::CreateFolder(temp_ / "a/b/c").ok());
  Ref<FolderItem> start = corv::GetFolderItem(String(temp_ / "a/b/c"));
  EXPECT_EQ(PathOf(BuildConfig::FindConfigFileFrom(start)).rfind(temp_.path(), 0),
            std::string::npos);
  corv::testing::WriteFileBytes(temp_ / "a/kilnrun.conf", "");
  EXPECT_EQ(PathOf(BuildConfig::FindConfigFileFrom(start)), Under("a/kilnrun.conf"));
  corv::testing::WriteFileBytes(temp_ / "a/b/c/kilnrun.conf", "");
  EXPECT_EQ(PathOf(BuildConfig::FindConfigFileFrom(start)), Under("a/b/c/kilnrun.conf"));
  EXPECT_FALSE(BuildConfig::FindConfigFileFrom(nullptr));
}

TEST_F(BuildConfigTest, ANewProjectHasThreeDictionariesOfItsOwn) {
  Ref<Project> a = Project::New();
  Ref<Project> b = Project::New();
  ASSERT_TRUE(a->buildNames && a->properties && a->constants);
  EXPECT_NE(a->properties, a->constants);
  EXPECT_NE(a->properties, b->properties);
  EXPECT_FALSE(a->file || a->lastAppBuildTimes || a->path || a->revision);
  EXPECT_NE(CORVLookupMethodByName(a.object(), "Constructor"), nullptr);
}

// Revisions come from a real working copy: each project's folder has its
// own, and "%svnrevision%" takes the one of the project being expanded.
class BuildConfigRevisionTest : public BuildConfigTest {
 protected:
  void Sh(const std::string &command) {
    ASSERT_EQ(std::system(("svn_quiet() { svn -q --non-interactive \"$@\"; }; " + command).c_str()),
              0)
        << command;
  }
};

TEST_F(BuildConfigRevisionTest, EachProjectGetsTheRevisionOfItsFolder) {
  using corv::platform::ShellQuotePath;
  const std::string repo = ShellQuotePath("file://" + temp_ / "repo");
  const std::string wc = ShellQuotePath(temp_ / "wc");
  Sh("svnadmin create " + ShellQuotePath(temp_ / "repo") + " && svn_quiet checkout " + repo + " " +
     wc + " && cd " + wc + " && mkdir A B && echo a > A/A.cvvcp && echo b > B/B.cvvcp" +
     " && svn_quiet add A && svn_quiet commit -m one && svn_quiet add B" +
     " && svn_quiet commit -m two && svn_quiet update && svn_quiet update -r 1 A");
  kilnrun::SourceControl::InitTools();
  ASSERT_TRUE(kilnrun::SourceControl::SvnBinDirectory()) << "svn is not installed";
  ASSERT_TRUE(
      Read("RepositoryRoot wc\nDefine tag build-%svnrevision%\n"
           "<project>\nFile A/A.cvvcp\nSetConstant k %tag%\nSetProperty p r%svnrevision%\n"
           "<project>\nFile B/B.cvvcp\nSetConstant k %tag%\n"
           "<project>\nFile MyApp/../../MyApp/MyApp.cvvcp\nSetConstant k %tag%\n"));
  const char *expected[][2] = {{"1", "build-1"}, {"2", "build-2"}, {"", "build-"}};
  for (int i = 0; i < 3; ++i) {
    Ref<Project> project = BuildConfig::Projects(i);
    EXPECT_EQ(Text(project->revision), expected[i][0]);
    EXPECT_EQ(Entry(project->constants, "k"), expected[i][1]);
  }
  EXPECT_EQ(Entry(BuildConfig::Projects(0)->properties, "p"), "r1");
}

}  // namespace
