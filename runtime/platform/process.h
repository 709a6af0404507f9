// Running a command line through the system's command interpreter, or a
// program directly.
#pragma once

#include <string>
#include <vector>

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

}  // namespace corv::platform
