// Child processes on Windows: command lines through cmd.exe, programs with
// quoted arguments, a started child fed and collected, and one ended.
#include "platform/process.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

using namespace corv::platform;

TEST(WindowsProcessTest, CommandLinesAndProgramsRunToTheirEnd) {
  CommandResult echo = RunCommandLine("echo hello");
  ASSERT_TRUE(echo.started) << echo.error;
  EXPECT_EQ(echo.output, "hello\r\n");
  EXPECT_EQ(echo.exitStatus, 0);
  EXPECT_EQ(RunCommandLine("exit /b 3").exitStatus, 3);
  wchar_t comspec[MAX_PATH];
  GetEnvironmentVariableW(L"ComSpec", comspec, MAX_PATH);
  char narrow[MAX_PATH * 3];
  WideCharToMultiByte(CP_UTF8, 0, comspec, -1, narrow, sizeof narrow, nullptr, nullptr);
  CommandResult program = RunProgram({narrow, "/c", "echo", "a b"});
  ASSERT_TRUE(program.started) << program.error;
  EXPECT_EQ(program.output, "\"a b\"\r\n");  // echo shows the quoted argument as it came
  CommandResult missing = RunProgram({"C:\\no such folder\\none.exe"});
  EXPECT_FALSE(missing.started);
  EXPECT_TRUE(missing.error == ERROR_FILE_NOT_FOUND || missing.error == ERROR_PATH_NOT_FOUND)
      << missing.error;
}

TEST(WindowsProcessTest, AStartedChildIsFedCollectedOrEnded) {
  Result<ChildProcess> more = StartCommandLine("more", true);
  ASSERT_TRUE(more.ok()) << more.error;
  std::string output;
  ASSERT_TRUE(WriteChildInput(&more.value, "abc\r\nxyz\r\n", &output).ok());
  CloseHandle(reinterpret_cast<HANDLE>(more.value.input));  // end of its input
  more.value.input = -1;
  Result<ChildState> state = CollectChildOutput(&more.value, &output, 10000);
  ASSERT_TRUE(state.ok());
  EXPECT_TRUE(state.value.ended);
  EXPECT_EQ(output, "abc\r\nxyz\r\n");
  EXPECT_EQ(more.value.pid, 0);

  Result<ChildProcess> waiting = StartCommandLine("ping -n 30 127.0.0.1 >NUL", false);
  ASSERT_TRUE(waiting.ok()) << waiting.error;
  std::string nothing;
  Result<ChildState> running = CollectChildOutput(&waiting.value, &nothing, 50);
  ASSERT_TRUE(running.ok());
  EXPECT_FALSE(running.value.ended);
  ULONGLONG before = GetTickCount64();
  Result<int> ended = EndChild(&waiting.value);
  ASSERT_TRUE(ended.ok()) << ended.error;
  EXPECT_LT(GetTickCount64() - before, 5000u);
  EXPECT_EQ(waiting.value.pid, 0);
}

}  // namespace
