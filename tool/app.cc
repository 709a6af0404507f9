// The tool's App class and its start sequence.
#include "app.h"

#include <string>

#include "argument_processor.h"
#include "build_config.h"
#include "build_report.h"
#include "corv/application.h"
#include "corv/class_decl.h"
#include "corv/console.h"
#include "corv/date.h"
#include "corv/exception.h"
#include "corv/folder_item.h"
#include "corvane_ide.h"
#include "deadline.h"
#include "platform/stop_signals.h"
#include "plugin_entries.h"
#include "project.h"
#include "run_options.h"
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

// The help request's text. The configuration is searched for from the folder
// holding the executable, so that folder is named as this installation has it;
// so is the manual's folder when the installation has one.
void PrintHelp() {
  Ref<FolderItem> home = corv::GetFolderItem("");
  String from = home ? home->AbsolutePath() : String("the folder holding kilnrun");
  Ref<FolderItem> manuals = corv::GetFolderItem("../../share/man");
  String where =
      manuals && manuals->Exists() ? String(" (in ") + manuals->AbsolutePath() + ")" : String();
  for (const String &line : {
           String("Usage: kilnrun [[--config=]PATH]"),
           String("       kilnrun --version | --help"),
           String(
               "Builds the Corvane projects that a kilnrun.conf names, through the Corvane IDE."),
           String(""),
           String("PATH is the configuration file. Without one, kilnrun.conf is looked for in"),
           String("  ") + from,
           String("and then in each folder above it; a relative PATH is taken from that folder"),
           String("too, not from the current directory."),
           String(""),
           String("Exit status: 0 when the run reached \"Build complete\" (projects may still"),
           String("have failed: look for \"Build failed\" on standard error), and for --version"),
           String("and --help; 1 when the configuration could not be read or the IDE could not"),
           String("be found or did not answer; any other after an unexpected error."),
           String(""),
           String("Manual pages: man kilnrun, man 5 kilnrun.conf") + where + ".",
       })
    corv::Print(line);
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
  const char *line = "Build interrupted.";
  corv::StdErr()->WriteLine(line);
  for (int32_t i = 0; i <= BuildConfig::Projects.UBound(); ++i)
    BuildConfig::Projects(i)->Cleanup(true);
  return FinishRun(128 + corv::platform::StopSignal(), RunEnd::kInterrupted, line);
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

// Makes sure the IDE answers, launching it when it does not. The error
// line when it cannot be found or never answers in time, else "".
String StartIDE(CORVobject self) {
  if (CorvaneIDE::IsAvailable()) return String();
  int32_t minutes = BuildConfig::CorvaneLaunchTimeout;
  Deadline deadline(int64_t(minutes == 0 ? 3 : minutes) * 3600);
  const Ref<FolderItem> &ide = BuildConfig::CorvanePath;
  if (!ide || !ide->Exists()) return "Error: Could not locate Corvane.";
  LaunchApp(self, ide);
  while (!CorvaneIDE::IsAvailable()) {
    if (StopRequested()) return String();  // the stopped run ends it
    if (deadline.Passed()) return "Error: Could not communicate with Corvane.";
    RuntimeDoEvents(1000);
  }
  return String();
}

// A failed build: its error line, on standard error and in the run's record.
void BuildFailed(const char *type, const char *line, const String &detail) {
  corv::StdErr()->WriteLine(line);
  ThisRun().Fail(type, line, detail);
}

// Each product where it ended up: moved into the builds folder, or left
// where the IDE wrote it. A product that should have been moved and is
// still in the project folder could not be placed (its error line has been
// written): the project failed.
void RecordProducts(const corv::Array<FolderItem *> &apps, const Ref<FolderItem> &builds) {
  corv::StringArray &products = ThisRun().results.back().products;
  String unplaced;
  for (int32_t i = 0; i <= apps.UBound(); ++i) {
    Ref<FolderItem> app = apps(i);
    Ref<FolderItem> moved = builds ? builds->TrueChild(app->Name()) : nullptr;
    Ref<FolderItem> place = !app->Exists() && moved && moved->Exists() ? moved : app;
    String line = app->Name() + " -> " + place->AbsolutePath();
    if (products.IndexOf(line) < 0) products.Append(line);  // a name may be a candidate twice
    if (builds && place.get() == app.get() && unplaced.empty()) unplaced = app->Name();
  }
  if (!unplaced.empty())
    ThisRun().Fail("placement", String("Could not move ") + unplaced + " into the builds folder.",
                   String("A product stayed in the project folder."));
}

void BuildProject(int32_t index, const Ref<Project> &p) {
  String announcement = String("Building ") + p->file->Name();
  if (!String::Share(p->revision).empty())
    announcement = announcement + " (r" + String::Share(p->revision) + ")";
  corv::Print(announcement);
  ThisRun().Begin(index, p);
  if (!p->PrepareForBuild()) {  // refused only for a file it cannot build
    ThisRun().Fail("preparation", kUnsupportedProjectFormat, String());
    ThisRun().End();
    return;
  }
  if (StopRequested()) return;
  // The completion test's first look, before the IDE is asked: an IDE that
  // builds faster than the first poll would otherwise have its products
  // taken for the old ones, and the build would end in a timeout.
  p->BuildFinished();
  if (!CorvaneIDE::SendScript(p->RenderBuildScript())) {
    if (StopRequested()) return;  // the stopped run cleans up
    BuildFailed("delivery", "Build failed.  Communication error with Corvane.",
                "The IDE did not take the build script.");
    p->Cleanup(false);
    ThisRun().End();
    return;
  }
  int32_t seconds = p->timeout == 0 ? 300 : p->timeout;
  Deadline deadline(int64_t(seconds) * 60);
  bool failed = false;
  while (!p->BuildFinished()) {
    if (StopRequested()) return;
    if (deadline.Passed()) {
      failed = true;
      BuildFailed("timeout", "Build failed: timeout reached.",
                  String("No build finished within ") + corv::Str(seconds) + " seconds.");
      break;
    }
    RuntimeDoEvents(100);
  }
  if (!failed) {
    RuntimeDoEvents(1000);  // let the IDE let go of what it wrote
    if (StopRequested()) return;
    p->PostBuild();
    const Ref<FolderItem> &builds = BuildConfig::BuildsDirectory;
    corv::Array<FolderItem *> apps = p->GetBuiltApps();
    bool move = builds && builds->Exists();
    if (move) p->MoveBuiltApplications(builds);
    RecordProducts(apps, move ? builds : nullptr);
  }
  p->Cleanup(false);
  ThisRun().End();
}

// A pattern of --project that chooses no project is taken for a mistake:
// the run would build nothing and still succeed. Its error line, or "".
String UnmatchedPattern(const RunOptions &options) {
  for (int32_t k = 0; options.projectPatterns && k <= options.projectPatterns.UBound(); ++k) {
    String pattern = options.projectPatterns(k);
    bool matched = false;
    for (int32_t i = 0; i <= BuildConfig::Projects.UBound() && !matched; ++i)
      matched = PatternMatches(pattern, String::Share(BuildConfig::Projects(i)->path));
    if (!matched) return String("Error: No project matches ") + pattern;
  }
  return String();
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
  BuildRun &run = ThisRun();
  run.started = corv::Ticks();
  run.startedAt = corv::Date::New()->SQLDateTime();
  auto arguments = corv::New<ArgumentProcessor>(&kArgumentProcessorDecl);
  arguments->Process(args);
  if (!TakeRunOptions(arguments.get(), &run.options)) return 1;
  if (arguments->Find("version")) {
    PrintVersion(self);
    return 0;
  }
  if (arguments->Find("help")) {
    PrintHelp();
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
    const char *line = "Build configuration could not be read.";
    corv::StdErr()->WriteLine(line);
    return FinishRun(1, RunEnd::kConfiguration, line);
  }
  run.configurationRead = true;
  if (String unmatched = UnmatchedPattern(run.options); !unmatched.empty()) {
    corv::StdErr()->WriteLine(unmatched);
    return FinishRun(1, RunEnd::kConfiguration, unmatched);
  }

  // A stop signal is looked at after every step that may take a while.
  RunScript(BuildConfig::PreBuildScript, "Executing prebuild script.");
  if (BuildConfig::SVNUpdate && !StopRequested())
    SourceControl::UpdateWorkingCopy(BuildConfig::RepositoryRoot);
  if (StopRequested()) return EndStoppedRun();
  String failure = StartIDE(self);
  if (StopRequested()) return EndStoppedRun();
  if (!failure.empty()) {
    corv::StdErr()->WriteLine(failure);
    return FinishRun(1, RunEnd::kIDE, failure);
  }
  RuntimeDoEvents(250);

  // The list is read again before every pass: a project may be added while
  // the run goes on. Projects that --project leaves out pass in silence.
  for (int32_t i = 0; i <= BuildConfig::Projects.UBound(); ++i) {
    if (StopRequested()) return EndStoppedRun();
    Ref<Project> project = BuildConfig::Projects(i);
    if (SelectsProject(run.options, String::Share(project->path))) BuildProject(i, project);
  }
  if (StopRequested()) return EndStoppedRun();

  RunScript(BuildConfig::PostBuildScript, "Executing postbuild script.");
  // A script cut short by the signal (a Ctrl-C reaches it too) is no
  // complete build.
  if (StopRequested()) return EndStoppedRun();
  corv::Print("Build complete");
  return FinishRun(0, RunEnd::kCompleted);
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
  // The report first: nothing that goes wrong in the clean-up can lose it.
  FinishRun(0, RunEnd::kException, String("Kilnrun has encountered an error: ") + type);
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
