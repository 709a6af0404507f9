// The project copy the IDE opens, the script that opens and builds it, and
// the completion test that watches the built applications.
#include "corv/string.h"
#include "project.h"

namespace kilnrun {

using corv::FolderItem;
using corv::Ref;
using corv::String;

namespace {

// "." and the text after the last "." of `name`; "" when it has none.
String Extension(const String &name) {
  int32_t fields = corv::CountFields(name, ".");
  if (fields < 2) return String();
  return String(".") + corv::NthField(name, ".", fields);
}

}  // namespace

int32_t Project::GetBuildFlags() {
  int32_t flags = 0;
  if (buildLinux) flags += 0x80;
  if (buildWindows) flags += 0x10;
  if (buildMacPPC) flags += 0x200;
  if (buildMacIntel) flags += 0x1000;
  if (buildMacUB) flags += 0x2000;
  return flags;
}

int32_t Project::BuildCount() {
  return buildLinux + buildMacIntel + buildMacPPC + buildMacUB + buildWindows;
}

Ref<FolderItem> Project::GetTemporaryFile(const String &suffix) {
  String name = String("TempKR") + corv::Right(corv::Str(int32_t(corv::Ticks())), 4) + suffix;
  Ref<FolderItem> folder = file->Parent();
  Ref<FolderItem> candidate = folder->Child(name);
  if (!candidate->Exists()) return candidate;
  // Taken: count up before the extension, TempKR1234.cvvcp -> TempKR12342.cvvcp.
  String extension = Extension(name);
  String base = corv::Left(name, corv::Len(name) - corv::Len(extension));
  for (int32_t n = 2;; ++n) {
    candidate = folder->Child(base + corv::Str(n) + extension);
    if (!candidate->Exists()) return candidate;
  }
}

String Project::RenderBuildScript() {
  return String("OpenFile \"") + file->AbsolutePath() + "\"" + corv::Chr(10) +
         "DoCommand( \"BuildApp\" )";
}

}  // namespace kilnrun
