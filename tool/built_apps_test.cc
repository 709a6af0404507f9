// The built applications on the real disk: which products are found, how
// bundle folders and ".app.tar" archives are finished (checked with GNU tar,
// bsdtar and Python's plistlib), and how products reach the builds folder
// without losing one or following a link out of the tree.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corv/exception.h"
#include "disk_test.h"
#include "platform/process.h"
#include "plugin_entries.h"
#include "project.h"
#include "shell.h"
#include "shell_plugin_record.h"
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
using kilnrun::Project;

std::vector<std::string> Names(const corv::Array<FolderItem *> &items) {
  std::vector<std::string> names;
  for (int32_t i = 0; i <= items.UBound(); ++i) names.emplace_back(items(i)->Name().view());
  return names;
}

class BuiltAppsTest : public corv::testing::DiskTest {
 protected:
  static void SetUpTestSuite() {
    corv::testing::RegisterPluginRecords(KILNRUN_TOOL_FOLDER,
                                         {"Shell", "Internet Encodings", "EHBase649371"});
    CORVBindDeclaration(&kilnrun::kShellDecl);
    RuntimeInitExternalClasses();
    kilnrun::LookUpPluginEntries();
  }
  void SetUp() override {
    DiskTest::SetUp();
    Sh("cd " + ShellQuotePath(temp_.path()) + " && mkdir proj builds && : > proj/Tool.cvvcp");
  }

  // A project in temp_/proj building the Mac bundle Tool.app and whatever
  // `targets` names ("mac", "linux", "windows").
  Ref<Project> NewProject(const std::string &targets = "mac") {
    Ref<Project> project = Project::New();
    corv::Assign(&project->file, Item(temp_ / "proj/Tool.cvvcp"));
    project->buildMacUB = targets.find("mac") != std::string::npos;
    project->buildLinux = targets.find("linux") != std::string::npos;
    project->buildWindows = targets.find("windows") != std::string::npos;
    project->buildNames->Value("Mac", String("Tool.app"));
    project->buildNames->Value("Linux", String("Tool"));
    project->buildNames->Value("Windows", String("Tool.exe"));
    return project;
  }
  std::string In(const std::string &command) {
    return Sh("cd " + ShellQuotePath(temp_.path()) + " && " + command);
  }
};

TEST_F(BuiltAppsTest, FindsTheProductsOfTheSelectedTargetsInCandidateOrder) {
  const struct {
    const char *targets, *macName, *make, *found;
  } kCases[] = {
      {"mac", "Tool.app", "mkdir Tool.app", ""},  // a bundle folder is not a product
      {"mac", "Tool.app", "mkdir 'Tool-Mac OS (Universal)' && : > Tool.app.tar",
       "Tool-Mac OS (Universal) Tool.app.tar "},
      {"mac", "Tool.app.app", "mkdir Tool.app && : > Tool.app.tar", "Tool.app.tar "},
      {"mac linux windows", "Tool.app",
       ": > Tool.exe && : > Tool-Windows && : > Tool-Linux && : > Tool.tar && : > Tool.exe.exe",
       "Tool.tar Tool-Linux Tool.exe Tool-Windows Tool.exe.exe Tool.exe "},
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.make);
    In("find proj -mindepth 1 ! -name Tool.cvvcp -exec rm -rf {} + && cd proj && " +
       std::string(c.make));
    Ref<Project> project = NewProject(c.targets);
    project->buildNames->Value("Mac", String(c.macName));
    std::string found;
    for (const std::string &name : Names(project->GetBuiltApps())) found += name + " ";
    EXPECT_EQ(found, c.found);
  }
  Ref<Project> project = NewProject("linux");
  project->buildNames->Remove("Linux");
  EXPECT_RAISES(project->GetBuiltApps(), kKeyNotFoundExceptionDecl);
}

// Resources and Frameworks into a bundle folder and into an archive, then
// the post-build script with the products on its command line.
TEST_F(BuiltAppsTest, PostBuildFinishesBundleFoldersAndArchives) {
  In("cd proj && mkdir -p Tool/Contents/Resources/sub Resources/sub/deep Resources/.svn"
     " Frameworks/F.framework ../outside && printf old > Tool/Contents/Resources/a.txt"
     " && printf mine > Tool/Contents/Resources/keep && printf bundle > Tool/Contents/Resources/.x"
     " && printf new > Resources/a.txt && chmod 751 Resources/a.txt"
     " && touch -d @1600000000 Resources/a.txt && printf d > Resources/sub/deep/d.txt"
     " && printf s > Resources/.svn/entries && : > Resources/.DS_Store && ln -s ../../outside"
     " Resources/sub/link && printf f > Frameworks/F.framework/F"
     " && mkdir -p x/Tool.app/Contents && printf p > x/Tool.app/Contents/Info.plist"
     " && tar --format=gnu -C x -cf Tool.app.tar Tool.app && rm -r x"
     " && printf '#!/bin/sh\\necho \"$@\" > \"$(dirname \"$0\")/args\"\\n' > '../post script'"
     " && chmod +x '../post script'");
  Ref<Project> project = NewProject();
  project->copyResources = project->copyFrameworks = true;
  corv::Assign(&project->postBuildScript, Item(temp_ / "post script"));
  testing::internal::CaptureStdout();
  project->PostBuild();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Executing project postbuild script.\n");

  EXPECT_EQ(ReadFileBytes(temp_ / "args"),
            temp_ / "proj/Tool.cvvcp " + temp_ / "proj/Tool " + temp_ / "proj/Tool.app.tar\n");
  // Replaced with mode and time, merged, hidden items gone, the link passed
  // over; Frameworks made at its place in the bundle.
  EXPECT_EQ(In("cd proj/Tool && find . -mindepth 1 | LC_ALL=C sort && stat -c '%a %Y %n' "
               "Contents/Resources/a.txt && cat Contents/Resources/a.txt"),
            "./Contents\n./Contents/Frameworks\n./Contents/Frameworks/F.framework\n"
            "./Contents/Frameworks/F.framework/F\n./Contents/Resources\n"
            "./Contents/Resources/a.txt\n./Contents/Resources/keep\n./Contents/Resources/sub\n"
            "./Contents/Resources/sub/deep\n./Contents/Resources/sub/deep/d.txt\n"
            "751 1600000000 Contents/Resources/a.txt\nnew");
  const std::string kMembers =
      "Tool.app/\nTool.app/Contents/\nTool.app/Contents/Info.plist\n"
      "Tool.app/Contents/Resources/a.txt\nTool.app/Contents/Resources/sub/\n"
      "Tool.app/Contents/Resources/sub/deep/\nTool.app/Contents/Resources/sub/deep/d.txt\n"
      "Tool.app/Contents/Frameworks/F.framework/\nTool.app/Contents/Frameworks/F.framework/F\n";
  for (const char *tool : {"tar", "bsdtar"}) {
    SCOPED_TRACE(tool);
    EXPECT_EQ(In(std::string(tool) + " -tf proj/Tool.app.tar | LC_ALL=C sort"),
              In("printf '" + kMembers + "' | LC_ALL=C sort"));
  }
}

// Merged or replaced, in an archive (the new member follows the old one,
// read back after extraction by both tar tools) and in a bundle folder; a
// merge with a text that holds no list raises and leaves the archive as it
// was; the temporary file never stays.
TEST_F(BuiltAppsTest, ModifyPListFilePutsTheListInArchivesAndBundleFolders) {
  const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
  const std::string bundle =
      head +
      "<dict><key>A</key><integer>1</integer><key>B</key><integer>2</integer></dict></plist>";
  const std::string configured =
      head +
      "\r\n<dict><key>B</key><integer>3</integer><key>C</key><integer>4</integer></dict></plist>";
  const std::string plistlib =
      "python3 -c 'import plistlib,sys\nfor k, v in plistlib.load(open(sys.argv[1], \"rb\"))"
      ".items(): print(k, v)' ";
  for (const std::string &conf : {configured, std::string("no list")}) {
    for (bool merge : {true, false}) {
      SCOPED_TRACE(conf + (merge ? " merged" : " replacing"));
      WriteFileBytes(temp_ / "configured.plist", conf);
      In("rm -rf proj/Tool proj/Tool.app.tar x tar bsdtar && mkdir -p x/Tool.app/Contents "
         "proj/Tool/Contents");
      WriteFileBytes(temp_ / "x/Tool.app/Contents/Info.plist", bundle);
      WriteFileBytes(temp_ / "proj/Tool/Contents/Info.plist", bundle);
      In("tar --format=gnu -C x -cf proj/Tool.app.tar Tool.app");
      std::string before = ReadFileBytes(temp_ / "proj/Tool.app.tar");
      Ref<Project> project = NewProject();
      corv::Assign(&project->plistFile, Item(temp_ / "configured.plist"));
      project->plistMerge = merge;
      bool raises = merge && conf == "no list";
      if (raises)
        EXPECT_RAISES(project->ModifyPListFile(), kNilObjectExceptionDecl);
      else
        project->ModifyPListFile();
      EXPECT_EQ(In("ls proj | grep -c TempKR || true"), "0\n");
      if (raises) {
        EXPECT_EQ(ReadFileBytes(temp_ / "proj/Tool.app.tar"), before);
        continue;
      }
      std::vector<std::string> lists = {temp_ / "proj/Tool/Contents/Info.plist"};
      for (const std::string tool : {"tar", "bsdtar"}) {
        EXPECT_EQ(In(tool + " -tf proj/Tool.app.tar | grep -c Tool.app/Contents/Info.plist"),
                  "2\n");
        In("mkdir " + tool + " && " + tool + " -xf proj/Tool.app.tar -C " + tool);
        lists.push_back(temp_ / (tool + "/Tool.app/Contents/Info.plist"));
      }
      for (const std::string &path : lists) {
        if (merge)
          EXPECT_EQ(Sh(plistlib + ShellQuotePath(path)), "A 1\nB 3\nC 4\n");
        else
          EXPECT_EQ(ReadFileBytes(path), conf);
      }
    }
  }
}

TEST_F(BuiltAppsTest, MovingReplacesOldProductsWithoutFollowingLinks) {
  In("cd proj && mkdir -p Tool/Contents && printf new > Tool/Contents/n && printf exe > Tool.exe"
     " && cd ../builds && mkdir -p Tool/Contents/old && printf old > Tool/Contents/old/o"
     " && mkdir ../outside && printf keep > ../outside/k && ln -s ../outside Tool.exe");
  Ref<Project> project = NewProject("mac windows");
  project->MoveBuiltApplications(Item(temp_ / "proj"));  // the products are already there
  EXPECT_EQ(Names(project->GetBuiltApps()),
            (std::vector<std::string>{"Tool", "Tool.exe", "Tool", "Tool.exe"}));
  project->MoveBuiltApplications(Item(temp_ / "builds"));
  EXPECT_EQ(project->GetBuiltApps().UBound(), -1);
  EXPECT_EQ(In("cd builds && find . -mindepth 1 | LC_ALL=C sort && cat Tool.exe ../outside/k"),
            "./Tool\n./Tool.exe\n./Tool/Contents\n./Tool/Contents/n\nexekeep");
}

// Placing never loses a product: when the new one cannot be moved in, the
// old one is back under its name, the new one stays in the project folder
// and a line says so; an old one that cannot be deleted is replaced all the
// same, what is left of it under a hidden name.
TEST_F(BuiltAppsTest, PlacingAProductLosesNeitherCopy) {
  struct Case {
    const char *name, *setup, *listing, *error;
  } const cases[] = {
      {"builds folder not writable", "chmod 555 builds", "proj: new | builds: ./Tool.exe/o=old",
       "Could not move Tool.exe into the builds folder.\n"},
      {"project folder not writable", "chmod 555 proj", "proj: new | builds: ./Tool.exe/o=old",
       "Could not move Tool.exe into the builds folder.\n"},
      {"old copy cannot be deleted",
       "mkdir -p builds/Tool.exe/locked/in && chmod 555 builds/Tool.exe/locked",
       "proj: none | builds: ./.kilnrun-old-Tool.exe/locked/in ./Tool.exe=new", ""},
  };
  In("chmod -R a+rwx proj builds");
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    corv::testing::RunUnprivileged(temp_, [&] {
      In("rm -rf proj builds && mkdir proj builds && : > proj/Tool.cvvcp && printf new > "
         "proj/Tool.exe && mkdir builds/Tool.exe && printf old > builds/Tool.exe/o");
      In(c.setup);
      Ref<Project> project = NewProject("windows");
      testing::internal::CaptureStderr();
      project->MoveBuiltApplications(Item(temp_ / "builds"));
      EXPECT_EQ(testing::internal::GetCapturedStderr(), c.error);
      EXPECT_EQ(In("printf 'proj: ' && (cat proj/Tool.exe 2>/dev/null || printf none) && "
                   "printf ' | builds:' && cd builds && for f in $(find . -type f -o -type d "
                   "-empty | LC_ALL=C sort); do printf ' %s' $f; [ -f $f ] && printf =%s "
                   "\"$(cat $f)\"; done; true"),
                c.listing);
      In("chmod -R u+w proj builds");
    });
  }
}

}  // namespace
