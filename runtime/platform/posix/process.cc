// POSIX: programs and command lines (through /bin/sh -c) by posix_spawn, and
// children looked after while they run: output read without blocking,
// input through a socket pair, exit seen by waitpid, ending by signals to
// the child's process group.
#include "platform/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

extern char **environ;

namespace corv::platform {

namespace {

// How long EndChild gives the processes it asked to terminate.
constexpr int kEndGraceMilliseconds = 100;

int ExitStatus(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int Spawn(pid_t *pid, const char *path, const char *const *argv,
          const posix_spawn_file_actions_t *actions, const posix_spawnattr_t *attributes) {
  int error;
  do {
    error = posix_spawn(pid, path, actions, attributes, const_cast<char **>(argv), environ);
  } while (error == EINTR);
  return error;
}

int WaitFor(pid_t pid, int *status, int options) {
  pid_t got;
  do got = waitpid(pid, status, options);
  while (got < 0 && errno == EINTR);
  return got;
}

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
  int error = Spawn(&pid, path, argv, &actions, nullptr);
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
  WaitFor(pid, &status, 0);
  result.exitStatus = ExitStatus(status);
  return result;
}

int Fd(intptr_t handle) {
  return static_cast<int>(handle);
}

int64_t MonotonicMilliseconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void SleepOneMillisecond() {
  timespec pause = {0, 1000000};
  nanosleep(&pause, nullptr);
}

void CloseHandles(ChildProcess *child) {
  if (child->input >= 0) close(Fd(child->input));
  if (child->output >= 0) close(Fd(child->output));
  child->input = -1;
  child->output = -1;
}

// Reads what the child's output holds now; closes it at its end (a read
// error ends it too: nothing more can come through it).
void Drain(ChildProcess *child, std::string *output) {
  char buffer[65536];
  while (child->output >= 0) {
    ssize_t got = read(Fd(child->output), buffer, sizeof buffer);
    if (got > 0) {
      output->append(buffer, static_cast<size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
    close(Fd(child->output));
    child->output = -1;
  }
}

// Reaps the child if it has exited, waiting for that when `wait`.
Result<ChildState> Reap(ChildProcess *child, bool wait) {
  int status = 0;
  pid_t got = WaitFor(child->pid, &status, wait ? 0 : WNOHANG);
  if (got == 0) return Result<ChildState>::Success(ChildState{});
  int error = got < 0 ? errno : 0;
  CloseHandles(child);
  child->pid = 0;
  if (error != 0) return Result<ChildState>::Failure(error);
  return Result<ChildState>::Success(ChildState{true, ExitStatus(status)});
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

Result<ChildProcess> StartCommandLine(const std::string &command, bool withInput) {
  int outputEnds[2];
  if (pipe2(outputEnds, O_CLOEXEC) != 0) return Result<ChildProcess>::Failure(errno);
  // A socket rather than a pipe for the input: writing to a child that has
  // closed it then fails with EPIPE instead of raising SIGPIPE in the whole
  // process.
  int inputEnds[2] = {-1, -1};
  if (withInput && socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, inputEnds) != 0) {
    int error = errno;
    close(outputEnds[0]);
    close(outputEnds[1]);
    return Result<ChildProcess>::Failure(error);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (withInput)
    posix_spawn_file_actions_adddup2(&actions, inputEnds[1], STDIN_FILENO);
  else
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outputEnds[1], STDOUT_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  const char *argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
  pid_t pid = 0;
  int error = Spawn(&pid, argv[0], argv, &actions, &attributes);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(outputEnds[1]);
  if (withInput) close(inputEnds[1]);
  if (error != 0) {
    close(outputEnds[0]);
    if (withInput) close(inputEnds[0]);
    return Result<ChildProcess>::Failure(error);
  }
  fcntl(outputEnds[0], F_SETFL, O_NONBLOCK);
  if (withInput) fcntl(inputEnds[0], F_SETFL, O_NONBLOCK);
  return Result<ChildProcess>::Success(ChildProcess{pid, outputEnds[0], inputEnds[0]});
}

Result<ChildState> CollectChildOutput(ChildProcess *child, std::string *output,
                                      int32_t milliseconds) {
  if (child->pid == 0) return Result<ChildState>::Failure(ECHILD);
  int64_t deadline = MonotonicMilliseconds() + milliseconds;
  while (true) {
    Drain(child, output);
    if (child->output < 0) {
      Result<ChildState> state = Reap(child, milliseconds < 0);
      if (!state.ok() || state.value.ended) return state;
    }
    int64_t left = milliseconds < 0 ? -1 : deadline - MonotonicMilliseconds();
    if (milliseconds >= 0 && left <= 0) return Result<ChildState>::Success(ChildState{});
    if (child->output >= 0) {
      pollfd ready = {Fd(child->output), POLLIN, 0};
      poll(&ready, 1, static_cast<int>(left));  // EINTR: looked at again
    } else {
      SleepOneMillisecond();  // output closed before the process exited
    }
  }
}

Status WriteChildInput(ChildProcess *child, const std::string &bytes, std::string *output) {
  if (child->input < 0) return Status{EPIPE};
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t sent = send(Fd(child->input), bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (sent >= 0) {
      done += static_cast<size_t>(sent);
      continue;
    }
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return Status{errno};
    // Its input is full: read its output while it makes room, since it
    // may be waiting for us to do so.
    pollfd ready[2] = {{Fd(child->input), POLLOUT, 0}, {Fd(child->output), POLLIN, 0}};
    poll(ready, child->output >= 0 ? 2 : 1, -1);
    Drain(child, output);
  }
  return Status{};
}

Result<int> EndChild(ChildProcess *child) {
  if (child->pid == 0) return Result<int>::Failure(ECHILD);
  pid_t pid = child->pid;
  CloseHandles(child);
  kill(-pid, SIGTERM);
  for (int waited = 0; waited < kEndGraceMilliseconds; ++waited) {
    siginfo_t info = {};
    // WNOWAIT leaves the child unreaped, so its group cannot be reused
    // before the kill below.
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) break;
    if (info.si_pid != 0) break;
    SleepOneMillisecond();
  }
  kill(-pid, SIGKILL);  // whatever is left of the group
  child->pid = 0;
  int status = 0;
  if (WaitFor(pid, &status, 0) < 0) return Result<int>::Failure(errno);
  return Result<int>::Success(ExitStatus(status));
}

}  // namespace corv::platform
