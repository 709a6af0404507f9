// Reading "kilnrun.conf": line rules, the key table, variables, and the
// resolution and checks that follow the last line.
#include "build_config.h"

#include <iterator>

#include "corv/console.h"
#include "corv/date.h"
#include "corv/exception.h"
#include "corv/name_index.h"
#include "corv/target.h"
#include "source_control.h"

namespace kilnrun::BuildConfig {

using corv::Dictionary;
using corv::FolderItem;
using corv::Ref;
using corv::String;

namespace {

// The longest text that expanding variables may make (1 MiB): far beyond any
// path or value a configuration holds.
constexpr int64_t kLongestExpansion = int64_t{1} << 20;

// The most text that expanding variables may search and write in one read
// (16 MiB), far more than a configuration of hundreds of lines and
// variables needs. Every line stays within kLongestExpansion, yet thousands
// of lines each naming such a text, or naming thousands of variables, would
// take minutes; a configuration that needs that much work is none either.
constexpr int64_t kMostExpansionWork = int64_t{16} << 20;

// The counted module variables live as long as the process: their record is
// never destroyed, so no release runs after the runtime has shut down.
struct CountedVariables {
  Ref<FolderItem> configFile, corvanePath, repositoryRoot;
  Ref<FolderItem> buildsDirectory, postBuildScript, preBuildScript;
  corv::Array<Project *> projects;
};
CountedVariables &counted = *new CountedVariables;

}  // namespace

Ref<FolderItem> &ConfigFile = counted.configFile;
Ref<FolderItem> &CorvanePath = counted.corvanePath;
int32_t CorvaneLaunchTimeout = 0;
Ref<FolderItem> &RepositoryRoot = counted.repositoryRoot;
bool SVNUpdate = false;
Ref<FolderItem> &BuildsDirectory = counted.buildsDirectory;
Ref<FolderItem> &PostBuildScript = counted.postBuildScript;
Ref<FolderItem> &PreBuildScript = counted.preBuildScript;
bool Donated = false;
bool FailOnProjectError = false;
corv::Array<Project *> &Projects = counted.projects;

namespace {

// The state of one read: the variables so far, the open project block (nil
// when none) and the global path texts, resolved after the last line.
struct Reader {
  Ref<Dictionary> keys;  // key name -> its index in kKeys
  Ref<Dictionary> variables;
  corv::NameIndex variableNames;  // the variables' names, by their index
  int64_t expansionWork = 0;      // bytes searched and written, up to kMostExpansionWork
  Ref<Project> project;
  String buildsDirectory;
  String postBuildScript;
  String preBuildScript;
};

// Where a key may stand.
enum class Scope { kGlobal, kProject, kBoth };

struct Key {
  const char *name;
  Scope scope;
  void (*apply)(Reader &reader, const String &value);
};

bool IsTrue(const String &value) {
  return value == "true";
}

int32_t Number(const String &value) {
  return corv::ToInteger(corv::Val(value));
}

Ref<FolderItem> ConfigFolder() {
  return ConfigFile->Parent();
}

// "name text": the name before the first space, the text after it, both
// trimmed; a value without a space is a name with empty text.
void SplitNameAndText(const String &value, String *name, String *text) {
  int32_t space = InStr(value, " ");
  if (space == 0) {
    *name = value;
    *text = String();
    return;
  }
  *name = Trim(Left(value, space - 1));
  *text = Trim(Mid(value, space + 1));
}

void SetEntry(corv::Dictionary *dictionary, const String &value) {
  String name, text;
  SplitNameAndText(value, &name, &text);
  dictionary->Value(name, text);
}

// Define name[tag] text: the variable %name% gets the text when the tag
// (empty without brackets) names this platform.
void Define(Reader &reader, const String &value) {
  String name = NthField(value, " ", 1);
  String text = Trim(Mid(value, Len(name) + 2));
  String tag;
  int32_t open = InStr(name, "[");
  if (open > 0) {
    int32_t close = InStr(open + 1, name, "]");
    tag = close > 0 ? Mid(name, open + 1, close - open - 1) : Mid(name, open + 1);
    name = Left(name, open - 1);
  }
  if (PlatformMatches(tag)) reader.variables->Value(String("%") + name + "%", text);
}

void OpenProject(Reader &reader, const String &) {
  reader.project = Project::New();
  Projects.Append(reader.project);
}

// The keys, each name once; project keys reach `apply` only
// with a block open, keys of both scopes check for themselves.
#define PROJECT_TEXT(field) [](Reader &r, const String &v) { corv::Assign(&r.project->field, v); }
#define PROJECT_FLAG(field) [](Reader &r, const String &v) { r.project->field = IsTrue(v); }
const Key kKeys[] = {
    {.name = "CorvanePath",
     .scope = Scope::kGlobal,
     .apply = [](Reader &, const String &v) { CorvanePath = ResolvePath(ConfigFolder(), v); }},
    {.name = "CorvaneLaunchTimeout",
     .scope = Scope::kGlobal,
     .apply = [](Reader &, const String &v) { CorvaneLaunchTimeout = Number(v); }},
    {.name = "RepositoryRoot",
     .scope = Scope::kGlobal,
     .apply = [](Reader &, const String &v) { RepositoryRoot = ResolvePath(ConfigFolder(), v); }},
    {.name = "SVNBinDirectory",
     .scope = Scope::kGlobal,
     .apply =
         [](Reader &, const String &v) {
           if (!v.empty()) SourceControl::SetBinDirectory(ResolvePath(nullptr, v));
         }},
    {.name = "SVNUpdate",
     .scope = Scope::kGlobal,
     .apply = [](Reader &, const String &v) { SVNUpdate = IsTrue(v); }},
    {.name = "BuildsDirectory",
     .scope = Scope::kGlobal,
     .apply = [](Reader &r, const String &v) { r.buildsDirectory = v; }},
    {.name = "PostBuildScript",
     .scope = Scope::kBoth,
     .apply =
         [](Reader &r, const String &v) {
           if (r.project)
             corv::Assign(&r.project->postBuildScriptPath, v);
           else
             r.postBuildScript = v;
         }},
    {.name = "PreBuildScript",
     .scope = Scope::kBoth,
     .apply =
         [](Reader &r, const String &v) {
           if (r.project)
             corv::Assign(&r.project->prebuildScriptPath, v);
           else
             r.preBuildScript = v;
         }},
    {.name = "AppClass", .scope = Scope::kProject, .apply = PROJECT_TEXT(appClassName)},
    {.name = "File", .scope = Scope::kProject, .apply = PROJECT_TEXT(path)},
    {.name = "Timeout",
     .scope = Scope::kProject,
     .apply = [](Reader &r, const String &v) { r.project->timeout = Number(v); }},
    {.name = "BuildMacUB", .scope = Scope::kProject, .apply = PROJECT_FLAG(buildMacUB)},
    {.name = "BuildMacIntel", .scope = Scope::kProject, .apply = PROJECT_FLAG(buildMacIntel)},
    {.name = "BuildMacPPC", .scope = Scope::kProject, .apply = PROJECT_FLAG(buildMacPPC)},
    {.name = "BuildWindows", .scope = Scope::kProject, .apply = PROJECT_FLAG(buildWindows)},
    {.name = "BuildLinux", .scope = Scope::kProject, .apply = PROJECT_FLAG(buildLinux)},
    {.name = "CopyResources", .scope = Scope::kProject, .apply = PROJECT_FLAG(copyResources)},
    {.name = "CopyFrameworks", .scope = Scope::kProject, .apply = PROJECT_FLAG(copyFrameworks)},
    {.name = "ReplacePList", .scope = Scope::kProject, .apply = PROJECT_TEXT(plistPath)},
    {.name = "MergePList",
     .scope = Scope::kProject,
     .apply =
         [](Reader &r, const String &v) {
           corv::Assign(&r.project->plistPath, v);
           r.project->plistMerge = true;
         }},
    {.name = "<project>", .scope = Scope::kGlobal, .apply = OpenProject},
    {.name = "</project>",
     .scope = Scope::kGlobal,
     .apply = [](Reader &r, const String &) { r.project = nullptr; }},
    {.name = "SetProperty",
     .scope = Scope::kProject,
     .apply = [](Reader &r, const String &v) { SetEntry(r.project->properties, v); }},
    {.name = "SetConstant",
     .scope = Scope::kProject,
     .apply = [](Reader &r, const String &v) { SetEntry(r.project->constants, v); }},
    {.name = "Define", .scope = Scope::kGlobal, .apply = Define},
    {.name = "Donated",
     .scope = Scope::kGlobal,
     .apply = [](Reader &, const String &v) { Donated = IsTrue(v); }},
    {.name = "FailOnProjectError",
     .scope = Scope::kGlobal,
     .apply = [](Reader &, const String &v) { FailOnProjectError = IsTrue(v); }},
};
#undef PROJECT_TEXT
#undef PROJECT_FLAG

bool IsComment(const String &line) {
  if (line.empty()) return true;
  // Most lines start with an ASCII character other than the three: in
  // these encodings it is the first character, and none of the comparisons
  // below can be true. Comparing texts of no declared encoding decodes
  // them, which would cost more than the rest of the line.
  uint32_t encoding = line.encoding();
  unsigned char first = static_cast<unsigned char>(line.view()[0]);
  if ((encoding == kEncodingUnknown || encoding == kEncodingUTF8 || encoding == kEncodingASCII) &&
      first < 0x80 && first != '#' && first != '\'' && first != '/')
    return false;
  return Left(line, 1) == "#" || Left(line, 1) == "'" || Left(line, 2) == "//";
}

// One step of ExpandVariables: the i-th variable's name in the text replaced
// by its value. False when the name is not in the text. Adds to `*work` the
// bytes it searched and wrote.
bool ReplaceVariable(const Ref<Dictionary> &variables, int32_t i, String *text, int64_t *work) {
  String name = variables->Key(i).StringValue();
  // Most variables are not in the text: one search tells.
  *work += corv::LenB(*text);
  if (InStr(*text, name) == 0) return false;
  String value = variables->ValueByIndex(i).StringValue();
  // Variables that repeat each other grow a text exponentially: it stops
  // being a configuration long before it fills memory.
  int64_t found = corv::CountFields(*text, name) - 1;
  int64_t growth = int64_t{corv::LenB(value)} - corv::LenB(name);
  if (found > 0 && growth > 0 && corv::LenB(*text) + found * growth > kLongestExpansion)
    corv::RaiseNew(&kOutOfMemoryExceptionDecl);
  *work += corv::LenB(*text);  // the fields counted
  *text = ReplaceAll(*text, name, value);
  *work += 2 * int64_t{corv::LenB(*text)};  // read and written
  return true;
}

// Each value of `target` replaced by what `expand` makes of it, in key order.
template <typename Expand>
void ExpandValues(const Ref<Dictionary> &target, Expand expand) {
  int32_t count = target->Count();
  for (int32_t i = 0; i < count; ++i) {
    corv::Variant key = target->Key(i);
    target->Value(key, expand(target->ValueByIndex(i).StringValue()));
  }
}

// ExpandVariables with the reader's variables, to the same result. A text
// is searched only for the variables that the index of their names finds
// possible in it, so that a configuration of thousands of variables does
// not search every line for each of them. The reader never removes a
// variable, so each keeps its index.
String ExpandReaderVariables(Reader &reader, const String &text) {
  corv::NameIndex &names = reader.variableNames;
  int32_t count = reader.variables->Count();
  while (names.Count() < count) names.Add(reader.variables->Key(names.Count()).StringValue());
  String expanded = text;
  auto checkWork = [&] {
    if (reader.expansionWork > kMostExpansionWork) corv::RaiseNew(&kOutOfMemoryExceptionDecl);
  };
  auto replace = [&](int32_t i) {
    bool replaced = ReplaceVariable(reader.variables, i, &expanded, &reader.expansionWork);
    checkWork();
    return replaced;
  };
  // A replacement changes the text, which the index then reads again. That
  // costs about as much as searching it for kLookAgain variables: once the
  // readings would cost more than searching for every variable left, the
  // rest are searched for one by one, as ExpandVariables does.
  constexpr int32_t kLookAgain = 32;
  int32_t readings = 0;
  for (int32_t from = 0; from < count;) {
    if (int64_t{++readings} * kLookAgain > count - from) {
      for (int32_t i = from; i < count; ++i) replace(i);
      break;
    }
    int32_t next = count;
    reader.expansionWork += int64_t{kLookAgain} * corv::LenB(expanded);  // the index's reading
    checkWork();
    for (int32_t i : names.Candidates(expanded, from)) {
      if (!replace(i)) continue;
      next = i + 1;  // the text has changed: the later variables are looked for in it anew
      break;
    }
    from = next;
  }
  return expanded;
}

void ProcessLine(Reader &reader, String line) {
  line = Trim(line);
  if (IsComment(line)) return;
  line = ReplaceAll(line, corv::Chr(9), " ");
  // Every variable's name holds a "%": a line without one has none to expand.
  if (corv::InStrB(1, line, "%") > 0) line = ExpandReaderVariables(reader, line);
  String key = line, value;
  int32_t space = InStr(line, " ");
  if (space > 0) {
    key = Trim(Left(line, space - 1));
    value = Trim(Mid(line, space + 1));
  }
  // The names compare as the key's text would with each in turn; one
  // lookup decodes a key read in another encoding once, not once a name.
  if (!reader.keys->HasKey(key)) return;
  const Key &candidate = kKeys[reader.keys->Value(key).Int64Value()];
  // A project key with no block open dereferences no project.
  if (candidate.scope == Scope::kProject && !reader.project) RaiseNilObjectException();
  candidate.apply(reader, value);
}

// An empty path names nothing (resolved, it would name the root itself).
Ref<FolderItem> ResolveIfGiven(CORVstring path) {
  return path ? ResolvePath(RepositoryRoot, String::Share(path)) : nullptr;
}

void ResolveProjectPaths(const Ref<Project> &project) {
  // A block without "File" then fails the check as a missing project file.
  corv::Assign(&project->file, ResolveIfGiven(project->path));
  corv::Assign(&project->postBuildScript, ResolveIfGiven(project->postBuildScriptPath));
  corv::Assign(&project->prebuildScript, ResolveIfGiven(project->prebuildScriptPath));
  corv::Assign(&project->plistFile, ResolveIfGiven(project->plistPath));
}

String RevisionOf(const Ref<Project> &project) {
  return SourceControl::GetRevision(Ref<FolderItem>::Share(project->file)->Parent());
}

// Everything after the file has been opened: the lines, then the paths,
// the project-file check and the revisions.
bool ReadOpenedFile(const Ref<corv::TextInputStream> &stream, Reader &reader) {
  while (!stream->EndOfFile()) ProcessLine(reader, stream->ReadLine());
  stream->Close();
  int32_t last = Projects.UBound();
  for (int32_t i = 0; i <= last; ++i) ResolveProjectPaths(Projects(i));
  for (int32_t i = 0; i <= last; ++i) {
    Ref<Project> project = Projects(i);
    Ref<FolderItem> file = Ref<FolderItem>::Share(project->file);
    if (!file || !file->Exists()) {
      corv::StdErr()->WriteLine(String("Error: Project file could not be found: ") +
                                String::Share(project->path));
      return false;
    }
  }
  if (!reader.buildsDirectory.empty())
    BuildsDirectory = ResolvePath(RepositoryRoot, reader.buildsDirectory);
  if (!reader.postBuildScript.empty())
    PostBuildScript = ResolvePath(RepositoryRoot, reader.postBuildScript);
  if (!reader.preBuildScript.empty())
    PreBuildScript = ResolvePath(RepositoryRoot, reader.preBuildScript);
  for (int32_t i = 0; i <= last; ++i) {
    Ref<Project> project = Projects(i);
    String revision = RevisionOf(project);
    corv::Assign(&project->revision, revision);
    reader.variables->Value("%svnrevision%", revision);
    auto expand = [&](const String &value) { return ExpandReaderVariables(reader, value); };
    ExpandValues(Ref<Dictionary>::Share(project->properties), expand);
    ExpandValues(Ref<Dictionary>::Share(project->constants), expand);
  }
  return true;
}

}  // namespace

bool ReadConfiguration() {
  Reader reader;
  reader.keys = Dictionary::New();
  for (size_t i = 0; i < std::size(kKeys); ++i)
    reader.keys->Value(kKeys[i].name, static_cast<int32_t>(i));
  reader.variables = Dictionary::New();
  if (!ConfigFile) ConfigFile = FindConfigFile();
  if (!ConfigFile) return false;
  Ref<corv::TextInputStream> stream = ConfigFile->OpenAsTextFile();
  if (!stream) return false;
  Ref<corv::Date> today = corv::Date::New();
  reader.variables->Value("%today.date%", today->SQLDate());
  reader.variables->Value("%today.datetime%", today->SQLDateTime());
  RepositoryRoot = ConfigFolder();
  if (!Projects) Projects = corv::NewArray<Project *>();
  bool ok = false;
  // A project key outside a block, a path that leaves no folder to resolve
  // against, or variables that expand beyond any sensible length, is a
  // broken configuration, not a crash of the run.
  Ref<CORVexception> failure;
  Ref<CORVexception> tooLong = corv::Catch(&kOutOfMemoryExceptionDecl, [&] {
    failure = corv::Catch(&kNilObjectExceptionDecl, [&] { ok = ReadOpenedFile(stream, reader); });
  });
  if (tooLong) failure = tooLong;
  if (failure) {
    corv::StdErr()->WriteLine("Error: Exception while reading in the config file.");
    return false;
  }
  return ok;
}

bool ReadConfigurationFrom(const Ref<FolderItem> &file) {
  Clear();
  ConfigFile = file;
  return ReadConfiguration();
}

void Clear() {
  ConfigFile = CorvanePath = RepositoryRoot = nullptr;
  BuildsDirectory = PostBuildScript = PreBuildScript = nullptr;
  CorvaneLaunchTimeout = 0;
  SVNUpdate = Donated = FailOnProjectError = false;
  Projects = nullptr;
}

Ref<FolderItem> FindConfigFile() {
  return FindConfigFileFrom(corv::GetFolderItem(String()));
}

Ref<FolderItem> FindConfigFileFrom(Ref<FolderItem> folder) {
  while (folder) {
    Ref<FolderItem> candidate = folder->Child("kilnrun.conf");
    if (candidate && candidate->Exists()) return candidate;
    folder = folder->Parent();
  }
  return nullptr;
}

Ref<FolderItem> ResolvePath(const Ref<FolderItem> &base, const String &path) {
  if (InStr(path, ":\\") > 0) return corv::GetFolderItem(path);  // a Windows drive path
  // Colons separate folders in classic paths.
  String replaced = ReplaceAll(path, ":", "/");
  corv::StringArray parts = Split(replaced, "/");
  Ref<FolderItem> result = base;
  int32_t first = 0;
  if (Left(replaced, 1) == "/") {
    result = corv::Volume(0);
    first = 1;
  } else if (Left(replaced, 1) == "~") {
    result = corv::GetSpecialFolder(0, 1041);  // the home folder: none here
    first = 1;
  }
  int32_t last = parts.UBound();
  for (int32_t i = first; i <= last; ++i) {
    String part = parts(i);
    if (part.empty() || part == ".") continue;
    if (!result) RaiseNilObjectException();  // a relative path with no base
    result = part == ".." ? result->Parent() : result->Child(part);
    if (!result) break;
  }
  if (!result) {
    corv::Catch(&kUnsupportedFormatExceptionDecl, [&] { result = corv::GetFolderItem(replaced); });
  }
  return result;
}

String ExpandVariables(const Ref<Dictionary> &variables, const String &text) {
  String expanded = text;
  int32_t count = variables->Count();
  int64_t work = 0;  // unbounded: the caller's texts are its own
  for (int32_t i = 0; i < count; ++i) ReplaceVariable(variables, i, &expanded, &work);
  return expanded;
}

void ExpandDictionary(const Ref<Dictionary> &target, const Ref<Dictionary> &variables) {
  ExpandValues(target, [&](const String &value) { return ExpandVariables(variables, value); });
}

bool PlatformMatches(const String &tag) {
  if (tag.empty()) return true;
  if (corv::TargetWin32()) return tag == "windows" || tag == "win";
  if (corv::TargetLinux()) return tag == "linux";
  if (corv::TargetMacOS()) return tag == "mac" || tag == "macos";
  return false;
}

}  // namespace kilnrun::BuildConfig
