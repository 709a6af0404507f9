// A small program of this runtime for the end-to-end tests: its Run event
// does what its first argument names, so the tests can watch exit codes,
// the unhandled-exception printer and the plugins from outside.
#include <cstdio>
#include <string>

#include "core/failure.h"
#include "corv.h"
#include "corv/application.h"
#include "corv/class_decl.h"
#include "corv/exception.h"
#include "corv/folder_item.h"
#include "corvane_ide.h"
#include "plugin_entries.h"
#include "shell.h"

namespace {

std::string Argument(CORVobject args, int32_t index) {
  if (RuntimeUBound(args) < index) return std::string();
  return std::string(corv::String::Adopt(CORVArrayStringAt(args, index)).view());
}

int32_t ProbeRun(CORVobject, CORVobject args) {
  std::string mode = Argument(args, 1);
  if (mode == "return3") return 3;
  if (mode == "quit5") {
    ApplicationQuit(5, false);
    return 3;
  }
  if (mode == "quit5raise") CV_ApplicationQuit(5);
  if (mode == "raise") {
    corv::String message("bad index");
    CORVRaiseNewWithMessage(CORVBindDeclaration(&kOutOfBoundsExceptionDecl), message.get(), 9);
  }
  if (mode == "end") CORVRaiseNew(CORVBindDeclaration(&kEndExceptionDecl));
  if (mode == "args") {
    std::printf("%d", RuntimeUBound(args));
    for (int32_t i = 1; i <= RuntimeUBound(args); ++i)
      std::printf("|%s", Argument(args, i).c_str());
    std::printf("\n");
  }
  if (mode == "shell") {
    kilnrun::Shell shell;
    shell.Execute("echo hi; echo there");
    std::printf("%s", std::string(shell.Result().view()).c_str());
    std::printf(
        "%s\n",
        std::string(kilnrun::Base64Decode(kilnrun::EncodeBase64("round trip", 76)).view()).c_str());
  }
  if (mode == "sendscript") {  // the file's text, delivered to the IDE as kilnrun does
    corv::Ref<corv::FolderItem> file = corv::GetFolderItem(corv::String(Argument(args, 2)));
    corv::Ref<corv::TextInputStream> in = file ? file->OpenAsTextFile() : nullptr;
    corv::String script = in ? in->ReadAll() : corv::String();
    std::printf("%s\n", kilnrun::CorvaneIDE::SendScript(script) ? "sent" : "failed");
  }
  if (mode == "port")
    std::printf("%u\n",
                static_cast<unsigned>(corv::IPCSocketPort(kilnrun::CorvaneIDE::SocketPath())));
  if (mode == "available")
    std::printf("%s\n", kilnrun::CorvaneIDE::IsAvailable() ? "available" : "unavailable");
  std::fflush(stdout);
  return 0;
}

const CORVhandlerDecl kHandlers[] = {{"Run", reinterpret_cast<void *>(&ProbeRun)}};
const CORVclassDecl kProbeAppDecl = corv::ClassDecl("ProbeApp", sizeof(CORVconsoleApplication))
                                        .Super(&kConsoleApplicationDecl)
                                        .Handlers(kHandlers);

void ProbeEntry() {
  RuntimeInit();
  CORVBindDeclaration(&kProbeAppDecl);
  CORVBindDeclaration(&kilnrun::kShellDecl);
  corv::CaptureFailures(true);
  RuntimeInitExternalClasses();
  kilnrun::LookUpPluginEntries();
  std::vector<std::string> reports = corv::TakeCapturedFailures();
  if (!reports.empty()) std::printf("plugin lookups reported: %zu\n", reports.size());
  corv::CaptureFailures(false);
  corv::RunConsoleApplication(&kProbeAppDecl);
}

}  // namespace

int main(int argc, char **argv) {
  CORVSetImageEntry(&ProbeEntry);
  return CORVProcessMain(argc, argv);
}
