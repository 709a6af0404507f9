// Detaching on Windows, as the detached copy sees it: the mark is taken
// away and the standard handles lead nowhere. (The starting side exits the
// process, which a test cannot watch from inside.)
#include "platform/detach.h"

#include <gtest/gtest.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

namespace {

TEST(WindowsDetachTest, TheCopyGoesOnWithItsHandlesOnNul) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE), output = GetStdHandle(STD_OUTPUT_HANDLE),
         error = GetStdHandle(STD_ERROR_HANDLE);
  std::fflush(nullptr);
  int saved[3] = {_dup(0), _dup(1), _dup(2)};
  SetEnvironmentVariableW(L"CORV_DETACHED_COPY", L"1");
  bool detached = corv::platform::DetachProcess().ok();
  DWORD mark = GetEnvironmentVariableW(L"CORV_DETACHED_COPY", nullptr, 0);
  HANDLE now = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  bool took = WriteFile(now, "gone", 4, &written, nullptr);
  DWORD type = GetFileType(now);
  // Back to the test's own handles and streams before anything is checked.
  SetStdHandle(STD_INPUT_HANDLE, input);
  SetStdHandle(STD_OUTPUT_HANDLE, output);
  SetStdHandle(STD_ERROR_HANDLE, error);
  for (int fd = 0; fd < 3; ++fd) {
    _dup2(saved[fd], fd);
    _close(saved[fd]);
  }
  EXPECT_TRUE(detached);
  EXPECT_EQ(mark, 0u);
  EXPECT_TRUE(took);  // the null device takes it
  EXPECT_EQ(type, static_cast<DWORD>(FILE_TYPE_CHAR));
}

}  // namespace
