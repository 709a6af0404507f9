// Revision stamping: the Subversion tools run through Shell, each command
// line built from shell paths so that no folder name can add a command.
#include "source_control.h"

#include "shell.h"

namespace kilnrun::SourceControl {

using corv::Chr;
using corv::FolderItem;
using corv::Ref;
using corv::String;

namespace {

// The tools' executable names on this platform.
const char kSvn[] = "svn";
const char kTortoiseProc[] = "TortoiseProc";
const char kSubWCRev[] = "SubWCRev";
const char kDefaultSvnPaths[][20] = {"/usr/bin/svn", "/usr/local/bin/svn"};

// Module variables: they live for the whole run, so the folder's reference
// is held by hand and never given back at exit.
CORVobject gSvnBinDirectory = nullptr;
bool gUseTortoise = false;

void StoreBinDirectory(const Ref<FolderItem> &folder) {
  RuntimeLockUnlockObjects(folder.object(), gSvnBinDirectory);
  gSvnBinDirectory = folder.object();
}

bool HasTool(const Ref<FolderItem> &folder, const char *name) {
  Ref<FolderItem> tool = folder->Child(name);
  return tool && tool->Exists();
}

// The tool's path as the first word of a command line; "" when the tools'
// folder has gone, so that nothing is run.
String ToolPath(const char *name) {
  Ref<FolderItem> folder = SvnBinDirectory();
  Ref<FolderItem> tool = folder ? folder->Child(name) : nullptr;
  return tool ? tool->ShellPath() : String();
}

String Execute(const String &command) {
  Shell shell;
  shell.Execute(command);
  return shell.Result();
}

void RequireFolder(const Ref<FolderItem> &folder) {
  if (!folder) RaiseNilObjectException();
}

// A new temporary file, deleted however the function that holds it ends.
class ScopedTemporaryFile {
 public:
  ScopedTemporaryFile() : item_(corv::GetTemporaryFolderItem()) {}
  ~ScopedTemporaryFile() {
    if (item_) item_->Delete();
  }
  ScopedTemporaryFile(const ScopedTemporaryFile &) = delete;
  ScopedTemporaryFile &operator=(const ScopedTemporaryFile &) = delete;

  const Ref<FolderItem> &item() const { return item_; }

 private:
  Ref<FolderItem> item_;
};

// SubWCRev copies a template holding "$WCREV$" with the revision put in.
String TortoiseRevision(const Ref<FolderItem> &folder) {
  String subWCRev = ToolPath(kSubWCRev);
  if (subWCRev.empty()) return String();
  ScopedTemporaryFile templateFile;
  if (!templateFile.item()) return String();
  Ref<corv::TextOutputStream> out = templateFile.item()->CreateTextFile();
  if (!out) return String();
  out->Write("$WCREV$");
  out->Close();
  ScopedTemporaryFile result;
  if (!result.item()) return String();
  Execute(subWCRev + " " + folder->ShellPath() + " " + templateFile.item()->ShellPath() + " " +
          result.item()->ShellPath());
  Ref<corv::TextInputStream> in = result.item()->OpenAsTextFile();
  if (!in) return String();
  String revision = in->ReadAll();
  in->Close();
  return Trim(revision);
}

}  // namespace

Ref<FolderItem> SvnBinDirectory() {
  return Ref<FolderItem>::Share(gSvnBinDirectory);
}

bool UseTortoise() {
  return gUseTortoise;
}

void InitTools() {
  corv::StringArray candidates = corv::NewArray<String>();
  for (const char *path : kDefaultSvnPaths) candidates.Append(path);
  InitTools(candidates);
}

void InitTools(const corv::StringArray &candidates) {
  for (int32_t i = 0; i <= candidates.UBound(); ++i) {
    Ref<FolderItem> svn = corv::GetFolderItem(candidates(i));
    if (svn && svn->Exists()) {
      StoreBinDirectory(svn->Parent());
      return;
    }
  }
}

void SetBinDirectory(const Ref<FolderItem> &item) {
  if (!item) return;
  Ref<FolderItem> folder = item->Directory() ? item : item->Parent();
  StoreBinDirectory(folder);
  gUseTortoise = false;
  if (folder && !HasTool(folder, kSvn) && HasTool(folder, kTortoiseProc)) gUseTortoise = true;
}

void ForgetTools() {
  StoreBinDirectory(nullptr);
  gUseTortoise = false;
}

String RunSvn(const String &arguments) {
  String svn = ToolPath(kSvn);
  if (svn.empty()) return String();
  // Untranslated messages, so that the "Revision: " line reads the same in
  // every locale, and UTF-8, the encoding of the paths the tool passes: under
  // plain "C" svn refuses every path beyond ASCII, also when a scheduler
  // starts the tool without any locale. Its complaints are not passed on
  // (a project folder outside the working copy is no error of the run): a
  // failed update or an unreadable revision is not reported.
  return Execute(String("LC_ALL=C.UTF-8 ") + svn + " " + arguments + " 2>/dev/null");
}

void UpdateWorkingCopy(const Ref<FolderItem> &folder) {
  RequireFolder(folder);
  if (!gUseTortoise) {
    RunSvn(String("update ") + folder->ShellPath());
    return;
  }
  String tortoiseProc = ToolPath(kTortoiseProc);
  if (tortoiseProc.empty()) return;
  Execute(tortoiseProc + " /command:update /path:" + folder->ShellPath() + " /closeonend:1");
}

String GetRevision(const Ref<FolderItem> &folder) {
  RequireFolder(folder);
  if (gUseTortoise) return TortoiseRevision(folder);
  // The "Revision: " line, not that text inside a path printed before it.
  String out = Chr(10) + ReplaceLineEndings(RunSvn(String("info ") + folder->ShellPath()), Chr(10));
  String after = NthField(out, Chr(10) + "Revision: ", 2);
  return Trim(NthField(after, Chr(10), 1));
}

}  // namespace kilnrun::SourceControl
