// Windows: command lines through cmd.exe ("cmd.exe /s /c "<command>""),
// programs by CreateProcessW with their arguments quoted as the C runtime
// splits them, standard input from NUL or a pipe, standard output through a
// pipe, standard error our own. A child handed only these three handles
// holds nothing else of ours. A started child runs in a job object of its
// own, so that ending it ends everything it started, and in a process group
// of its own, which Ctrl-Break asks to stop first.
#include "platform/process.h"

#include <windows.h>

#include <map>
#include <mutex>
#include <thread>

#include "platform/windows/wide.h"

namespace corv::platform {
namespace {

// What a started child holds besides what ChildProcess shows.
struct ChildHandles {
  HANDLE process = nullptr;
  HANDLE job = nullptr;
};
std::mutex gChildrenMutex;
std::map<int, ChildHandles> gChildren;

int LastError() {
  return static_cast<int>(GetLastError());
}

// One argument as the C runtime's splitting gives it back: quoted when it
// holds spaces, tabs or quotes (or is empty), a quote escaped, and the
// backslashes before a quote doubled.
std::wstring Quoted(const std::wstring &argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

std::wstring Interpreter() {
  wchar_t path[MAX_PATH];
  DWORD length = GetEnvironmentVariableW(L"ComSpec", path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) return path;
  UINT system = GetSystemDirectoryW(path, MAX_PATH);
  return std::wstring(path, system) + L"\\cmd.exe";
}

std::wstring InterpreterLine(const std::string &command) {
  return Quoted(Interpreter()) + L" /s /c \"" + Wide(command) + L"\"";
}

HANDLE Inheritable(HANDLE handle) {
  HANDLE copy = nullptr;
  DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                  DUPLICATE_SAME_ACCESS);
  return copy;
}

struct Pipe {
  HANDLE read = nullptr, write = nullptr;
};

// A pipe whose `childEnd` (true: the write end) the child inherits.
bool MakePipe(Pipe *pipe, bool childWrites) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  if (!CreatePipe(&pipe->read, &pipe->write, &inherit, 0)) return false;
  SetHandleInformation(childWrites ? pipe->read : pipe->write, HANDLE_FLAG_INHERIT, 0);
  return true;
}

void Close(HANDLE *handle) {
  if (*handle && *handle != INVALID_HANDLE_VALUE) CloseHandle(*handle);
  *handle = nullptr;
}

struct Started {
  PROCESS_INFORMATION info = {};
  HANDLE output = nullptr;  // our end
  HANDLE input = nullptr;   // our end, when asked for
};

// Starts the command line with its three standard handles, suspended when
// asked (to be put in a job before it runs).
Result<Started> Start(std::wstring line, bool withInput, DWORD flags) {
  Pipe out, in;
  if (!MakePipe(&out, true)) return Result<Started>::Failure(LastError());
  HANDLE childInput = nullptr;
  if (withInput) {
    if (!MakePipe(&in, false)) {
      int error = LastError();
      Close(&out.read);
      Close(&out.write);
      return Result<Started>::Failure(error);
    }
    childInput = in.read;
  } else {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    childInput = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
  }
  HANDLE childError = Inheritable(GetStdHandle(STD_ERROR_HANDLE));
  HANDLE handles[3];
  DWORD handleCount = 0;
  for (HANDLE h : {childInput, out.write, childError})
    if (h && h != INVALID_HANDLE_VALUE) handles[handleCount++] = h;

  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<char> storage(size);
  auto *attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  bool listed = InitializeProcThreadAttributeList(attributes, 1, 0, &size) &&
                UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                          handleCount * sizeof(HANDLE), nullptr, nullptr);
  STARTUPINFOEXW startup = {};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = childInput;
  startup.StartupInfo.hStdOutput = out.write;
  startup.StartupInfo.hStdError = childError;
  startup.lpAttributeList = listed ? attributes : nullptr;
  Started started;
  BOOL made = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                             flags | (listed ? EXTENDED_STARTUPINFO_PRESENT : 0), nullptr, nullptr,
                             &startup.StartupInfo, &started.info);
  int error = made ? 0 : LastError();
  if (listed) DeleteProcThreadAttributeList(attributes);
  Close(&out.write);  // the child's ends are the child's now
  Close(&childError);
  Close(&childInput);
  if (!made) {
    Close(&out.read);
    Close(&in.write);
    return Result<Started>::Failure(error);
  }
  started.output = out.read;
  started.input = in.write;
  return Result<Started>::Success(started);
}

// Reads what is there without waiting; false once the pipe has closed.
bool DrainAvailable(HANDLE pipe, std::string *output) {
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
    if (available == 0) return true;
    std::string buffer(available, '\0');
    DWORD got = 0;
    if (!ReadFile(pipe, buffer.data(), available, &got, nullptr)) return false;
    output->append(buffer, 0, got);
  }
}

void ReadToEnd(HANDLE pipe, std::string *output) {
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
    output->append(buffer, got);
}

CommandResult RunLine(std::wstring line) {
  CommandResult result;
  Result<Started> started = Start(std::move(line), false, 0);
  if (!started.ok()) {
    result.error = started.error;
    return result;
  }
  result.started = true;
  result.pid = static_cast<int>(started.value.info.dwProcessId);
  ReadToEnd(started.value.output, &result.output);
  WaitForSingleObject(started.value.info.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(started.value.info.hProcess, &code);
  result.exitStatus = static_cast<int>(code);
  Close(&started.value.output);
  Close(&started.value.info.hProcess);
  Close(&started.value.info.hThread);
  return result;
}

ChildHandles Forget(ChildProcess *child) {
  std::lock_guard<std::mutex> hold(gChildrenMutex);
  ChildHandles handles = gChildren[child->pid];
  gChildren.erase(child->pid);
  return handles;
}

HANDLE ProcessOf(const ChildProcess *child) {
  std::lock_guard<std::mutex> hold(gChildrenMutex);
  auto found = gChildren.find(child->pid);
  return found == gChildren.end() ? nullptr : found->second.process;
}

// Closes what is left of an ended child and gives its exit status.
int Finish(ChildProcess *child) {
  ChildHandles handles = Forget(child);
  DWORD code = 0;
  GetExitCodeProcess(handles.process, &code);
  Close(&handles.process);
  Close(&handles.job);
  HANDLE input = reinterpret_cast<HANDLE>(child->input),
         output = reinterpret_cast<HANDLE>(child->output);
  if (child->input != -1) Close(&input);
  if (child->output != -1) Close(&output);
  child->input = child->output = -1;
  child->pid = 0;
  return static_cast<int>(code);
}

}  // namespace

CommandResult RunCommandLine(const std::string &command) {
  return RunLine(InterpreterLine(command));
}

CommandResult RunProgram(const std::vector<std::string> &arguments) {
  std::wstring line;
  for (const std::string &argument : arguments) {
    if (!line.empty()) line += L' ';
    line += Quoted(Wide(argument));
  }
  return RunLine(line);
}

Result<ChildProcess> StartCommandLine(const std::string &command, bool withInput) {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (!job) return Result<ChildProcess>::Failure(LastError());
  Result<Started> started =
      Start(InterpreterLine(command), withInput, CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP);
  if (!started.ok()) {
    CloseHandle(job);
    return Result<ChildProcess>::Failure(started.error);
  }
  Started &s = started.value;
  AssignProcessToJobObject(job, s.info.hProcess);
  ResumeThread(s.info.hThread);
  Close(&s.info.hThread);
  ChildProcess child;
  child.pid = static_cast<int>(s.info.dwProcessId);
  child.output = reinterpret_cast<intptr_t>(s.output);
  child.input = s.input ? reinterpret_cast<intptr_t>(s.input) : -1;
  std::lock_guard<std::mutex> hold(gChildrenMutex);
  gChildren[child.pid] = {s.info.hProcess, job};
  return Result<ChildProcess>::Success(child);
}

Result<ChildState> CollectChildOutput(ChildProcess *child, std::string *output,
                                      int32_t milliseconds) {
  HANDLE process = ProcessOf(child);
  if (!process) return Result<ChildState>::Failure(ERROR_INVALID_HANDLE);
  ULONGLONG deadline =
      GetTickCount64() + static_cast<ULONGLONG>(milliseconds < 0 ? 0 : milliseconds);
  for (;;) {
    if (child->output != -1 && !DrainAvailable(reinterpret_cast<HANDLE>(child->output), output)) {
      HANDLE pipe = reinterpret_cast<HANDLE>(child->output);
      Close(&pipe);
      child->output = -1;  // closed: everything it wrote is here
    }
    bool exited = WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
    if (exited && child->output == -1) {
      ChildState state;
      state.ended = true;
      state.exitStatus = Finish(child);
      return Result<ChildState>::Success(state);
    }
    ULONGLONG now = GetTickCount64();
    if (milliseconds >= 0 && now >= deadline) return Result<ChildState>::Success(ChildState{});
    DWORD wait = milliseconds < 0 ? 5 : static_cast<DWORD>(std::min<ULONGLONG>(5, deadline - now));
    if (child->output == -1)
      WaitForSingleObject(process, wait);
    else
      Sleep(wait);
  }
}

// The bytes go from a thread of their own, since a pipe write waits for the
// child to read; the child's output is collected meanwhile.
Status WriteChildInput(ChildProcess *child, const std::string &bytes, std::string *output) {
  if (child->input == -1) return Status{ERROR_BROKEN_PIPE};
  HANDLE input = reinterpret_cast<HANDLE>(child->input);
  int error = 0;
  bool done = false;
  std::mutex lock;
  std::thread writer([&] {
    size_t at = 0;
    int failure = 0;
    while (at < bytes.size()) {
      DWORD put = 0;
      DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 0x10000));
      if (!::WriteFile(input, bytes.data() + at, piece, &put, nullptr)) {
        failure = LastError();
        break;
      }
      at += put;
    }
    std::lock_guard<std::mutex> hold(lock);
    error = failure;
    done = true;
  });
  for (;;) {
    {
      std::lock_guard<std::mutex> hold(lock);
      if (done) break;
    }
    if (child->output != -1) DrainAvailable(reinterpret_cast<HANDLE>(child->output), output);
    Sleep(1);
  }
  writer.join();
  return Status{error};
}

Result<int> EndChild(ChildProcess *child) {
  HANDLE process = ProcessOf(child);
  if (!process) return Result<int>::Failure(ERROR_INVALID_HANDLE);
  if (child->input != -1) {
    HANDLE input = reinterpret_cast<HANDLE>(child->input);
    Close(&input);
    child->input = -1;
  }
  if (child->output != -1) {
    HANDLE output = reinterpret_cast<HANDLE>(child->output);
    Close(&output);
    child->output = -1;
  }
  // Asked first, then ended with everything it started.
  GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, static_cast<DWORD>(child->pid));
  if (WaitForSingleObject(process, 200) != WAIT_OBJECT_0) {
    std::lock_guard<std::mutex> hold(gChildrenMutex);
    TerminateJobObject(gChildren[child->pid].job, 1);
  }
  if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0)
    return Result<int>::Failure(LastError());
  return Result<int>::Success(Finish(child));
}

}  // namespace corv::platform
