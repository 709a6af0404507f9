// The project copy the IDE opens, the script that opens and builds it, the
// clean-up of what the copy left, and the completion test that watches the
// built applications.
//
// Copies are written whole into a runtime temporary file first and then
// moved to their "TempKR" name by a move that never replaces: an item that
// appears under the chosen name meanwhile (another run in the same folder,
// a dangling link) is never written through, the next free name is taken.
#include "app.h"
#include "build_config.h"
#include "corv/console.h"
#include "corv/exception.h"
#include "corv/string.h"
#include "project.h"
#include "shell.h"

namespace kilnrun {

using corv::FolderItem;
using corv::Ref;
using corv::String;
using corv::StringArray;

namespace {

// FolderItem error code of a move or copy refused because the target exists.
constexpr int32_t kItemExists = 80;

bool EndsWith(const String &text, const String &ending) {
  return corv::Right(text, corv::Len(ending)) == ending;
}

// "." and the text after the last "." of `name`; "" when it has none.
String Extension(const String &name) {
  int32_t fields = corv::CountFields(name, ".");
  if (fields < 2) return String();
  return String(".") + corv::NthField(name, ".", fields);
}

// "TempKR" and the last four digits of the tick counter, then `suffix`.
String TemporaryName(const String &suffix) {
  return String("TempKR") + corv::Right(corv::Str(int32_t(corv::Ticks())), 4) + suffix;
}

// The n-th name tried for `name`: the name itself, then, counting from 2,
// the number before the extension (TempKR1234.cvvcp -> TempKR12342.cvvcp).
Ref<FolderItem> Candidate(const Ref<FolderItem> &folder, const String &name, int32_t n) {
  if (n == 1) return folder->Child(name);
  String extension = Extension(name);
  String base = corv::Left(name, corv::Len(name) - corv::Len(extension));
  return folder->Child(base + corv::Str(n) + extension);
}

// Every script runs alike: a shell of its own, the script's shell path,
// nothing read back.
void RunScript(const Ref<FolderItem> &script) {
  Shell shell;
  shell.Execute(script->ShellPath());
}

// The text before the first "=" (all of it without one) and the trimmed text
// after it. Bytes, not characters: a line need not be valid in any encoding.
void SplitKeyAndValue(const String &line, String *key, String *value) {
  int32_t equals = corv::InStrB(line, "=");
  *key = equals > 0 ? corv::LeftB(line, equals - 1) : line;
  *value = equals > 0 ? corv::Trim(corv::MidB(line, equals + 1)) : String();
}

// A "#tag Constant, ..." declaration line of a class file.
bool DeclaresConstant(const String &line) {
  return corv::NthField(line, " ", 1) == "#tag" &&
         corv::NthField(corv::NthField(line, " ", 2), ",", 1) == "Constant";
}

// The class file a "Class" value names, relative to the project; nil for
// a path that names nothing. Like any other failure of the class copy, a
// path that cannot be resolved leaves the line as it was.
Ref<FolderItem> ClassFile(const Ref<FolderItem> &project, const String &classValue) {
  String path = corv::NthField(classValue, ";", 2);
  if (path.empty()) return nullptr;  // resolved, "" would be the folder itself
  Ref<FolderItem> classFile;
  corv::Catch(&kNilObjectExceptionDecl,
              [&] { classFile = BuildConfig::ResolvePath(project->Parent(), path); });
  return classFile;
}

}  // namespace

Ref<FolderItem> Project::GetTemporaryFile(const String &suffix) {
  Ref<FolderItem> folder = Ref<FolderItem>::Share(file)->Parent();
  String name = TemporaryName(suffix);
  for (int32_t n = 1;; ++n) {
    Ref<FolderItem> candidate = Candidate(folder, name, n);
    if (!candidate->Exists()) return candidate;
  }
}

namespace {

// Moves the written `staging` file next to `project` under a new "TempKR"
// name with `suffix`; the staging file goes either way. Nil when no name
// could take it.
Ref<FolderItem> PlaceCopy(const Ref<FolderItem> &project, const Ref<FolderItem> &staging,
                          const String &suffix) {
  Ref<FolderItem> folder = project->Parent();
  String name = TemporaryName(suffix);
  for (int32_t n = 1; folder; ++n) {
    Ref<FolderItem> candidate = Candidate(folder, name, n);
    if (!candidate) break;
    if (candidate->Exists()) continue;
    if (staging->MoveFileTo(candidate)) return candidate;
    if (staging->LastErrorCode() != kItemExists) break;
  }
  staging->Delete();
  return nullptr;
}

// Writes `lines` as a new "TempKR" file next to `project`: each line ended
// by the stream's line ending, or joined by line feeds with none at the end.
// Nil when the copy cannot be made; nothing is left behind then.
Ref<FolderItem> WriteCopy(const Ref<FolderItem> &project, const String &suffix,
                          const StringArray &lines, bool endEachLine) {
  Ref<FolderItem> staging = corv::GetTemporaryFolderItem();
  if (!staging) return nullptr;
  Ref<corv::TextOutputStream> out = staging->CreateTextFile();
  if (!out) {
    staging->Delete();
    return nullptr;
  }
  if (endEachLine) {
    for (int32_t i = 0; i <= lines.UBound(); ++i) out->WriteLine(lines(i));
  } else {
    out->Write(corv::Join(lines, corv::Chr(10)));
  }
  bool written = out->LastErrorCode() == 0;
  out->Close();
  if (!written) {
    staging->Delete();  // a short copy would build something else
    return nullptr;
  }
  return PlaceCopy(project, staging, suffix);
}

}  // namespace

const char kUnsupportedProjectFormat[] = "Unsupported project format: requires .cvvcp file.";

bool Project::PrepareForBuild() {
  Ref<FolderItem> projectFile = Ref<FolderItem>::Share(file);
  if (!EndsWith(projectFile->Name(), ".cvvcp")) {
    corv::StdErr()->WriteLine(kUnsupportedProjectFormat);
    return false;
  }
  if (prebuildScript) {
    corv::Print("Executing project prebuild script.");
    RunScript(Ref<FolderItem>::Share(prebuildScript));
  }
  if (!appClassName) corv::Assign(&appClassName, String("App"));

  Ref<corv::TextInputStream> in = projectFile->OpenAsTextFile();
  if (!in) RaiseNilObjectException();
  StringArray lines = corv::NewArray<String>();
  while (!in->EndOfFile()) {
    String line = in->ReadLine(), key, value;
    SplitKeyAndValue(line, &key, &value);
    if (key == "Type") {
      corv::Assign(&type, value);
    } else if (key == "WindowsName") {
      buildNames->Value("Windows", EndsWith(value, ".exe") ? value : value + ".exe");
    } else if (key == "LinuxX86Name") {
      buildNames->Value("Linux", value);
    } else if (key == "MacCarbonMachName") {
      buildNames->Value("Mac", value + ".app");
    } else if (key == "BuildFlags") {
      line = String("BuildFlags=&h") + corv::Hex(GetBuildFlags());
    } else if (key == "Class") {
      if (corv::NthField(value, ";", 1) == String::Share(appClassName)) {
        StringArray fields = corv::Split(value, ";");
        Ref<FolderItem> copy = PrepareAppClass(ClassFile(projectFile, value));
        if (copy) {
          fields.Set(1, copy->Name());
          line = String("Class=") + corv::Join(fields, ";");
        }
      }
    } else if (properties->HasKey(key)) {
      line = key + "=" + properties->Value(key).StringValue();
    }
    lines.Append(line);
  }
  bool readWhole = in->LastErrorCode() == 0;
  in->Close();
  if (!readWhole) RaiseNilObjectException();  // a copy missing lines would build something else

  Ref<FolderItem> copy = WriteCopy(projectFile, Extension(projectFile->Name()), lines, false);
  if (!copy) RaiseNilObjectException();
  corv::Assign(&file, copy);
  return true;
}

Ref<FolderItem> Project::PrepareAppClass(const Ref<FolderItem> &classFile) {
  if (!classFile || !classFile->Exists()) return nullptr;
  Ref<corv::TextInputStream> in = classFile->OpenAsTextFile();
  if (!in) return nullptr;
  const String marker = "Default = \\";
  StringArray lines = corv::NewArray<String>();
  while (!in->EndOfFile()) {
    String line = corv::Trim(in->ReadLine());
    if (DeclaresConstant(line)) {
      int32_t at = corv::InStr(line, "Name =");
      String name = at > 0 ? corv::Trim(corv::NthField(corv::Mid(line, at + 6), ",", 1)) : String();
      int32_t open = corv::InStr(line, marker + "\"");
      int32_t close = open > 0 ? corv::InStr(open + corv::Len(marker) + 1, line, "\"") : 0;
      if (!name.empty() && close > 0 && constants->HasKey(name)) {
        String quotedDefault = corv::Mid(line, open, close - open + 1);
        String value = constants->Value(name).StringValue();
        line = corv::ReplaceAll(line, quotedDefault, marker + "\"" + value + "\"");
      }
    }
    lines.Append(line);
  }
  bool readWhole = in->LastErrorCode() == 0;
  in->Close();
  if (!readWhole) return nullptr;
  // Next to the project, wherever the class file lies: the project names
  // its copy by a bare name.
  return WriteCopy(Ref<FolderItem>::Share(file), Extension(classFile->Name()), lines, true);
}

int32_t Project::GetBuildFlags() {
  int32_t flags = 0;
  if (buildLinux) flags += 0x80;
  if (buildWindows) flags += 0x10;
  if (buildMacPPC) flags += 0x200;
  if (buildMacIntel) flags += 0x1000;
  if (buildMacUB) flags += 0x2000;
  return flags;
}

String Project::RenderBuildScript() {
  return String("OpenFile \"") + file->AbsolutePath() + "\"" + corv::Chr(10) +
         "DoCommand( \"BuildApp\" )";
}

void Project::Cleanup(bool keepWindows) {
  if (!file) return;  // no project file, no folder to clean
  Ref<FolderItem> projectFile = Ref<FolderItem>::Share(file);
  if (Ref<FolderItem> folder = projectFile->Parent()) {
    // Downwards, so the items still to be looked at keep their indexes.
    for (int32_t i = folder->Count(); i >= 1; --i) {
      Ref<FolderItem> item = folder->Item(i);
      if (item && corv::Left(item->Name(), 6) == "TempKR") item->Delete();
    }
  }
  if (keepWindows) return;
  StringArray names = corv::NewArray<String>();
  names.Append(projectFile->Name());
  AppCloseIDEWindows(nullptr, names, false);  // it needs nothing of the App object
}

bool Project::BuildFinished() {
  if (!lastAppBuildTimes) {
    corv::Assign(&lastAppBuildTimes, ListAppModifiedTimes());
    completedCount = 0;
    return false;
  }
  Ref<corv::Dictionary> current = ListAppModifiedTimes();
  int32_t count = current->Count();
  for (int32_t i = 0; i < count; ++i) {
    String key = current->Key(i).StringValue();
    double now = current->ValueByIndex(i).DoubleValue();
    double before = lastAppBuildTimes->Lookup(key, 0.0).DoubleValue();
    if (now > before) ++completedCount;
  }
  corv::Assign(&lastAppBuildTimes, current);
  return BuildCount() <= completedCount;
}

Ref<corv::Dictionary> Project::ListAppModifiedTimes() {
  Ref<corv::Dictionary> times = corv::Dictionary::New();
  corv::Array<FolderItem *> apps = GetBuiltApps();
  for (int32_t i = 0; i <= apps.UBound(); ++i) {
    Ref<FolderItem> app = apps(i);
    Ref<corv::Date> modified = app->ModificationDate();
    if (!modified) RaiseNilObjectException();
    times->Value(app->ShellPath(), modified->TotalSeconds());
  }
  return times;
}

int32_t Project::BuildCount() {
  return buildLinux + buildMacIntel + buildMacPPC + buildMacUB + buildWindows;
}

}  // namespace kilnrun
