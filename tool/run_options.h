// The options for CI servers: a failing exit status when a project failed,
// a JUnit report, and the choice of projects to build. A command line that
// gives none of them runs exactly as it always has.
#pragma once

#include "argument_processor.h"
#include "corv/array.h"
#include "corv/folder_item.h"
#include "corv/ref.h"
#include "corv/string.h"

namespace kilnrun {

/// The CI options of one run, as the command line gave them.
struct RunOptions {
  enum class Strict { kAsConfigured, kOn, kOff };
  Strict strict = Strict::kAsConfigured;  // --strict[=true|false]
  corv::Ref<corv::FolderItem> report;     // --report=FILE; nil: no report
  corv::String reportPath;                // as given, for messages
  corv::StringArray projectPatterns;      // --project=PATTERN, repeated; nil: every project
};

/// Takes "strict", "report" and "project" (one or two hyphens, the value
/// after "=" or in the next argument) out of `arguments`, so that the usual
/// rule then finds the configuration file among the rest. A flag takes no
/// value but an on/off word (true/false, yes/no, on/off, 1/0): any other
/// argument the parser gave "strict" goes back among the rest. False, with an error line, for an
/// option without its value or a report whose folder does not exist.
bool TakeRunOptions(ArgumentProcessor *arguments, RunOptions *options);

/// Whether `text` matches the shell-style `pattern`, letter case ignored:
/// "*" any run of characters ("/" included), "?" one character, "[...]" one
/// of a set with ranges such as "a-z", "[!...]" or "[^...]" one not in it.
/// A "[" without its "]" stands for itself.
bool PatternMatches(const corv::String &pattern, const corv::String &text);

/// Whether a project at `path` (its "File" as written) is to be built.
bool SelectsProject(const RunOptions &options, const corv::String &path);

}  // namespace kilnrun
