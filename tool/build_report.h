// The record of one build run, project by project, and what is made of it
// at the end: the exit status that --strict asks for and the JUnit report
// that CI servers read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "corv/array.h"
#include "corv/ref.h"
#include "corv/string.h"
#include "project.h"
#include "run_options.h"

namespace kilnrun {

/// What became of one project's build.
struct ProjectResult {
  int32_t index = 0;           // the project's place in BuildConfig::Projects
  corv::String name;           // the project file's name, as announced
  corv::String folder;         // the folder part of its "File" path as written
  corv::String revision;       // "" when unknown
  uint32_t started = 0;        // Ticks at the announcement
  double seconds = 0;          // the build's time, once it has ended
  bool ended = false;          // false while it builds, and for good when the run ends inside it
  corv::String failureType;    // "" for a build that succeeded
  corv::String failure;        // the error line of a failed build
  corv::String detail;         // what the report adds to the error line
  corv::StringArray products;  // "name -> where it went", one per product
};

/// How a run ended.
enum class RunEnd {
  kCompleted,      // "Build complete"
  kConfiguration,  // the configuration could not be read, or chose no project
  kIDE,            // the IDE could not be found or did not answer
  kException,      // an exception nothing caught
  kInterrupted,    // a signal ended it
};

/// The run so far. One per process; the driver fills it as it goes.
struct BuildRun {
  RunOptions options;
  uint32_t started = 0;    // Ticks at the start
  corv::String startedAt;  // local date and time of the start
  bool configurationRead = false;
  std::vector<ProjectResult> results;  // in build order
  bool finished = false;               // FinishRun has run

  /// A project's build begins: its announcement is the moment it starts.
  ProjectResult &Begin(int32_t index, const corv::Ref<Project> &project);
  /// The project being built has failed with `line` (already on standard error).
  void Fail(const char *type, const corv::String &line, const corv::String &detail);
  /// The project being built has ended.
  void End();
  bool AnyProjectFailed() const;
  /// Forgets everything (for tests; the process has one run).
  void Clear();
};

/// The current run.
BuildRun &ThisRun();

/// The one call on every way out of the run: writes the report when one
/// was asked for and gives the exit status. `status` is the one the way
/// out has; a completed run under --strict (or "FailOnProjectError true")
/// with a failed project gives 2, and a report that cannot be written turns
/// 0 into 1. `line` is the error line that ended the run (empty when it
/// completed). Runs once; a later call only gives `status` back.
int32_t FinishRun(int32_t status, RunEnd end, const corv::String &line = corv::String());

/// The JUnit XML document of the run as it stands.
std::string JUnitReport(const BuildRun &run, RunEnd end, const corv::String &line);

/// `text` as XML character data or attribute value, UTF-8: markup
/// characters and both quotes as references, bytes that are not UTF-8 and
/// characters XML does not allow as U+FFFD.
void AppendXmlText(std::string *out, std::string_view text);

}  // namespace kilnrun
