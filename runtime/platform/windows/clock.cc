// Windows: the system's millisecond tick count (fine and coarse alike: it
// moves with the timer interrupt), sleeps that a stop request ends, and the
// Escape key's asynchronous state.
#include "platform/clock.h"

#include <windows.h>

#include "platform/windows/stop_event.h"

namespace corv::platform {
namespace {

bool gFixed = false;  // a test steps the time
uint32_t gFixedMilliseconds = 0;
uint32_t gShift = 0;  // a test runs the time near the wrap

uint32_t Milliseconds() {
  if (gFixed) return gFixedMilliseconds;
  return static_cast<uint32_t>(GetTickCount()) + gShift;
}

}  // namespace

uint32_t MillisecondCounter() {
  return Milliseconds();
}

uint32_t CoarseMillisecondCounter() {
  return Milliseconds();
}

void FixMillisecondCounterForTest(uint32_t milliseconds) {
  gFixed = true;
  gFixedMilliseconds = milliseconds;
}

void ResumeSystemClockForTest() {
  gFixed = false;
}

void ShiftMillisecondCounterForTest(uint32_t shift) {
  gShift = shift;
}

double ProcessorMilliseconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  auto ticks = [](const FILETIME &t) {  // 100 ns
    return static_cast<double>((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
  };
  return (ticks(kernel) + ticks(user)) / 10000.0;
}

void SleepMilliseconds(uint32_t milliseconds) {
  if (milliseconds == 0) {
    Sleep(0);
    return;
  }
  // A stop request ends the sleep: whoever waits looks at it next.
  WaitForSingleObject(StopEvent(), milliseconds);
}

// Only a program with a console of its own to type into looks at the key:
// its state is the keyboard's, whichever window has the focus.
bool EscapeKeyDown() {
  DWORD mode;
  if (!GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) return false;
  return (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0;
}

}  // namespace corv::platform
