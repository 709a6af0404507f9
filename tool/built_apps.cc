// The built applications: which products of the selected targets exist next
// to the project file, how they are finished, and how they reach the builds
// folder.
#include "corv/string.h"
#include "project.h"

namespace kilnrun {

using corv::FolderItem;
using corv::Ref;
using corv::String;

namespace {

bool EndsWith(const String &text, const String &ending) {
  return corv::Right(text, corv::Len(ending)) == ending;
}

// The names a Mac build may leave: the bundle without ".app" under each
// architecture's name, each also as ".tar" and ".app.tar".
void AddMacCandidates(const corv::StringArray &names, String mac) {
  if (EndsWith(mac, ".app")) mac = corv::Left(mac, corv::Len(mac) - 4);
  const String bases[] = {mac, mac + "-Mac OS (Mach-O PowerPC)", mac + "-Mac OS (Mach-O i386)",
                          mac + "-Mac OS (Universal)"};
  for (const char *suffix : {"", ".tar", ".app.tar"})
    for (const String &base : bases) names.Append(base + suffix);
}

// Tool.exe gives Tool.exe, Tool, Tool.exe-Windows, Tool-Windows, and each of
// those with ".exe" once more (Tool.exe among them a second time).
void AddWindowsCandidates(const corv::StringArray &names, const String &windows) {
  corv::StringArray list = corv::NewArray<String>();
  list.Append(windows);
  if (EndsWith(windows, ".exe")) list.Append(corv::Left(windows, corv::Len(windows) - 4));
  for (const char *suffix : {"-Windows", ".exe"}) {
    int32_t last = list.UBound();
    for (int32_t i = 0; i <= last; ++i) list.Append(list(i) + suffix);
  }
  for (int32_t i = 0; i <= list.UBound(); ++i) names.Append(list(i));
}

}  // namespace

corv::Array<FolderItem *> Project::GetBuiltApps() {
  corv::StringArray names = corv::NewArray<String>();
  if (buildMacPPC || buildMacIntel || buildMacUB)
    AddMacCandidates(names, buildNames->Value("Mac").StringValue());
  if (buildLinux) {
    String linuxName = buildNames->Value("Linux").StringValue();
    names.Append(linuxName);
    names.Append(linuxName + "-Linux");
  }
  if (buildWindows) AddWindowsCandidates(names, buildNames->Value("Windows").StringValue());

  corv::Array<FolderItem *> apps = corv::NewArray<FolderItem *>();
  Ref<FolderItem> folder = file->Parent();
  for (int32_t i = 0; i <= names.UBound(); ++i) {
    if (names(i).empty()) continue;
    Ref<FolderItem> app = folder->Child(names(i));
    if (app && app->Exists()) apps.Append(app);
  }
  return apps;
}

}  // namespace kilnrun
