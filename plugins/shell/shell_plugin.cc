// The shell plugin: the Shell class, which runs a command line through the
// system's command interpreter and hands back its standard output, waiting
// for it to finish (mode 0) or looking after it while it runs (modes 1 and
// 2, polled from the event loop through a background task). corv_shell.h
// states what each member does.
#include <string>

#include "corv/plugin_definition.h"
#include "corv_shell.h"
#include "platform/process.h"
#include "plugin_runtime.h"

namespace {

using plugin::gRuntime;

using corv::platform::ChildProcess;
using corv::platform::Result;

// Object memory arrives zeroed and is set up by the constructor.
struct ShellData {
  int32_t timeOut;  // milliseconds; 0 or less: none
  int32_t pid;
  int32_t mode;
  int32_t errorCode;
  bool isRunning;    // a command of mode 1 or 2 runs and `child` is it
  int32_t pollTask;  // the background task polling `child`, 0 when none
  ChildProcess child;
  std::string *output;  // all output of the last command; null before the first
  size_t readPosition;  // how much of it ReadAll has handed out
};
static_assert(sizeof(ShellData) <= CORV_SHELL_DATA_SIZE, "the published size holds the data");

ShellData *Data(CORVobject self) {
  return reinterpret_cast<ShellData *>(reinterpret_cast<char *>(self) + sizeof(CORVobjectHeader));
}

void ShellConstructor(CORVobject self) {
  ShellData *data = Data(self);
  data->timeOut = -1;
  data->pid = 0;
  data->mode = kShellSynchronous;
  data->errorCode = 0;
  data->isRunning = false;
  data->pollTask = 0;
  data->child = ChildProcess{};
  data->output = nullptr;
  data->readPosition = 0;
}

void StopPolling(ShellData *data) {
  if (data->pollTask != 0) gRuntime.UnregisterBackgroundTask(data->pollTask);
  data->pollTask = 0;
}

// The command has ended, with this exit status or the error of waiting for it.
void Ended(ShellData *data, const Result<int> &outcome) {
  StopPolling(data);
  data->isRunning = false;
  data->errorCode = outcome.ok() ? outcome.value : outcome.error;
}

// Collects the running command's output and sees whether it has ended.
void Collect(ShellData *data) {
  auto state = corv::platform::CollectChildOutput(&data->child, data->output, 0);
  if (!state.ok())
    Ended(data, Result<int>::Failure(state.error));
  else if (state.value.ended)
    Ended(data, Result<int>::Success(state.value.exitStatus));
}

// Ends a running command, keeping the output it wrote until now.
void EndCommand(ShellData *data) {
  if (!data->isRunning) return;
  Collect(data);
  if (data->isRunning) Ended(data, corv::platform::EndChild(&data->child));
}

void ShellDestructor(CORVobject self) {
  ShellData *data = Data(self);
  EndCommand(data);
  delete data->output;
  data->output = nullptr;
}

void Poll(CORVobject self) {
  ShellData *data = Data(self);
  if (data->isRunning) Collect(data);
}

void PollTask(void *self) {
  Poll(static_cast<CORVobject>(self));
}

void RaiseNotAvailable(int error) {
  gRuntime.Raise("ShellNotAvailableException",
                 "The command interpreter /bin/sh could not be started.", error);
}

// Mode 0: to the end, or to the TimeOut.
void RunToEnd(ShellData *data, const std::string &command) {
  if (data->timeOut <= 0) {
    corv::platform::CommandResult outcome = corv::platform::RunCommandLine(command);
    data->pid = outcome.pid;
    data->errorCode = outcome.started ? outcome.exitStatus : outcome.error;
    if (!outcome.started) return RaiseNotAvailable(outcome.error);
    *data->output = std::move(outcome.output);
    return;
  }
  auto started = corv::platform::StartCommandLine(command, false);
  if (!started.ok()) {
    data->errorCode = started.error;
    return RaiseNotAvailable(started.error);
  }
  ChildProcess child = started.value;
  data->pid = child.pid;
  auto state = corv::platform::CollectChildOutput(&child, data->output, data->timeOut);
  if (!state.ok())
    data->errorCode = state.error;
  else if (state.value.ended)
    data->errorCode = state.value.exitStatus;
  else {
    corv::platform::EndChild(&child);
    data->errorCode = CORV_SHELL_TIMED_OUT;
  }
}

// Modes 1 and 2: started, then polled from the event loop.
void Start(CORVobject self, const std::string &command) {
  ShellData *data = Data(self);
  auto started = corv::platform::StartCommandLine(command, data->mode == kShellInteractive);
  if (!started.ok()) {
    data->errorCode = started.error;
    return RaiseNotAvailable(started.error);
  }
  data->child = started.value;
  data->pid = data->child.pid;
  data->isRunning = true;
  data->pollTask = gRuntime.RegisterBackgroundTask(&PollTask, self, 0, false);
}

void Run(CORVobject self, const std::string &command) {
  ShellData *data = Data(self);
  EndCommand(data);
  if (!data->output) data->output = new std::string;
  data->output->clear();
  data->readPosition = 0;
  data->pid = 0;
  data->errorCode = 0;
  if (data->mode == kShellAsynchronous || data->mode == kShellInteractive)
    Start(self, command);
  else
    RunToEnd(data, command);
}

void Execute(CORVobject self, CORVstring command) {
  Run(self, plugin::Text(command));
}

void ExecuteWithParameters(CORVobject self, CORVstring command, CORVstring parameters) {
  std::string line = plugin::Text(command);
  if (parameters && parameters->length > 0) line += " " + plugin::Text(parameters);
  Run(self, line);
}

CORVstring ReadAll(CORVobject self) {
  Poll(self);
  ShellData *data = Data(self);
  if (!data->output) return nullptr;
  std::string unread = data->output->substr(data->readPosition);
  data->readPosition = data->output->size();
  return corv::String(unread, kEncodingUTF8).Leak();
}

void Send(CORVobject self, const std::string &bytes) {
  Poll(self);  // a command that has ended since the last poll is not running
  ShellData *data = Data(self);
  if (!data->isRunning || data->child.input < 0)
    return gRuntime.Raise("ShellNotRunningException", "No interactive command is running.", 0);
  corv::platform::Status written =
      corv::platform::WriteChildInput(&data->child, bytes, data->output);
  if (!written.ok())
    gRuntime.Raise("ShellNotRunningException", "The command no longer reads its input.",
                   written.error);
}

void Write(CORVobject self, CORVstring s) {
  Send(self, plugin::Text(s));
}

void WriteLine(CORVobject self, CORVstring s) {
  Send(self, plugin::Text(s) + "\n");
}

void Close(CORVobject self) {
  EndCommand(Data(self));
}

int32_t GetTimeOut(CORVobject self) {
  return Data(self)->timeOut;
}
void SetTimeOut(CORVobject self, int32_t value) {
  Data(self)->timeOut = value;
}
int32_t GetPID(CORVobject self) {
  return Data(self)->pid;
}
int32_t GetMode(CORVobject self) {
  return Data(self)->mode;
}
void SetMode(CORVobject self, int32_t value) {
  Data(self)->mode = value;
}
int32_t GetErrorCode(CORVobject self) {
  return Data(self)->errorCode;
}
bool GetIsRunning(CORVobject self) {
  return Data(self)->isRunning;
}
CORVstring GetResult(CORVobject self) {
  const std::string *output = Data(self)->output;
  return output ? corv::String(*output, kEncodingUTF8).Leak() : nullptr;
}

template <class F>
void *Code(F f) {
  return reinterpret_cast<void *>(f);
}

const CORVpluginMethodDefinition kMethods[] = {
    {"Execute(command as String)", Code(&Execute)},
    {"Execute(command as String, parameters as String)", Code(&ExecuteWithParameters)},
    {"ReadAll() as String", Code(&ReadAll)},
    {"Write(s as String)", Code(&Write)},
    {"WriteLine(s as String)", Code(&WriteLine)},
    {"Close", Code(&Close)},
    {"Poll", Code(&Poll)},
};

const CORVpluginPropertyDefinition kProperties[] = {
    {"TimeOut", "i4", Code(&GetTimeOut), Code(&SetTimeOut)},
    {"PID", "i4", Code(&GetPID), nullptr},
    {"Mode", "i4", Code(&GetMode), Code(&SetMode)},
    {"ErrorCode", "i4", Code(&GetErrorCode), nullptr},
    {"IsRunning", "b", Code(&GetIsRunning), nullptr},
    {"Result", "s", Code(&GetResult), nullptr},
};

const CORVpluginClassDefinition kShellClass = corv::PluginClass("Shell")
                                                  .DataSize(CORV_SHELL_DATA_SIZE)
                                                  .Constructor(&ShellConstructor)
                                                  .Destructor(&ShellDestructor)
                                                  .Properties(kProperties)
                                                  .Methods(kMethods);

const CORVpluginClassDefinition kNotRunningClass =
    corv::PluginClass("ShellNotRunningException").Super("RuntimeException");
const CORVpluginClassDefinition kNotAvailableClass =
    corv::PluginClass("ShellNotAvailableException").Super("RuntimeException");

}  // namespace

extern "C" CORV_PLUGIN_EXPORT void CORVPluginMain(CORVPluginResolver resolver) {
  if (!gRuntime.Resolve(resolver)) return;
  gRuntime.RegisterVersion(4);
  gRuntime.RegisterClass(&kNotRunningClass);
  gRuntime.RegisterClass(&kNotAvailableClass);
  gRuntime.RegisterClass(&kShellClass);
}
