// The project copy and the application-class copy on any project and class
// file: preparing ends, the project's file becomes a "TempKR" copy next to
// the project when it succeeds, and Cleanup(true) removes every "TempKR"
// file again while the project and class files stay as they were.
//
// Input: flags (the five target bits), a count byte and that many property
// key and value strings, a count byte and that many constant name and value
// strings, the application class name (a string; empty means "App"), then
// the project file's bytes and the class file's bytes. They are written as
// "project.cvvcp" and "App.cvvcc" into a scratch folder that goes after the
// input; a "Class" line may name the class file, or anything else on the
// disk, which is only read. No pre-build script is set, so nothing is run,
// and Cleanup never talks to an IDE when it keeps the windows.
#include <string>
#include <string_view>

#include "corv/dictionary.h"
#include "corv/variant.h"
#include "fuzz_input.h"
#include "project.h"
#include "scratch_folder.h"

using corv::FolderItem;
using corv::Ref;
using corv::String;
using corv::fuzz::Require;
using kilnrun::Project;

namespace {

void ReadEntries(corv::fuzz::FuzzInput &in, corv::Dictionary *dictionary) {
  int count = in.Byte() % 4;
  for (int i = 0; i < count; ++i) {
    String key = in.NextString();
    String value = in.NextString();
    Ref<corv::Dictionary>::Share(dictionary)->Value(key, value);
  }
}

std::string Bytes(const Ref<FolderItem> &file) {
  Ref<corv::BinaryStream> in = file->OpenAsBinaryFile(false);
  Require(bool(in), "a scratch file stays readable");
  std::string bytes(in->Read(static_cast<int32_t>(in->Length())).view());
  in->Close();
  return bytes;
}

int32_t TemporaryFiles(const Ref<FolderItem> &folder) {
  int32_t found = 0;
  for (int32_t i = folder->Count(); i >= 1; --i)
    if (corv::Left(folder->TrueItem(i)->Name(), 6) == "TempKR") ++found;
  return found;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  corv::fuzz::TrapFailureReports();
  corv::fuzz::FuzzInput in(data, size);
  Ref<Project> project = Project::New();
  uint8_t flags = in.Flags();
  project->buildLinux = flags & 1;
  project->buildWindows = flags & 2;
  project->buildMacPPC = flags & 4;
  project->buildMacIntel = flags & 8;
  project->buildMacUB = flags & 16;
  ReadEntries(in, project->properties);
  ReadEntries(in, project->constants);
  String appClass = in.NextString();
  if (!appClass.empty()) corv::Assign(&project->appClassName, appClass);
  std::string_view projectBytes = in.Bytes();
  std::string_view classBytes = in.Bytes();

  corv::fuzz::ScratchFolder scratch;
  Ref<FolderItem> projectFile = scratch.Write("project.cvvcp", projectBytes);
  Ref<FolderItem> classFile = scratch.Write("App.cvvcc", classBytes);
  corv::Assign(&project->file, projectFile);

  bool prepared = false;
  corv::fuzz::IgnoringLanguageExceptions([&] { prepared = project->PrepareForBuild(); });
  Ref<FolderItem> copy = Ref<FolderItem>::Share(project->file);
  if (prepared) {
    Require(corv::Left(copy->Name(), 6) == "TempKR" && copy->Exists(),
            "a prepared project builds from a TempKR copy");
    Require(copy->Parent()->AbsolutePath() == projectFile->Parent()->AbsolutePath(),
            "the copy lies next to the project");
  }
  project->Cleanup(true);
  Require(TemporaryFiles(scratch.folder()) == 0, "Cleanup removes every TempKR file");
  Require(Bytes(projectFile) == projectBytes && Bytes(classFile) == classBytes,
          "the project and class files stay as they were");
  return 0;
}
