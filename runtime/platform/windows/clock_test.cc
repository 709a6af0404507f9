// The tick counter, sleeping and the stop requests that end a sleep.
#include "platform/clock.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/stop_signals.h"

namespace {

using namespace corv::platform;

TEST(WindowsClockTest, CountersAdvanceAcrossASleepAndTestsCanFixThem) {
  uint32_t before = MillisecondCounter();
  SleepMilliseconds(60);
  uint32_t slept = MillisecondCounter() - before;
  EXPECT_GE(slept, 40u);  // the tick count moves in steps of the timer interrupt
  EXPECT_LT(slept, 5000u);
  FixMillisecondCounterForTest(0xFFFFFFF0u);
  EXPECT_EQ(MillisecondCounter(), 0xFFFFFFF0u);
  EXPECT_EQ(CoarseMillisecondCounter(), 0xFFFFFFF0u);
  ResumeSystemClockForTest();
  ShiftMillisecondCounterForTest(1000);
  uint32_t shifted = MillisecondCounter() - GetTickCount();
  ShiftMillisecondCounterForTest(0);
  EXPECT_EQ(shifted, 1000u);
  EXPECT_FALSE(EscapeKeyDown());  // no console of its own to type into
}

TEST(WindowsClockTest, AStopRequestIsNotedAndEndsASleep) {
  CatchStopSignals();
  EXPECT_EQ(StopSignal(), 0);
  // A console of its own when it runs without one (its output piped).
  if (!GetConsoleWindow()) AllocConsole();
  if (!GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, 0))
    GTEST_SKIP() << "the console refuses to send a Ctrl-Break (error " << GetLastError() << ")";
  for (int i = 0; i < 100 && StopSignal() == 0; ++i) Sleep(10);
  EXPECT_EQ(StopSignal(), 21);
  uint32_t before = MillisecondCounter();
  SleepMilliseconds(5000);
  EXPECT_LT(MillisecondCounter() - before, 1000u);
}

}  // namespace
