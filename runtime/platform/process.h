// Running a command line through the system's command interpreter, or a
// program directly: to the end in one call, or as a child process that the
// caller looks after while it runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/result.h"

namespace corv::platform {

struct CommandResult {
  bool started = false;  // false: the interpreter could not be started
  int error = 0;         // the system error when it could not be started
  int exitStatus = 0;    // the interpreter's exit status (128 + signal when killed)
  int pid = 0;
  std::string output;  // everything the command wrote to standard output
};

/// Runs `command` through /bin/sh -c with standard input from /dev/null,
/// captures standard output whole and leaves standard error to the caller's
/// own; returns when the interpreter has exited.
CommandResult RunCommandLine(const std::string &command);
/// Runs the program at `arguments[0]` itself with those arguments, the same
/// way: standard input from /dev/null, standard output captured whole.
CommandResult RunProgram(const std::vector<std::string> &arguments);

/// A command line running as a child process, in a process group of its own
/// so that ending it ends every program it started. Its handles belong to the
/// calls below, which close them once the child is over (seen to end by
/// CollectChildOutput, or ended by EndChild); `pid` is then 0.
struct ChildProcess {
  int pid = 0;
  intptr_t output = -1;  ///< our end of its standard output; -1 once that has closed
  intptr_t input = -1;   ///< our end of its standard input; -1 when that is /dev/null
};

/// What CollectChildOutput found.
struct ChildState {
  bool ended = false;
  int exitStatus = 0;  ///< once ended: its exit status, 128 + signal when killed
};

/// Starts `command` through /bin/sh -c and returns at once. Standard output
/// is captured; standard input is a connection that WriteChildInput feeds
/// when `withInput`, /dev/null otherwise; standard error is the caller's own.
Result<ChildProcess> StartCommandLine(const std::string &command, bool withInput);
/// Appends to `output` what the child has written, waiting up to
/// `milliseconds` (0: not at all; negative: as long as it takes) for it to
/// end, which it has when its output has closed and its process has exited.
/// An ended child has been reaped. A failure (the child could not be waited
/// for) also leaves the child over, its exit status unknown.
Result<ChildState> CollectChildOutput(ChildProcess *child, std::string *output,
                                      int32_t milliseconds);
/// Writes all of `bytes` to the child's standard input, collecting its
/// output into `output` meanwhile so that neither side waits on the other.
/// Fails with EPIPE once the child no longer reads its input.
Status WriteChildInput(ChildProcess *child, const std::string &bytes, std::string *output);
/// Ends a child that has not ended: closes its input and output, asks every
/// process of its group to terminate, kills those left after a short grace,
/// and reaps the child. Gives its exit status (a failure: it could not be
/// reaped).
Result<int> EndChild(ChildProcess *child);

}  // namespace corv::platform
