// Windows has no fork: the program starts itself again, detached from the
// console and holding none of our handles, with a mark in its environment,
// and the caller exits with status 0. The copy finds the mark, takes it
// away, puts its standard handles on NUL and goes on. A program that
// listens must therefore detach before it starts listening: the copy
// begins from the start.
#include "platform/detach.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace corv::platform {
namespace {

constexpr wchar_t kMark[] = L"CORV_DETACHED_COPY";

void NullStandardHandles() {
  HANDLE input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  HANDLE output = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  SetStdHandle(STD_INPUT_HANDLE, input);
  SetStdHandle(STD_OUTPUT_HANDLE, output);
  SetStdHandle(STD_ERROR_HANDLE, output);
  std::freopen("NUL", "r", stdin);
  std::freopen("NUL", "w", stdout);
  std::freopen("NUL", "w", stderr);
}

}  // namespace

Status DetachProcess() {
  if (GetEnvironmentVariableW(kMark, nullptr, 0) > 0) {  // the detached copy
    SetEnvironmentVariableW(kMark, nullptr);
    NullStandardHandles();
    return Status{};
  }
  wchar_t program[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return Status{static_cast<int>(GetLastError())};
  std::wstring line = GetCommandLineW();
  SetEnvironmentVariableW(kMark, L"1");
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  BOOL made = CreateProcessW(program, line.data(), nullptr, nullptr, FALSE,
                             DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr,
                             &startup, &info);
  int error = made ? 0 : static_cast<int>(GetLastError());
  SetEnvironmentVariableW(kMark, nullptr);
  if (!made) return Status{error};
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  std::fflush(nullptr);
  ExitProcess(0);
}

}  // namespace corv::platform
