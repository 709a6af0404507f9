// Soak of one project's build steps, repeated in one process against a
// running corvane-ide-sim: prepare the copies, deliver the script, wait for
// the products, finish them (property list into the Mac archive), place
// them, clean up and close the window. The driver's fixed pauses are left
// out, so 300 projects take a minute or two instead of seven. Live objects,
// live strings, open handles and resident memory are printed after project
// 10 and after the last; the first three must be equal (exit status 1
// otherwise). The whole driver, pauses included, is soaked from outside by
// scripts/soak.
// Usage: build_soak [PROJECTS [keep]]   (default 300)
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app.h"
#include "core/app_state.h"
#include "corv/class_decl.h"
#include "corv/folder_item.h"
#include "corvane_ide.h"
#include "disk_test.h"
#include "platform/file_handle.h"
#include "platform/process.h"
#include "project.h"
#include "scoped_environment.h"

namespace {

using corv::Ref;
using corv::String;

void Wrapper(CORVobject app, CORVAppFunction function) {
  CORVCallFunctionWithExceptionHandling(app, function);
}
const CORVmethodDecl kAppMethods[] = {
    {"_CallFunctionWithExceptionHandling", "%%p", reinterpret_cast<void *>(&Wrapper)}};
const CORVclassDecl kSoakAppDecl = corv::ClassDecl("SoakApp", sizeof(CORVconsoleApplication))
                                       .Super(&kConsoleApplicationDecl)
                                       .Methods(kAppMethods);

struct Figures {
  int32_t objects, strings;
  int handles;
  long residentKB;
};

long ResidentKB() {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word)
    if (word == "VmRSS:") {
      long kb = 0;
      status >> kb;
      return kb;
    }
  return -1;
}

Figures Now() {
  return {RuntimeLiveObjectCount(), RuntimeLiveStringCount(), corv::platform::OpenFileHandleCount(),
          ResidentKB()};
}

std::string Quoted(const std::string &path) {
  return "'" + path + "'";
}

// One project: copies, delivery, completion, property list, placing,
// clean-up. False when the build did not complete in 10 seconds.
bool BuildOne(const corv::testing::ScopedTempFolder &folder, int index,
              std::vector<Ref<kilnrun::Project>> *kept) {
  std::string name = "P" + std::to_string(index);
  std::string dir = folder / name;
  corv::platform::RunCommandLine("mkdir " + Quoted(dir));
  corv::testing::WriteFileBytes(dir + "/" + name + ".cvvcp",
                                "Type=Desktop\nClass=App;App.cvvclass;&h1;&h0;false\nBuildFlags="
                                "&h0\nLinuxX86Name=" +
                                    name + "\nMacCarbonMachName=" + name + "Mac\n");
  corv::testing::WriteFileBytes(dir + "/App.cvvclass",
                                "#tag Class\n#tag Constant, Name = kStamp, Type = String, "
                                "Default = \\\"none\", Scope = Public\n#tag EndClass\n");
  Ref<kilnrun::Project> p = kilnrun::Project::New();
  if (kept) kept->push_back(p);
  corv::Assign(&p->file, corv::GetFolderItem(String(dir + "/" + name + ".cvvcp")));
  corv::Assign(&p->plistFile, corv::GetFolderItem(String(folder / "Info.plist")));
  p->plistMerge = true;
  p->buildLinux = true;
  p->buildMacUB = true;
  p->constants->Value("kStamp", String("soak"));
  if (!p->PrepareForBuild()) return false;
  p->BuildFinished();
  if (!kilnrun::CorvaneIDE::SendScript(p->RenderBuildScript())) return false;
  uint32_t start = corv::Ticks();
  while (!p->BuildFinished()) {
    if (corv::TicksSince(start) > 600) return false;
    RuntimeDoEvents(5);
  }
  p->PostBuild();
  p->MoveBuiltApplications(corv::GetFolderItem(String(folder / "builds")));
  p->Cleanup(false);
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  int projects = argc > 1 ? std::atoi(argv[1]) : 300;
  // "keep": every project record stays alive, as the driver's list keeps
  // them for the whole run, so what a built project holds shows.
  bool keep = argc > 2 && std::string(argv[2]) == "keep";
  std::vector<Ref<kilnrun::Project>> kept;
  if (projects < 10) projects = 10;
  corv::testing::ScopedTempFolder folder;
  corv::testing::ScopedEnvironmentVariable tmpdir("TMPDIR", folder / "tmp");
  corv::platform::RunCommandLine("mkdir " + Quoted(folder / "tmp") + " " +
                                 Quoted(folder / "builds"));
  corv::testing::WriteFileBytes(folder / "Info.plist",
                                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist "
                                "version=\"1.0\"><dict><key>Soak</key><string>yes</string>"
                                "</dict></plist>\n");
  CORVobject app = CORVInstantiateDeclaration(&kSoakAppDecl);
  RuntimeRegisterConsoleAppObject(app, false);
  RuntimeUnlockObject(app);
  corv::Process().socketsAvailable = true;
  auto started = corv::platform::RunCommandLine(Quoted(IDE_SIM_PATH) +
                                                " --foreground >/dev/null 2>&1 & echo $!");
  std::string simPid = started.output;
  while (!simPid.empty() && (simPid.back() == '\n')) simPid.pop_back();
  for (int tries = 0; tries < 100 && !kilnrun::CorvaneIDE::IsAvailable(); ++tries)
    RuntimeDoEvents(50);

  Figures early{}, late{};
  bool ok = true;
  for (int i = 1; i <= projects && ok; ++i) {
    ok = BuildOne(folder, i, keep ? &kept : nullptr);
    if (i == 10) early = Now();
  }
  late = Now();
  corv::platform::RunCommandLine("kill " + simPid);
  std::printf("projects: %d%s\n", projects, ok ? "" : " (a build did not complete)");
  std::printf("after project 10:  objects %d, strings %d, open handles %d, resident %ld kB\n",
              early.objects, early.strings, early.handles, early.residentKB);
  std::printf("after project %d: objects %d, strings %d, open handles %d, resident %ld kB\n",
              projects, late.objects, late.strings, late.handles, late.residentKB);
  if (keep) return ok ? 0 : 1;  // the kept records are expected to grow the counts
  bool same = early.objects == late.objects && early.strings == late.strings &&
              early.handles == late.handles;
  return ok && same ? 0 : 1;
}
