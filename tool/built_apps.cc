// The built applications: which products of the selected targets exist next
// to the project file, how they are finished, and how they reach the builds
// folder.
//
// Every walk of a folder tree here (searching, copying, archiving,
// deleting) takes items as they are (TrueItem, TrueChild) and never goes
// through a symbolic link to a folder: a link could loop the walk or lead it
// out of the bundle, and deleting one removes the link, not what it names.
#include "corv/console.h"
#include "corv/string.h"
#include "project.h"
#include "shell.h"
#include "tar_archive.h"

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

bool IsHidden(const Ref<FolderItem> &item) {
  return !item->Visible() || corv::Left(item->Name(), 1) == ".";
}

// A folder the walks may enter: a real one, not a link to one.
bool IsRealFolder(const Ref<FolderItem> &item) {
  return item->Exists() && item->Directory() && !item->IsSymbolicLink();
}

void DeleteTree(const Ref<FolderItem> &item) {
  if (!item || !item->Exists()) return;
  if (IsRealFolder(item)) {
    // An item that cannot be deleted is passed over for the next, and the
    // bound ends the loop should the folder keep filling up meanwhile.
    int32_t attempts = 2 * item->Count();
    int32_t first = 1;
    for (int32_t tried = 0; tried < attempts && item->Count() >= first; ++tried) {
      Ref<FolderItem> child = item->TrueItem(first);
      DeleteTree(child);
      if (child && child->Exists()) ++first;
    }
  }
  item->Delete();
}

Ref<FolderItem> Find(const Ref<FolderItem> &folder, const String &name) {
  if (!folder || !IsRealFolder(folder)) return nullptr;
  Ref<FolderItem> child = folder->TrueChild(name);
  if (child && IsRealFolder(child)) return child;
  int32_t count = folder->Count();
  for (int32_t i = 1; i <= count; ++i)
    if (Ref<FolderItem> found = Find(folder->TrueItem(i), name)) return found;
  return nullptr;
}

// The folder at `prefix` ("Contents/Frameworks/") inside `bundle`, made
// where missing; nil when a part cannot be made or is not a real folder.
Ref<FolderItem> MakeFolderPath(Ref<FolderItem> folder, const String &prefix) {
  int32_t parts = corv::CountFields(prefix, "/");
  for (int32_t i = 1; i <= parts; ++i) {
    String part = corv::NthField(prefix, "/", i);
    if (part.empty()) continue;
    Ref<FolderItem> child = folder->TrueChild(part);
    if (!child) return nullptr;
    if (!child->Exists()) child->CreateAsFolder();
    if (!IsRealFolder(child)) return nullptr;
    folder = child;
  }
  return folder;
}

// Copies the visible items of `source` into `destination`: a file replaces
// the item of its name (keeping its permission bits and modification time,
// as CopyFileTo does), a folder is merged into the folder of its name.
void CopyTree(const Ref<FolderItem> &source, const Ref<FolderItem> &destination) {
  int32_t count = source->Count();
  for (int32_t i = 1; i <= count; ++i) {
    Ref<FolderItem> item = source->TrueItem(i);
    if (!item || IsHidden(item)) continue;
    bool isFolder = item->Directory();
    if (isFolder && item->IsSymbolicLink()) continue;
    Ref<FolderItem> target = destination->TrueChild(item->Name());
    if (!target) continue;
    if (isFolder) {
      if (!IsRealFolder(target)) {
        DeleteTree(target);
        if (!target->CreateAsFolder()) continue;
      }
      CopyTree(item, target);
    } else {
      DeleteTree(target);
      item->CopyFileTo(target);
    }
  }
}

// Whether an item before `index` has the same path as the one at `index`.
bool ListedBefore(const corv::Array<FolderItem *> &items, int32_t index) {
  String path = items(index)->AbsolutePath();
  for (int32_t i = 0; i < index; ++i)
    if (corv::SameBytes(items(i)->AbsolutePath(), path)) return true;
  return false;
}

// A free hidden name in `folder` for the old copy of `name` while the new
// one takes its place.
Ref<FolderItem> AsideName(const Ref<FolderItem> &folder, const String &name) {
  for (int32_t n = 1;; ++n) {
    String prefix = n == 1 ? String(".kilnrun-old-") : String(".kilnrun-old-") + corv::Str(n) + "-";
    Ref<FolderItem> aside = folder->TrueChild(prefix + name);
    if (!aside) return nullptr;
    if (!aside->Exists() && !aside->IsSymbolicLink()) return aside;
  }
}

// Moves `app` into `builds` as `target`, replacing the old copy there. The
// old copy is only moved aside until the new one is in, so a move that
// fails (a full disk, a folder that refuses it) puts it back and loses
// neither: the new one then stays where it was. False when it stayed.
bool PlaceProduct(const Ref<FolderItem> &app, const Ref<FolderItem> &builds,
                  const Ref<FolderItem> &target) {
  Ref<FolderItem> aside;
  if (target->Exists() || target->IsSymbolicLink()) {
    aside = AsideName(builds, app->Name());
    if (!aside || !target->MoveFileTo(aside)) return false;
  }
  // Between disks a failed move removes its partial copy; one that copied
  // everything but could not remove the source has placed the product.
  if (app->MoveFileTo(builds) || target->Exists()) {
    if (aside) DeleteTree(aside);
    return true;
  }
  if (aside) aside->MoveFileTo(target);
  return false;
}

}  // namespace

corv::Array<FolderItem *> Project::GetBuiltApps() {
  if (!file) RaiseNilObjectException();
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
    // A bundle folder is never a product: Mac builds are looked for without
    // the extension or as archives.
    if (names(i).empty() || EndsWith(names(i), ".app")) continue;
    Ref<FolderItem> app = folder->Child(names(i));
    if (app && app->Exists()) apps.Append(app);
  }
  return apps;
}

void Project::PostBuild() {
  if (!file) RaiseNilObjectException();
  if (plistFile && plistFile->Exists()) ModifyPListFile();
  Ref<FolderItem> folder = file->Parent();
  if (copyResources) CopyDirectoryContents(folder->Child("Resources"), "Contents/Resources/");
  if (copyFrameworks) CopyDirectoryContents(folder->Child("Frameworks"), "Contents/Frameworks/");
  if (!postBuildScript) return;
  String command = postBuildScript->ShellPath() + " " + file->ShellPath();
  corv::Array<FolderItem *> apps = GetBuiltApps();
  for (int32_t i = 0; i <= apps.UBound(); ++i) command += String(" ") + apps(i)->ShellPath();
  corv::Print("Executing project postbuild script.");
  Shell shell;
  shell.Execute(command);
}

void Project::CopyDirectoryContents(const Ref<FolderItem> &source, const String &prefix) {
  if (!source || !source->Exists()) return;
  String sourcePath = source->AbsolutePath();
  corv::Array<FolderItem *> apps = GetBuiltApps();
  for (int32_t i = 0; i <= apps.UBound(); ++i) {
    Ref<FolderItem> app = apps(i);
    String name = app->Name();
    if (IsRealFolder(app)) {
      Ref<FolderItem> destination = Find(app, source->Name());
      if (!destination) destination = MakeFolderPath(app, prefix);
      // A bundle that holds the source itself would be copied into for ever.
      if (!destination ||
          corv::SameBytes(corv::LeftB(destination->AbsolutePath(), corv::LenB(sourcePath)),
                          sourcePath))
        continue;
      CopyTree(source, destination);
      DeleteInvisibleFiles(destination);
    } else if (!app->Directory() && EndsWith(name, ".app.tar")) {
      Ref<TarArchive> archive = corv::New<TarArchive>(&kTarArchiveDecl);
      if (!archive->Open(app)) continue;
      AddFolderFilesToTar(archive, corv::Left(name, corv::Len(name) - 4) + "/" + prefix, source);
      archive->Close();
    }
  }
}

Ref<FolderItem> Project::FindFolder(const Ref<FolderItem> &folder, const String &name) {
  return Find(folder, name);
}

void Project::AddFolderFilesToTar(const Ref<TarArchive> &archive, const String &prefix,
                                  const Ref<FolderItem> &folder) {
  if (!archive || !folder) RaiseNilObjectException();
  int32_t count = folder->Count();
  for (int32_t i = 1; i <= count; ++i) {
    Ref<FolderItem> item = folder->TrueItem(i);
    if (!item || IsHidden(item)) continue;
    if (item->Directory()) {
      if (item->IsSymbolicLink()) continue;
      archive->CreateFolder(prefix + item->Name());
      AddFolderFilesToTar(archive, prefix + item->Name() + "/", item);
    } else {
      archive->AddFile(item, prefix);
    }
  }
}

void Project::DeleteInvisibleFiles(const Ref<FolderItem> &folder) {
  if (!folder) RaiseNilObjectException();
  for (int32_t i = folder->Count(); i >= 1; --i) {
    Ref<FolderItem> item = folder->TrueItem(i);
    if (item && IsHidden(item)) DeleteTree(item);
  }
}

void Project::DeleteFileOrFolder(const Ref<FolderItem> &item) {
  DeleteTree(item);
}

void Project::MoveBuiltApplications(const Ref<FolderItem> &buildsDirectory) {
  if (!buildsDirectory) RaiseNilObjectException();
  corv::Array<FolderItem *> apps = GetBuiltApps();
  for (int32_t i = 0; i <= apps.UBound(); ++i) {
    Ref<FolderItem> app = apps(i);
    // A name listed twice was moved, or failed to move, the first time.
    if (!app->Exists() || ListedBefore(apps, i)) continue;
    // The builds folder is the project folder: the product is in place.
    Ref<FolderItem> target = buildsDirectory->TrueChild(app->Name());
    if (target && corv::SameBytes(target->AbsolutePath(), app->AbsolutePath())) continue;
    if (!target || !PlaceProduct(app, buildsDirectory, target))
      corv::StdErr()->WriteLine(String("Could not move ") + app->Name() +
                                " into the builds folder.");
  }
}

}  // namespace kilnrun
