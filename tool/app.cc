// The tool's App class and its start sequence.
#include "app.h"

#include "argument_processor.h"
#include "corv/application.h"
#include "corv/class_decl.h"
#include "corv/console.h"
#include "corv/exception.h"
#include "corvane_ide.h"
#include "plugin_entries.h"
#include "project.h"
#include "shell.h"

namespace kilnrun {
namespace {

const char kMakerLine[] = "Made by the Kilnrun maintainers";
const char kMakerAddress[] = "https://kilnrun.example.org/";

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

const CORVhandlerDecl kAppHandlers[] = {{"Run", reinterpret_cast<void *>(&AppEventRun)}};

}  // namespace

const CORVclassDecl kAppDecl = corv::ClassDecl("App", sizeof(App))
                                   .Super(&kConsoleApplicationDecl)
                                   .Finalizer(AppFinalizer)
                                   .Handlers(kAppHandlers);

int32_t AppEventRun(CORVobject self, CORVobject args) {
  auto arguments = corv::New<ArgumentProcessor>(&kArgumentProcessorDecl);
  arguments->Process(args);
  if (arguments->Find("version")) {
    PrintVersion(self);
    return 0;
  }
  // Reading the configuration and building projects come with the build
  // driver; until then every other request ends as a configuration error.
  corv::StdErr()->WriteLine(
      "Error: This build of Kilnrun can only report its version (kilnrun --version).");
  return 1;
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
