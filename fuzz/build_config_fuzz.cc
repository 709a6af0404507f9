// The configuration reader on any file: reading ends, what it accepts has a
// project file behind every project, and it leaves nothing set after Clear.
//
// The input is the file's text. It is written as "kilnrun.conf" into a
// scratch folder that also holds "app.cvvcp", so that a "File app.cvvcp"
// line names a project that exists; the folder goes after the read. Paths in the file may name
// anything on the disk: reading only resolves them and asks whether they exist. No command is ever
// run: the Subversion tools are forgotten before each read (and the configured folder after it),
// and the shell plugin is never loaded, so the revision step's command raises
// FunctionNotFoundException instead of starting a process even when a line names a folder holding
// svn.
#include <string_view>

#include "build_config.h"
#include "fuzz_input.h"
#include "scratch_folder.h"
#include "source_control.h"

using corv::FolderItem;
using corv::Ref;
using corv::String;
using corv::fuzz::Require;
namespace BuildConfig = kilnrun::BuildConfig;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  corv::fuzz::TrapFailureReports();
  corv::fuzz::ScratchFolder scratch;
  scratch.Write("app.cvvcp", "Type=Console\n");
  Ref<FolderItem> config =
      scratch.Write("kilnrun.conf", std::string_view(reinterpret_cast<const char *>(data), size));

  kilnrun::SourceControl::ForgetTools();
  corv::fuzz::IgnoringLanguageExceptions([&] {
    if (!BuildConfig::ReadConfigurationFrom(config)) return;
    Require(bool(BuildConfig::Projects), "an accepted configuration has a project list");
    for (int32_t i = 0; i <= BuildConfig::Projects.UBound(); ++i) {
      Ref<kilnrun::Project> project = BuildConfig::Projects(i);
      Ref<FolderItem> file = Ref<FolderItem>::Share(project->file);
      Require(file && file->Exists(), "an accepted project's file exists");
    }
  });
  kilnrun::SourceControl::ForgetTools();
  BuildConfig::Clear();
  Require(!BuildConfig::ConfigFile && !BuildConfig::Projects && !BuildConfig::RepositoryRoot,
          "Clear leaves nothing set");
  return 0;
}
