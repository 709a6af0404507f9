// POSIX: CLOCK_MONOTONIC milliseconds (fine and coarse), nanosleep, and Escape from a terminal.
#include "platform/clock.h"

#include <poll.h>
#include <sched.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "platform/stop_signals.h"

namespace corv::platform {

namespace {

bool gFixed = false;  // a test steps the time
uint32_t gFixedMilliseconds = 0;
uint32_t gShift = 0;  // a test runs the time near the wrap

uint32_t Milliseconds(clockid_t clock) {
  if (gFixed) return gFixedMilliseconds;
  timespec now;
  clock_gettime(clock, &now);
  uint64_t ms =
      static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms) + gShift;
}

}  // namespace

uint32_t MillisecondCounter() {
  return Milliseconds(CLOCK_MONOTONIC);
}

uint32_t CoarseMillisecondCounter() {
  // Both clocks count from the same start; the coarse one is the kernel's
  // last timer-interrupt time, read from the vDSO page without a hardware read.
  return Milliseconds(CLOCK_MONOTONIC_COARSE);
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
  timespec used;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
  return static_cast<double>(used.tv_sec) * 1000.0 + static_cast<double>(used.tv_nsec) / 1e6;
}

void SleepMilliseconds(uint32_t milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  timespec wait{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  // A stop signal ends the sleep: whoever waits looks at it next.
  while (nanosleep(&wait, &wait) != 0 && errno == EINTR && StopSignal() == 0) {
  }
}

// Reads what is waiting on the terminal without blocking and without
// echoing; an ESC byte among it counts as the key being down.
bool EscapeKeyDown() {
  if (!isatty(STDIN_FILENO)) return false;
  termios saved;
  if (tcgetattr(STDIN_FILENO, &saved) != 0) return false;
  termios raw = saved;
  raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) != 0) return false;
  bool escape = false;
  pollfd in{STDIN_FILENO, POLLIN, 0};
  while (poll(&in, 1, 0) > 0 && (in.revents & POLLIN)) {
    char buffer[64];
    ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) break;
    for (ssize_t i = 0; i < got; ++i)
      if (buffer[i] == 0x1B) escape = true;
  }
  tcsetattr(STDIN_FILENO, TCSANOW, &saved);
  return escape;
}

}  // namespace corv::platform
