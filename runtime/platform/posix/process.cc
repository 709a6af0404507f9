// POSIX: programs and command lines (through /bin/sh -c) by posix_spawn.
#include "platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char **environ;

namespace corv::platform {

namespace {

CommandResult Run(const char *path, const char *const *argv) {
  CommandResult result;
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
    result.error = errno;
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  pid_t pid = 0;
  int error;
  do {
    error = posix_spawn(&pid, path, &actions, nullptr, const_cast<char **>(argv), environ);
  } while (error == EINTR);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  if (error != 0) {
    close(pipeEnds[0]);
    result.error = error;
    return result;
  }
  result.started = true;
  result.pid = static_cast<int>(pid);
  char buffer[65536];
  while (true) {
    ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    result.output.append(buffer, static_cast<size_t>(got));
  }
  close(pipeEnds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace

CommandResult RunCommandLine(const std::string &command) {
  const char *argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  return Run(argv[0], argv);
}

CommandResult RunProgram(const std::vector<std::string> &arguments) {
  if (arguments.empty()) {
    CommandResult none;
    none.error = ENOENT;
    return none;
  }
  std::vector<const char *> argv;
  for (const std::string &argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  return Run(argv[0], argv.data());
}

}  // namespace corv::platform
