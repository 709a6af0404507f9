// The project copy, its clean-up and the completion test on real files, the
// pre-build script through the real shell plugin, and the window-closing
// script as corvane-ide-sim receives it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app.h"
#include "core/app_state.h"
#include "corv/class_decl.h"
#include "corvane_ide.h"
#include "disk_test.h"
#include "free_ipc_path.h"
#include "lib/console.h"
#include "platform/clock.h"
#include "platform/file_info.h"
#include "platform/process.h"
#include "plugin_entries.h"
#include "project.h"
#include "scoped_environment.h"
#include "shell.h"
#include "shell_plugin_record.h"

namespace {

using corv::FolderItem;
using corv::Ref;
using corv::String;
using corv::testing::ReadFileBytes;
using corv::testing::ScopedTempFolder;
using corv::testing::WriteFileBytes;
using kilnrun::Project;

std::string gOut, gErr;
void Capture(bool toStdOut, const char *bytes, size_t length) {
  (toStdOut ? gOut : gErr).append(bytes, length);
}

std::string Text(const String &s) {
  return std::string(s.view());
}
std::string Text(CORVstring s) {
  return Text(String::Share(s));
}
std::string Entry(corv::Dictionary *dictionary, const char *key) {
  return Text(Ref<corv::Dictionary>::Share(dictionary)->Lookup(key, "(none)").StringValue());
}
std::string Join(const std::vector<std::string> &lines, const std::string &separator) {
  std::string joined;
  for (const std::string &line : lines) joined += (joined.empty() ? "" : separator) + line;
  return joined;
}

std::string MakeFolder(const std::string &path) {
  EXPECT_TRUE(corv::platform::CreateFolder(path).ok()) << path;
  return path;
}
void Sh(const std::string &command) {
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}
// 20567 ms is tick 1234 (ticks are milliseconds * 0.06).
constexpr uint32_t kTick1234 = 20567;

// Runtime temporary files go to a folder of the test's own, which must be
// empty again at the end: a copy's staging file never stays behind.
class ProjectScriptTest : public corv::testing::DiskTest {
 protected:
  static void SetUpTestSuite() {
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
  }
  void TearDown() override {
    corv::SetConsoleSinkForTesting(nullptr);
    corv::platform::ResumeSystemClockForTest();
    EXPECT_EQ(corv::GetFolderItem(String(tmp_))->Count(), 0) << "staging files left";
    DiskTest::TearDown();
  }

  Ref<Project> NewProject(const std::string &path, const std::string &content) {
    WriteFileBytes(path, content);
    Ref<Project> project = Project::New();
    corv::Assign(&project->file, corv::GetFolderItem(String(path)));
    return project;
  }
  static std::string FileOf(const Ref<Project> &project) {
    return Text(Ref<FolderItem>::Share(project->file)->AbsolutePath());
  }
  std::vector<std::string> Names(const std::string &folder) {
    std::vector<std::string> names;
    Ref<FolderItem> item = corv::GetFolderItem(String(folder));
    for (int32_t i = 1; i <= item->Count(); ++i) names.push_back(Text(item->Item(i)->Name()));
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string tmp_ = MakeFolder(temp_ / "tmp");
  corv::testing::ScopedEnvironmentVariable tmpdir_{"TMPDIR", tmp_};
};

TEST_F(ProjectScriptTest, TheCopyRewritesTargetsPropertiesAndTheApplicationClass) {
  corv::platform::FixMillisecondCounterForTest(kTick1234);
  WriteFileBytes(temp_ / "App.cvvcc", "#tag Class\n");
  const struct {
    std::string line, copied;
  } kLines[] = {
      {"Type=Console", "Type=Console"},
      {"BuildFlags=&h3290", "BuildFlags=&h90"},
      {"myprop=old", "myprop=new"},  // keys compare without case
      {"caf\xC3\xA9=old", "caf\xC3\xA9=\xC3\xA9t\xC3\xA9"},
      {"Other=1", "Other=1"},
      {"NoEqualsSign", "NoEqualsSign"},
      {"", ""},
      {"Class=Helper;App.cvvcc;&h1", "Class=Helper;App.cvvcc;&h1"},
      {"Class=App;Missing.cvvcc;&h2", "Class=App;Missing.cvvcc;&h2"},
      {"Class=App", "Class=App"},
      {"Class=App;~/App.cvvcc", "Class=App;~/App.cvvcc"},  // a path that resolves to nothing
      {"Class=app;App.cvvcc;&h3;&h0", "Class=app;TempKR1234.cvvcc;&h3;&h0"},
      {"Notes=caf\xE9 \xFF\xFE", "Notes=caf\xE9 \xFF\xFE"},  // not UTF-8: kept byte for byte
      {"\xC3\x28=1", "\xC3\x28=1"},
  };
  std::vector<std::string> lines, copied;
  for (const auto &c : kLines) lines.push_back(c.line), copied.push_back(c.copied);
  std::string original = Join(lines, "\r\n") + "\r\n";
  Ref<Project> project = NewProject(temp_ / "Tool.cvvcp", original);
  project->buildWindows = project->buildLinux = true;
  project->properties->Value("Type", "Library");
  project->properties->Value("BuildFlags", "&hFFFF");
  project->properties->Value("MyProp", "new");
  project->properties->Value("CAF\xC3\x89", "\xC3\xA9t\xC3\xA9");
  // A script whose path a shell would split and run if it were not quoted.
  std::string script = temp_ / "it's \"pre\" $(touch x).sh";
  WriteFileBytes(script, "#!/bin/sh\necho ran > \"$(dirname \"$0\")/ran\"\n");
  Sh("chmod +x " + corv::platform::ShellQuotePath(script));
  corv::Assign(&project->prebuildScript, corv::GetFolderItem(String(script)));

  ASSERT_TRUE(project->PrepareForBuild());
  EXPECT_EQ(gOut, "Executing project prebuild script.\n");
  EXPECT_EQ(ReadFileBytes(temp_ / "ran"), "ran\n");
  EXPECT_EQ(FileOf(project), temp_ / "TempKR1234.cvvcp");
  EXPECT_EQ(ReadFileBytes(temp_ / "TempKR1234.cvvcp"), Join(copied, "\n"));
  EXPECT_EQ(ReadFileBytes(temp_ / "TempKR1234.cvvcc"), "#tag Class\n");
  EXPECT_EQ(ReadFileBytes(temp_ / "Tool.cvvcp"), original);
  EXPECT_EQ(Text(project->type), "Console");
  EXPECT_EQ(Text(project->appClassName), "App");
}

TEST_F(ProjectScriptTest, ApplicationNamesPerTarget) {
  const struct {
    const char *line, *target, *name;
  } kCases[] = {
      {"WindowsName=Tool", "Windows", "Tool.exe"},
      {"WindowsName= Tool.EXE ", "Windows", "Tool.EXE"},
      {"LinuxX86Name=\tTool", "Linux", "Tool"},
      {"MacCarbonMachName=Tool", "Mac", "Tool.app"},
      {"WindowsName=T\xFF", "Windows", "T\xFF.exe"},  // not UTF-8
      {"WindowsName=Caf\xC3\xA9.EXE", "Windows", "Caf\xC3\xA9.EXE"},
  };
  for (const auto &c : kCases) {
    Ref<Project> project = NewProject(temp_ / "Tool.cvvcp", c.line);
    ASSERT_TRUE(project->PrepareForBuild());
    EXPECT_EQ(Entry(project->buildNames, c.target), c.name) << c.line;
    EXPECT_EQ(ReadFileBytes(FileOf(project)), c.line);
  }
}

TEST_F(ProjectScriptTest, ConfiguredConstantsGetTheirNewDefaults) {
  corv::platform::FixMillisecondCounterForTest(kTick1234);
  const struct {
    std::string line, copied;
  } kLines[] = {
      {"  #tag Constant, Name = kVersion, Type = String, Default = \\\"1.0\", Scope = Public",
       "#tag Constant, Name = kVersion, Type = String, Default = \\\"2.5\", Scope = Public"},
      {"#tag Constant, Name = kTwice, Default = \\\"a\", Default = \\\"a\"",
       "#tag Constant, Name = kTwice, Default = \\\"say \"hi\"\", Default = \\\"say \"hi\"\""},
      {"\t#tag Constant, Name = kOther, Default = \\\"x\"  ",
       "#tag Constant, Name = kOther, Default = \\\"x\""},
      {"#tag Note, Name = kVersion, Default = \\\"1.0\"",
       "#tag Note, Name = kVersion, Default = \\\"1.0\""},
      {"    Dim x As Integer", "Dim x As Integer"},
  };
  std::string classText, copied;
  for (const auto &c : kLines) classText += c.line + "\r\n", copied += c.copied + "\n";
  WriteFileBytes(MakeFolder(temp_ / "src") + "/App.cvvcc", classText);
  Ref<Project> project = NewProject(temp_ / "Tool.cvvcp", "Class=App;src/App.cvvcc");
  project->constants->Value("KVERSION", "2.5");
  project->constants->Value("kTwice", "say \"hi\"");  // inserted as it is
  ASSERT_TRUE(project->PrepareForBuild());
  EXPECT_EQ(ReadFileBytes(temp_ / "TempKR1234.cvvcc"), copied);
  EXPECT_EQ(ReadFileBytes(temp_ / "TempKR1234.cvvcp"), "Class=App;TempKR1234.cvvcc");
}

TEST_F(ProjectScriptTest, OnlyCvvcpProjectsAreCopied) {
  const struct {
    const char *name;
    bool accepted;
  } kCases[] = {{"Tool.CVVCP", true}, {"Tool.xojo_project", false}, {"cvvcp", false}};
  for (const auto &c : kCases) {
    ScopedTempFolder folder;
    gErr.clear();
    Ref<Project> project = NewProject(folder / c.name, "Type=Console");
    EXPECT_EQ(project->PrepareForBuild(), c.accepted) << c.name;
    EXPECT_EQ(gErr, c.accepted ? "" : "Unsupported project format: requires .cvvcp file.\n");
    EXPECT_EQ(Names(folder.path()).size(), c.accepted ? 2u : 1u) << c.name;
  }
}

TEST_F(ProjectScriptTest, TheCopyTakesTheFirstFreeNameAndNeverWritesThroughALink) {
  const struct {
    uint32_t milliseconds;
    std::vector<std::string> present;
    const char *copy;
  } kCases[] = {
      {kTick1234, {}, "TempKR1234.cvvcp"},
      {kTick1234, {"TempKR1234.cvvcp"}, "TempKR12342.cvvcp"},
      {kTick1234, {"TempKR1234.cvvcp", "TempKR12342.cvvcp"}, "TempKR12343.cvvcp"},
      {kTick1234, {"link"}, "TempKR12342.cvvcp"},  // TempKR1234.cvvcp links to a missing file
      {100, {}, "TempKR6.cvvcp"},                  // fewer than four digits
      {4000000000u, {}, "TempKR0000.cvvcp"},       // 240000000 ticks
  };
  for (const auto &c : kCases) {
    ScopedTempFolder folder;
    for (const std::string &name : c.present) {
      if (name == "link")
        ASSERT_TRUE(
            corv::platform::CreateSymbolicLink(folder / "target", folder / "TempKR1234.cvvcp")
                .ok());
      else
        WriteFileBytes(folder / name, "keep");
    }
    corv::platform::FixMillisecondCounterForTest(c.milliseconds);
    Ref<Project> project = NewProject(folder / "Tool.cvvcp", "Type=Console");
    ASSERT_TRUE(project->PrepareForBuild());
    EXPECT_EQ(FileOf(project), folder / c.copy);
    EXPECT_EQ(ReadFileBytes(folder / c.copy), "Type=Console");
    for (const std::string &name : c.present) {
      if (name == "link") continue;
      EXPECT_EQ(ReadFileBytes(folder / name), "keep");
    }
    EXPECT_FALSE(corv::platform::ReadFileInfo(folder / "target").value.exists) << c.copy;
  }
}

TEST_F(ProjectScriptTest, AProjectThatCannotBeReadOrCopiedRaises) {
  Ref<Project> missing = NewProject(temp_ / "Tool.cvvcp", "");
  corv::Assign(&missing->file, corv::GetFolderItem(String(temp_ / "Missing.cvvcp")));
  EXPECT_RAISES(missing->PrepareForBuild(), kNilObjectExceptionDecl);
  corv::testing::RunUnprivileged(temp_, [&] {
    std::string locked = MakeFolder(temp_ / "locked");
    corv::testing::ScopedEnvironmentVariable tmpdir("TMPDIR", MakeFolder(temp_ / "own-tmp"));
    Ref<Project> project = NewProject(locked + "/Tool.cvvcp", "Type=Console");
    ASSERT_TRUE(corv::platform::SetWritable(locked, false).ok());
    EXPECT_RAISES(project->PrepareForBuild(), kNilObjectExceptionDecl);
    EXPECT_EQ(Names(locked), std::vector<std::string>{"Tool.cvvcp"});
    EXPECT_TRUE(Names(temp_ / "own-tmp").empty()) << "the staging file stayed";
  });
}

TEST_F(ProjectScriptTest, TheScriptOpensTheCopyAndBuildsIt) {
  for (const char *name : {"TempKR0042.cvvcp", "a \"b\" c.cvvcp"}) {
    Ref<Project> project = NewProject(temp_ / name, "");
    EXPECT_EQ(Text(project->RenderBuildScript()),
              "OpenFile \"" + (temp_ / name) + "\"\nDoCommand( \"BuildApp\" )");
  }
}

TEST_F(ProjectScriptTest, CleanupDeletesEveryTempKRItemWhateverItsCase) {
  std::string folder = MakeFolder(temp_ / "p");
  for (const char *name : {"TempKR1234.cvvcp", "tempkr-notes.txt", "TEMPKR", "Tool.cvvcp",
                           "notes.txt", "TempK.txt", "xTempKR.txt"})
    WriteFileBytes(folder + "/" + name, "");
  MakeFolder(folder + "/TempKRfolder");
  Ref<Project> project = Project::New();
  corv::Assign(&project->file, corv::GetFolderItem(String(folder + "/TempKR1234.cvvcp")));
  project->Cleanup(true);
  EXPECT_EQ(Names(folder),
            (std::vector<std::string>{"TempK.txt", "Tool.cvvcp", "notes.txt", "xTempKR.txt"}));
}

// Each step sets the built applications' modification times (seconds since
// 1970; -1: absent) and polls once.
TEST_F(ProjectScriptTest, BuildFinishedCountsEachNewerApplication) {
  struct Step {
    int64_t windows, linux;
    bool finished;
  };
  const struct {
    const char *what;
    bool windows, linux;
    std::vector<Step> steps;
  } kCases[] = {
      {"no target", false, false, {{-1, -1, false}, {-1, -1, true}}},
      {"both appear one by one",
       true,
       true,
       {{-1, -1, false}, {-1, 1000, false}, {-1, 1000, false}, {2000, 1000, true}}},
      {"rewritten within the same time", true, false, {{500, -1, false}, {500, -1, false}}},
      {"one application written across polls counts each time",
       true,
       true,
       {{-1, 900, false}, {-1, 901, false}, {-1, 902, true}}},
  };
  for (const auto &c : kCases) {
    ScopedTempFolder folder;
    Ref<Project> project = NewProject(folder / "a b.cvvcp", "");
    project->buildWindows = c.windows;
    project->buildLinux = c.linux;
    project->buildNames->Value("Windows", "Tool.exe");
    project->buildNames->Value("Linux", "Tool");
    int step = 0;
    for (const Step &s : c.steps) {
      for (auto [name, seconds] : {std::pair{"Tool.exe", s.windows}, {"Tool", s.linux}}) {
        if (seconds < 0) continue;
        WriteFileBytes(folder / name, "built " + std::to_string(step));
        ASSERT_TRUE(corv::platform::SetModificationTime(folder / name, {seconds, 0}).ok());
      }
      EXPECT_EQ(project->BuildFinished(), s.finished) << c.what << ", step " << step++;
    }
  }
}

void Wrapper(CORVobject app, CORVAppFunction function) {
  CORVCallFunctionWithExceptionHandling(app, function);
}
const CORVmethodDecl kAppMethods[] = {
    {"_CallFunctionWithExceptionHandling", "%%p", reinterpret_cast<void *>(&Wrapper)}};
const CORVclassDecl kTestAppDecl = corv::ClassDecl("ProjectTestApp", sizeof(CORVconsoleApplication))
                                       .Super(&kConsoleApplicationDecl)
                                       .Methods(kAppMethods);

// An application object to wait in, and corvane-ide-sim listening at a port
// of the test's own (TMPDIR decides the IDE's socket path) with a log of
// every script it receives.
class ProjectIDETest : public ProjectScriptTest {
 protected:
  void SetUp() override {
    ProjectScriptTest::SetUp();
    CORVobject app = CORVInstantiateDeclaration(&kTestAppDecl);
    RuntimeRegisterConsoleAppObject(app, false);
    RuntimeUnlockObject(app);
    corv::Process().socketsAvailable = true;
    auto started =
        corv::platform::RunCommandLine(std::string("'") + IDE_SIM_PATH + "' --foreground --log '" +
                                       log_ + "' >/dev/null 2>&1 & echo $!");
    simPid_ = std::stoi(started.output);
  }
  void TearDown() override {
    corv::platform::RunCommandLine("kill " + std::to_string(simPid_));
    EXPECT_EQ(corv::GetFolderItem(String(socketFolder_))->Count(), 0) << "staging files left";
    corv::ResetAppStateForTest();
    ProjectScriptTest::TearDown();
  }
  static std::string SocketFolder(const std::string &prefix) {
    std::string socket = corv::testing::FreeIPCPath(prefix, "/CorvaneIDE");
    return MakeFolder(socket.substr(0, socket.rfind('/')));
  }

  std::string socketFolder_ = SocketFolder(temp_ / "s");
  corv::testing::ScopedEnvironmentVariable socketTmpdir_{"TMPDIR", socketFolder_};
  std::string log_ = temp_ / "sim.log";
  int simPid_ = 0;
};

// A whole round: the copy is built, seen finished, cleaned up, and its
// window closed by name.
TEST_F(ProjectIDETest, ABuildEndsWithItsCopyGoneAndItsWindowClosed) {
  std::string folder = MakeFolder(temp_ / "p");
  Ref<Project> project = NewProject(folder + "/Tool.cvvcp", "LinuxX86Name=Tool\nBuildFlags=&h0");
  project->buildLinux = true;
  ASSERT_TRUE(project->PrepareForBuild());
  std::string copy = Text(Ref<FolderItem>::Share(project->file)->Name());
  bool available = false;
  for (uint32_t start = corv::platform::MillisecondCounter();
       !available && corv::platform::MillisecondCounter() - start < 5000;)
    available = kilnrun::CorvaneIDE::IsAvailable();
  ASSERT_TRUE(available);
  // The first poll takes its snapshot before the IDE can have built.
  EXPECT_FALSE(project->BuildFinished());
  ASSERT_TRUE(kilnrun::CorvaneIDE::SendScript(project->RenderBuildScript()));
  bool finished = false;
  for (int i = 0; i < 100 && !finished; ++i) {
    RuntimeDoEvents(100);
    finished = project->BuildFinished();
  }
  EXPECT_TRUE(finished);
  project->Cleanup(false);
  for (const std::string &name : Names(folder)) EXPECT_NE(name.rfind("TempKR", 0), 0u) << name;
  std::string log = ReadFileBytes(log_);
  EXPECT_NE(log.find("names.append \\\"" + copy + "\\\""), std::string::npos) << log;
}

}  // namespace
