// The tool's App class and its start sequence.
#include "app.h"

#include <string>

#include "argument_processor.h"
#include "build_config.h"
#include "corv/application.h"
#include "corv/class_decl.h"
#include "corv/console.h"
#include "corv/exception.h"
#include "corvane_ide.h"
#include "deadline.h"
#include "platform/stop_signals.h"
#include "plugin_entries.h"
#include "project.h"
#include "shell.h"
#include "source_control.h"

namespace kilnrun {
namespace {

const char kMakerLine[] = "Made by the Kilnrun maintainers";
const char kMakerAddress[] = "https://kilnrun.example.org/";
const char kDonationAddress[] = "https://kilnrun.example.org/donate";
const char kRule[] = "====================";

using corv::FolderItem;
using corv::Ref;
using corv::String;

void AppFinalizer(CORVobject obj) {
  auto *self = reinterpret_cast<App *>(obj);
  RuntimeUnlockObject(self->launchShell);
  self->launchShell = nullptr;
}

corv::String Version(CORVobject self, int32_t which) {
  return corv::Str(AppIntegerVersionStuffGetter(self, which));
}

void PrintVersion(CORVobject self) {
  corv::Print(corv::String("Kilnrun v.") + Version(self, kAppMajorVersion) + "." +
              Version(self, kAppMinorVersion) + "." + Version(self, kAppBugVersion) + " (" +
              Version(self, kAppNonReleaseVersion) + ")");
  corv::Print(kMakerLine);
  corv::Print(kMakerAddress);
}

// A stop signal (Ctrl-C, a closed terminal, a scheduler's time limit)
// arrived: the run ends at its next wait.
bool StopRequested() {
  return corv::platform::StopSignal() != 0;
}

// Ends a stopped run as an escaped exception would, every project's
// temporary files gone, the IDE left running with its windows; the exit
// status tells the signal, as a shell reports a process it ended.
int32_t EndStoppedRun() {
  corv::StdErr()->WriteLine("Build interrupted.");
  for (int32_t i = 0; i <= BuildConfig::Projects.UBound(); ++i)
    BuildConfig::Projects(i)->Cleanup(true);
  return 128 + corv::platform::StopSignal();
}

// Every script, global or of a project, runs the same way: a new Shell
// runs the script file by its shell path; nothing is read back.
void RunScript(const Ref<FolderItem> &script, const char *announcement) {
  if (!script) return;
  corv::Print(announcement);
  Shell().Execute(script->ShellPath());
}

void ShowDonationMessage() {
  if (BuildConfig::Donated) return;
  String rule = String(std::string(67, '-').c_str());
  corv::Print(rule);
  corv::Print("Please consider donating if you have found Kilnrun to be useful:");
  corv::Print(String("  <") + kDonationAddress + ">");
  corv::Print(rule);
}

// Starts the IDE, detached so that it outlives the shell, and keeps the
// shell for the rest of the run.
void LaunchApp(CORVobject self, const Ref<FolderItem> &ide) {
  auto *app = reinterpret_cast<App *>(self);
  Shell shell;
  RuntimeLockObject(shell.object());
  RuntimeUnlockObject(app->launchShell);
  app->launchShell = shell.object();
  shell.Execute(ide->ShellPath() + " >/dev/null 2>&1 &");
}

// Makes sure the IDE answers, launching it when it does not. False, with
// the error line, when it cannot be found or never answers in time.
bool StartIDE(CORVobject self) {
  if (CorvaneIDE::IsAvailable()) return true;
  int32_t minutes = BuildConfig::CorvaneLaunchTimeout;
  Deadline deadline(int64_t(minutes == 0 ? 3 : minutes) * 3600);
  const Ref<FolderItem> &ide = BuildConfig::CorvanePath;
  if (!ide || !ide->Exists()) {
    corv::StdErr()->WriteLine("Error: Could not locate Corvane.");
    return false;
  }
  LaunchApp(self, ide);
  while (!CorvaneIDE::IsAvailable()) {
    if (StopRequested()) return false;
    if (deadline.Passed()) {
      corv::StdErr()->WriteLine("Error: Could not communicate with Corvane.");
      return false;
    }
    RuntimeDoEvents(1000);
  }
  return true;
}

void BuildProject(const Ref<Project> &p) {
  String announcement = String("Building ") + p->file->Name();
  if (!String::Share(p->revision).empty())
    announcement = announcement + " (r" + String::Share(p->revision) + ")";
  corv::Print(announcement);
  if (!p->PrepareForBuild() || StopRequested()) return;
  // The completion test's first look, before the IDE is asked: an IDE that
  // builds faster than the first poll would otherwise have its products
  // taken for the old ones, and the build would end in a timeout.
  p->BuildFinished();
  if (!CorvaneIDE::SendScript(p->RenderBuildScript())) {
    if (StopRequested()) return;  // the stopped run cleans up
    corv::StdErr()->WriteLine("Build failed.  Communication error with Corvane.");
    p->Cleanup(false);
    return;
  }
  Deadline deadline(int64_t(p->timeout == 0 ? 300 : p->timeout) * 60);
  bool failed = false;
  while (!p->BuildFinished()) {
    if (StopRequested()) return;
    if (deadline.Passed()) {
      failed = true;
      corv::StdErr()->WriteLine("Build failed: timeout reached.");
      break;
    }
    RuntimeDoEvents(100);
  }
  if (!failed) {
    RuntimeDoEvents(1000);  // let the IDE let go of what it wrote
    if (StopRequested()) return;
    p->PostBuild();
    const Ref<FolderItem> &builds = BuildConfig::BuildsDirectory;
    if (builds && builds->Exists()) p->MoveBuiltApplications(builds);
  }
  p->Cleanup(false);
}

// The first of the exception classes the report names that `error` is.
String ExceptionTypeName(CORVobject error) {
  struct Named {
    const char *name;
    const CORVclassDecl *decl;  // nil: a plugin's class, found by its name
  };
  static const Named kTypes[] = {
      {"NilObjectException", &kNilObjectExceptionDecl},
      {"OutOfBoundsException", &kOutOfBoundsExceptionDecl},
      {"KeyNotFoundException", &kKeyNotFoundExceptionDecl},
      {"IllegalCastException", &kIllegalCastExceptionDecl},
      {"StackOverflowException", &kStackOverflowExceptionDecl},
      {"TypeMismatchException", &kTypeMismatchExceptionDecl},
      {"UnsupportedFormatException", &kUnsupportedFormatExceptionDecl},
      {"ShellNotRunningException", nullptr},
  };
  for (const Named &type : kTypes) {
    CORVclass *cls =
        type.decl ? CORVBindDeclaration(type.decl) : RuntimeLookupClass(String(type.name).get());
    if (cls && RuntimeObjectIsa(error, cls)) return type.name;
  }
  return "Unknown";
}

const CORVhandlerDecl kAppHandlers[] = {
    {"Run", reinterpret_cast<void *>(&AppEventRun)},
    {"UnhandledException", reinterpret_cast<void *>(&AppEventUnhandledException)}};

}  // namespace

const CORVclassDecl kAppDecl = corv::ClassDecl("App", sizeof(App))
                                   .Super(&kConsoleApplicationDecl)
                                   .Finalizer(AppFinalizer)
                                   .Handlers(kAppHandlers);

int32_t AppEventRun(CORVobject self, CORVobject args) {
  corv::platform::CatchStopSignals();
  auto arguments = corv::New<ArgumentProcessor>(&kArgumentProcessorDecl);
  arguments->Process(args);
  if (arguments->Find("version")) {
    PrintVersion(self);
    return 0;
  }
  if (arguments->Count() > 0) {
    // A config option wins; otherwise the first argument, whatever it is.
    Ref<ArgumentValue> config = arguments->Find("config");
    if (!config) config = corv::Array<ArgumentValue *>::Share(arguments->arguments)(0);
    BuildConfig::ConfigFile = config->FolderItemValue();
  }

  SourceControl::InitTools();
  bool ok = BuildConfig::ReadConfiguration();
  ShowDonationMessage();
  if (!ok) {
    corv::StdErr()->WriteLine("Build configuration could not be read.");
    return 1;
  }

  // A stop signal is looked at after every step that may take a while.
  RunScript(BuildConfig::PreBuildScript, "Executing prebuild script.");
  if (BuildConfig::SVNUpdate && !StopRequested())
    SourceControl::UpdateWorkingCopy(BuildConfig::RepositoryRoot);
  if (StopRequested()) return EndStoppedRun();
  if (!StartIDE(self)) return StopRequested() ? EndStoppedRun() : 1;
  RuntimeDoEvents(250);

  // The list is read again before every pass: a project may be added while
  // the run goes on.
  for (int32_t i = 0; i <= BuildConfig::Projects.UBound(); ++i) {
    if (StopRequested()) return EndStoppedRun();
    BuildProject(BuildConfig::Projects(i));
  }
  if (StopRequested()) return EndStoppedRun();

  RunScript(BuildConfig::PostBuildScript, "Executing postbuild script.");
  // A script cut short by the signal (a Ctrl-C reaches it too) is no
  // complete build.
  if (StopRequested()) return EndStoppedRun();
  corv::Print("Build complete");
  return 0;
}

void AppEventUnhandledException(CORVobject, CORVobject error) {
  String type = ExceptionTypeName(error);
  corv::DebugLog(kRule);
  corv::DebugLog(String("Kilnrun exception: ") + type);
  if (CORVobject stack = RuntimeExceptionStack(error)) {
    corv::StringArray lines = corv::StringArray::Adopt(stack);
    for (int32_t i = 0; i <= lines.UBound(); ++i) corv::DebugLog(lines(i));
  }
  corv::StdErr()->WriteLine(String("Kilnrun has encountered an error: ") + type);
  corv::StdErr()->WriteLine("Terminating build process and cleaning up.");
  corv::DebugLog(kRule);
  // Temporary files go; the IDE's windows stay, as there may be no IDE.
  for (int32_t i = 0; i <= BuildConfig::Projects.UBound(); ++i)
    BuildConfig::Projects(i)->Cleanup(true);
}

void AppCloseIDEWindows(CORVobject, const corv::StringArray &names, bool closeLastWindow) {
  corv::StringArray lines = corv::NewArray<corv::String>();
  lines.Append("dim i as integer");
  lines.Append("dim name, names(-1) as string");
  if (!closeLastWindow) lines.Append("if windowCount < 2 then return");
  // The names go in as they are: the IDE's own script has no escapes.
  for (int32_t i = 0; i <= names.UBound(); ++i)
    lines.Append(corv::String("names.append \"") + names(i) + "\"");
  lines.Append("for each name in names");
  lines.Append("for i = 0 to windowCount - 1");
  lines.Append("if instr( windowTitle(i), \"[\"+ name +\"]\" ) > 0 then");
  lines.Append("SelectWindow windowTitle(i)");
  lines.Append("DoCommand( \"CloseWindow\" )");
  lines.Append("exit");
  lines.Append("end");
  lines.Append("next");
  lines.Append("next");
  CorvaneIDE::SendScript(corv::Join(lines, corv::Chr(10)));
  RuntimeDoEvents(250);
}

void KilnrunImageEntry() {
  RuntimeInit();
  // The image's own classes first, so that its Shell class is the one its
  // code creates, whatever the plugins register under that name.
  CORVBindDeclaration(&kAppDecl);
  CORVBindDeclaration(&kShellDecl);
  CORVBindDeclaration(&kArgumentProcessorDecl);
  CORVBindDeclaration(&kArgumentValueDecl);
  CORVBindDeclaration(&kProjectDecl);
  RuntimeInitExternalClasses();
  LookUpPluginEntries();
  corv::RunConsoleApplication(&kAppDecl);
}

}  // namespace kilnrun
