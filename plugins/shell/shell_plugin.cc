// The shell plugin: the Shell class, which runs a command line through the
// system's command interpreter and hands back its standard output.
//
// Every mode runs synchronously: Execute returns when the interpreter has
// exited, so a Shell is never running between calls and Write, WriteLine
// raise ShellNotRunningException.
#include "corv/plugin_definition.h"
#include "platform/process.h"
#include "plugin_runtime.h"
#include "shell_instance.h"

namespace {

plugin::Runtime gRuntime;

CORVshellData *Data(CORVobject self) {
  return reinterpret_cast<CORVshellData *>(reinterpret_cast<char *>(self) +
                                           sizeof(CORVobjectHeader));
}

void ShellConstructor(CORVobject self) {
  CORVshellData *data = Data(self);
  data->timeOut = -1;
  data->pid = 0;
  data->mode = 0;
  data->errorCode = 0;
  data->isRunning = false;
  data->result = nullptr;
  data->readPosition = 0;
}

void ShellDestructor(CORVobject self) {
  CORVshellData *data = Data(self);
  gRuntime.UnlockString(data->result);
  data->result = nullptr;
}

void Run(CORVobject self, const std::string &command) {
  CORVshellData *data = Data(self);
  corv::platform::CommandResult outcome = corv::platform::RunCommandLine(command);
  if (!outcome.started) {
    data->errorCode = outcome.error;
    gRuntime.Raise("ShellNotAvailableException",
                   "The command interpreter /bin/sh could not be started.", outcome.error);
    return;
  }
  data->pid = outcome.pid;
  data->errorCode = outcome.exitStatus;
  data->isRunning = false;
  gRuntime.UnlockString(data->result);
  data->result = gRuntime.MakeString(outcome.output, kEncodingUTF8);
  data->readPosition = 0;
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
  CORVshellData *data = Data(self);
  std::string all = plugin::Text(data->result);
  std::string unread = data->readPosition < all.size() ? all.substr(data->readPosition) : "";
  data->readPosition = static_cast<uint32_t>(all.size());
  return gRuntime.MakeString(unread, kEncodingUTF8);
}

void RequireRunning(CORVobject self) {
  if (!Data(self)->isRunning)
    gRuntime.Raise("ShellNotRunningException", "The shell is not running.", 0);
}

void Write(CORVobject self, CORVstring) {
  RequireRunning(self);
}

void WriteLine(CORVobject self, CORVstring) {
  RequireRunning(self);
}

void Close(CORVobject self) {
  Data(self)->isRunning = false;  // nothing runs between calls
}

void Poll(CORVobject) {}

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
  return gRuntime.LockString(Data(self)->result);
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
                                                  .DataSize(sizeof(CORVshellData))
                                                  .Constructor(&ShellConstructor)
                                                  .Destructor(&ShellDestructor)
                                                  .Properties(kProperties)
                                                  .Methods(kMethods);

const CORVpluginClassDefinition kNotRunningClass =
    corv::PluginClass("ShellNotRunningException").Super("RuntimeException");
const CORVpluginClassDefinition kNotAvailableClass =
    corv::PluginClass("ShellNotAvailableException").Super("RuntimeException");

}  // namespace

extern "C" __attribute__((visibility("default"))) void CORVPluginMain(CORVPluginResolver resolver) {
  if (!gRuntime.Resolve(resolver)) return;
  gRuntime.RegisterVersion(4);
  gRuntime.RegisterClass(&kNotRunningClass);
  gRuntime.RegisterClass(&kNotAvailableClass);
  gRuntime.RegisterClass(&kShellClass);
}
