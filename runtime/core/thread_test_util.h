// Test helpers for cooperative threads: threads whose Run runs a C++ body,
// a clock that only the scheduler's process sleeps move, and a fixture that
// proves every thread ended and every stack and record was freed.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/event_loop.h"
#include "core/failure.h"
#include "core/scheduler.h"
#include "corv.h"
#include "corv/class_decl.h"
#include "corv/thread.h"
#include "platform/clock.h"
#include "platform/fiber.h"
#include "runtime_test.h"

namespace corv::testing {

inline std::map<CORVobject, std::function<void()>> &ThreadBodies() {
  static std::map<CORVobject, std::function<void()>> bodies;
  return bodies;
}

inline void RunThreadBody(CORVobject thread) {
  std::function<void()> body = ThreadBodies()[thread];  // a copy: the body may run the thread again
  if (body) body();
}

inline const CORVhandlerDecl kBodyThreadHandlers[] = {
    {"Run", reinterpret_cast<void *>(&RunThreadBody)}};
inline const CORVclassDecl kBodyThreadDecl = corv::ClassDecl("BodyThread", sizeof(CORVthread))
                                                 .Super(&kThreadDecl)
                                                 .Handlers(kBodyThreadHandlers);

/// A thread (not yet run) whose Run event runs `body`.
inline Ref<Thread> MakeThread(std::function<void()> body) {
  Ref<Thread> thread = Thread::New(&kBodyThreadDecl);
  ThreadBodies()[thread.object()] = std::move(body);
  return thread;
}

/// The test's clock: fixed, moved only by the scheduler's process sleeps,
/// which are recorded.
struct TestClock {
  static inline uint32_t now = 0;
  static inline std::vector<uint32_t> sleeps;
  static void Sleep(uint32_t milliseconds) {
    sleeps.push_back(milliseconds);
    now += milliseconds;
    platform::FixMillisecondCounterForTest(now);
  }
  static void Start(uint32_t at) {
    now = at;
    sleeps.clear();
    platform::FixMillisecondCounterForTest(now);
    SetProcessSleepForTest(&Sleep);
  }
  static void Advance(uint32_t milliseconds) {
    now += milliseconds;
    platform::FixMillisecondCounterForTest(now);
  }
};

/// Failure reports captured, a console application registered (so that
/// DoEvents runs its step), the test clock running; at the end every
/// thread must have ended and every stack and record been freed.
class ThreadTest : public RuntimeTest {
 protected:
  void SetUp() override {
    ResetAppStateForTest();
    ResetEventLoopForTest();
    RuntimeRegisterConsoleAppObject(nullptr, false);
    CaptureFailures(true);
    ResetDeadlockReportForTest();
    TestClock::Start(1000);
    RuntimeTest::SetUp();
  }
  void TearDown() override {
    EXPECT_EQ(LiveThreadCount(), 1) << "a thread is still alive";
    YieldToNextThread();  // frees what finished last
    EXPECT_EQ(FinishedRecordCount(), 0);
    EXPECT_EQ(platform::MappedFiberStackBytes(), 0u) << "a fiber stack is still mapped";
    EXPECT_FALSE(YieldTaskPresent());
    ThreadBodies().clear();
    RuntimeTest::TearDown();
    SetProcessSleepForTest(nullptr);
    platform::ResumeSystemClockForTest();
    CaptureFailures(false);
    ResetAppStateForTest();
    ResetEventLoopForTest();
  }

  /// The main thread waits (sleeping in DoEvents steps) until `thread` ended.
  static void WaitUntilEnded(Thread *thread) {
    while (thread->State() != kThreadStateNotRunning) RuntimeDoEvents(10);
  }
  static int CountReports(const std::string &text) {
    int count = 0;
    for (const std::string &report : TakeCapturedFailures())
      if (report.find(text) != std::string::npos) ++count;
    return count;
  }
};

}  // namespace corv::testing
