// The scheduler and the Thread class: order of running, priorities,
// sleeping against a clock the test drives, suspending, killing, stacks,
// and the start and end of many threads.
#include <chrono>
#include <cstdlib>

#include "thread_test_util.h"

namespace corv::testing {
namespace {

using SchedulerTest = ThreadTest;

TEST_F(SchedulerTest, ANewThreadRunsBeforeRunReturnsAndMainGoesOnAtItsFirstYield) {
  std::string trace;
  Ref<Thread> thread = MakeThread([&] {
    trace += "1";
    YieldToNextThread();
    trace += "3";
  });
  thread->Run();
  trace += "2";
  EXPECT_EQ(thread->State(), kThreadStateRunning);
  WaitUntilEnded(thread.get());
  trace += "4";
  EXPECT_EQ(trace, "1234");
}

TEST_F(SchedulerTest, PriorityTenRunsTwiceAsOftenAsPriorityFive) {
  int turns[2] = {0, 0};
  const int kTotal = 3000;
  auto body = [&](int which) {
    return [&, which] {
      while (turns[0] + turns[1] < kTotal) {
        ++turns[which];
        YieldToNextThread();
      }
    };
  };
  Ref<Thread> five = MakeThread(body(0));
  Ref<Thread> ten = MakeThread(body(1));
  ten->SetPriority(10);
  EXPECT_EQ(five->Priority(), 5);
  five->Run();
  ten->Run();
  WaitUntilEnded(five.get());
  WaitUntilEnded(ten.get());
  EXPECT_NEAR(turns[1], 2 * turns[0], 15) << turns[0] << ":" << turns[1];
}

// The clock moves only while the process sleeps, so a thread that woke at
// exactly its time was not picked early and the process never spun.
TEST_F(SchedulerTest, ASleepingThreadWakesExactlyOnTimeWhileTheProcessSleeps) {
  const uint32_t starts[] = {1000, 0xFFFFFFE0u, 0x7FFFFFE0u};  // the counter's and the bias's wrap
  for (uint32_t start : starts) {
    TestClock::Start(start);
    uint32_t slept = 0, woke = 0;
    Ref<Thread> thread = MakeThread([&] {
      slept = CORVCurrentMilliseconds();
      Thread::Current()->Sleep(100);
      woke = CORVCurrentMilliseconds();
    });
    thread->Run();
    EXPECT_EQ(thread->State(), kThreadStateSleeping);
    WaitUntilEnded(thread.get());
    EXPECT_EQ(woke - slept, 100u) << std::hex << start;
    for (uint32_t sleep : TestClock::sleeps) EXPECT_GT(sleep, 0u) << std::hex << start;
  }
}

TEST_F(SchedulerTest, WhileEveryThreadSleepsTheProcessSleepsRatherThanSpins) {
  SetProcessSleepForTest(nullptr);
  platform::ResumeSystemClockForTest();
  Ref<Thread> thread = MakeThread([] { Thread::Current()->Sleep(150); });
  auto wall = std::chrono::steady_clock::now();
  double cpu = platform::ProcessorMilliseconds();
  thread->Run();
  RuntimeDoEvents(250);
  double cpuMs = platform::ProcessorMilliseconds() - cpu;
  double wallMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall).count();
  EXPECT_GE(wallMs, 245);
  EXPECT_LT(cpuMs, wallMs / 10) << cpuMs << " ms of processor in " << wallMs << " ms";
  EXPECT_EQ(thread->State(), kThreadStateNotRunning);
}

// With a second thread alive, the loop check of compiled loops yields once
// per tick through the thread-yield background task.
TEST_F(SchedulerTest, TheLoopCheckYieldsOncePerTickWhileAnotherThreadLives) {
  std::string trace;
  Ref<Thread> thread = MakeThread([&] {
    for (int i = 0; i < 3; ++i) {
      RuntimeBackgroundTask();  // the same tick: no yield
      trace += "t";
      TestClock::Advance(17);
      RuntimeBackgroundTask();
    }
  });
  RuntimeBackgroundTask();  // the loop check has seen this tick
  thread->Run();
  trace += "m";
  EXPECT_TRUE(YieldTaskPresent());
  WaitUntilEnded(thread.get());
  EXPECT_EQ(trace, "tmtt");
}

TEST_F(SchedulerTest, WakeEarlyLetsASleeperRunWhenNothingUnusedIsReady) {
  struct Case {
    bool wakeEarly;
    bool wokeWithoutTheClockMoving;
  };
  for (Case c : {Case{true, true}, Case{false, false}}) {
    bool woke = false;
    Ref<Thread> thread = MakeThread([&] {
      Thread::Current()->Sleep(10000, c.wakeEarly);
      woke = true;
    });
    thread->Run();
    for (int i = 0; i < 20 && !woke; ++i) YieldToNextThread();
    EXPECT_EQ(woke, c.wokeWithoutTheClockMoving) << c.wakeEarly;
    EXPECT_TRUE(TestClock::sleeps.empty());
    thread->Kill();
  }
}

TEST_F(SchedulerTest, ResumeEndsASleepAndNeverTakesTheSuspendCountBelowZero) {
  bool woke = false;
  Ref<Thread> thread = MakeThread([&] {
    Thread::Current()->Sleep(10000);
    woke = true;
  });
  thread->Run();
  thread->Resume();
  thread->Resume();
  EXPECT_EQ(thread->State(), kThreadStateRunning);
  thread->Suspend();  // one suspension is enough to stop it again
  EXPECT_EQ(thread->State(), kThreadStateSuspended);
  for (int i = 0; i < 20; ++i) YieldToNextThread();
  EXPECT_FALSE(woke);
  thread->Resume();
  WaitUntilEnded(thread.get());
  EXPECT_TRUE(woke);
  EXPECT_LT(TestClock::now, 1000u + 10000u) << "it slept its whole time";
}

TEST_F(SchedulerTest, StateFollowsTheThreadThroughItsLife) {
  Ref<Semaphore> semaphore = Semaphore::New(0);
  int32_t insideState = -1;
  int step = 0;
  Ref<Thread> thread = MakeThread([&] {
    insideState = Thread::Current()->State();
    while (step == 0) YieldToNextThread();
    Thread::Current()->Sleep(50);
    semaphore->Signal();
  });
  EXPECT_EQ(thread->State(), kThreadStateNotRunning);
  EXPECT_EQ(thread->ThreadID(), 0);
  thread->Run();
  EXPECT_EQ(insideState, kThreadStateRunning);
  EXPECT_NE(thread->ThreadID(), 0);
  thread->Suspend();
  EXPECT_EQ(thread->State(), kThreadStateSuspended);
  thread->Resume();
  step = 1;
  while (thread->State() == kThreadStateRunning) YieldToNextThread();
  EXPECT_EQ(thread->State(), kThreadStateSleeping);
  while (thread->State() == kThreadStateSleeping) RuntimeDoEvents(10);
  EXPECT_EQ(thread->State(), kThreadStateWaiting);
  semaphore->Release();
  WaitUntilEnded(thread.get());
  EXPECT_EQ(thread->ThreadID(), 0);
}

// Kills at each place a thread can be stopped: its frames unwind, nothing
// after the stop runs, and nothing is printed.
TEST_F(SchedulerTest, KillEndsAThreadWhereverItStopped) {
  Ref<Semaphore> semaphore = Semaphore::New(0);
  struct Case {
    const char *name;
    std::function<void()> stop;
    bool killedByMain;
  };
  Thread *self = nullptr;
  const Case cases[] = {
      {"sleeping", [] { Thread::Current()->Sleep(10000); }, true},
      {"suspended", [] { Thread::Current()->Suspend(); }, true},
      {"waiting on a semaphore", [&] { semaphore->Signal(); }, true},
      {"killing itself", [&] { self->Kill(); }, false},
  };
  for (const Case &c : cases) {
    std::string trace;
    Ref<Thread> thread = MakeThread([&] {
      struct Unwound {
        std::string &trace;
        ~Unwound() { trace += " unwound"; }
      } unwound{trace};
      trace += "stopped";
      c.stop();
      trace += " went on";
    });
    self = thread.get();
    thread->Run();
    if (c.killedByMain) thread->Kill();
    EXPECT_EQ(thread->State(), kThreadStateNotRunning) << c.name;
    EXPECT_EQ(trace, "stopped unwound") << c.name;
  }
  EXPECT_FALSE(Process().quitRequested) << "a kill was printed as an unhandled exception";
  EXPECT_TRUE(semaphore->waiters.first == nullptr);
  EXPECT_FALSE(semaphore->TrySignal());  // the killed waiter took no unit with it
  semaphore->Release();
  EXPECT_TRUE(semaphore->TrySignal());
}

TEST_F(SchedulerTest, AFinishedThreadRunsAgainFromItsRunEventAndARunningOneRefuses) {
  int runs = 0;
  std::string message;
  Thread *self = nullptr;
  Ref<Thread> thread = MakeThread([&] {
    ++runs;
    if (Ref<CORVexception> e = Catch(&kThreadAlreadyRunningExceptionDecl, [&] { self->Run(); }))
      message = CORVStringBytes(e->message);
  });
  self = thread.get();
  thread->Run();
  thread->Run();
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(message, "You cannot call Run on a thread that is already running.");
}

// The recursion checks the stack on entry as compiled code does.
int gDeepest = 0;
int Recurse(int depth) {
  RuntimeStackCheck();
  gDeepest = depth;
  volatile char frame[512];
  frame[0] = static_cast<char>(depth);
  return depth > 1000000 ? 0 : Recurse(depth + 1) + frame[0];
}

TEST_F(SchedulerTest, DeepRecursionRaisesStackOverflowInItsOwnThreadOnly) {
  struct Case {
    int32_t stackSize;
    int deepest = 0;
    bool overflowed = false;
  };
  Case cases[] = {{0xE2000}, {0x20000}};
  for (Case &c : cases) {
    Ref<Thread> thread = MakeThread([&] {
      c.overflowed = bool(Catch(&kStackOverflowExceptionDecl, [] { Recurse(0); }));
      c.deepest = gDeepest;
    });
    thread->SetStackSize(c.stackSize);
    thread->Run();
    EXPECT_TRUE(c.overflowed) << c.stackSize;
    // Most of the stack was used before the check raised.
    EXPECT_GT(c.deepest * 512, c.stackSize / 2) << c.stackSize;
    EXPECT_LT(c.deepest * 512, c.stackSize) << c.stackSize;
  }
  RuntimeStackCheck();  // the main thread's limit is its own
}

TEST_F(SchedulerTest, AThousandThreadsStartAndEndLeavingNothingBehind) {
  int ended = 0;
  std::vector<Ref<Thread>> threads;
  for (int i = 0; i < 1000; ++i) {
    threads.push_back(MakeThread([&] {
      Thread::Current()->Sleep(1000);  // all alive at once
      ++ended;
    }));
    threads.back()->Run();
  }
  EXPECT_EQ(LiveThreadCount(), 1001);
  EXPECT_GT(platform::MappedFiberStackBytes(), 1000u * kThreadDefaultStackSize);
  EXPECT_TRUE(YieldTaskPresent());
  for (Ref<Thread> &thread : threads) WaitUntilEnded(thread.get());
  EXPECT_EQ(ended, 1000);
}

TEST_F(SchedulerTest, QuittingKillsTheOtherThreads) {
  Ref<Thread> thread = MakeThread([] { Thread::Current()->Sleep(10000); });
  thread->Run();
  EXPECT_RAISES(ApplicationQuit(0, true), kEndExceptionDecl);
  EXPECT_EQ(thread->State(), kThreadStateNotRunning);
}

TEST_F(SchedulerTest, AnExceptionLeavingRunEndsOnlyThatThread) {
  Ref<Thread> thread = MakeThread([] { RaiseNilObjectException(); });
  thread->Run();
  EXPECT_EQ(thread->State(), kThreadStateNotRunning);
}

TEST_F(SchedulerTest, NilThreadsAreReportedAndIgnored) {
  threadRun(nullptr);
  ThreadKill(nullptr);
  ThreadSleep(nullptr, 1, false);
  ThreadSuspend(nullptr);
  ThreadResume(nullptr);
  EXPECT_EQ(ThreadGetState(nullptr), kThreadStateNotRunning);
  ThreadSetPriority(nullptr, 3);
  EXPECT_EQ(ThreadGetID(nullptr), 0);
  EXPECT_EQ(CountReports("Failure Condition: thread"), 8);
}

TEST_F(SchedulerTest, PriorityAndStackSizeKeepTheirDefaultsAgainstBadValues) {
  bool stop = false;
  Ref<Thread> thread = MakeThread([&] {
    while (!stop) YieldToNextThread();
  });
  struct Case {
    int32_t set;
    int32_t stackSize;
  };
  for (Case c : {Case{-1, 0xE2000}, Case{0, 0xE2000}, Case{0x20000, 0x20000}}) {
    thread->SetStackSize(c.set);
    EXPECT_EQ(thread->StackSize(), c.stackSize) << c.set;
    thread->SetPriority(c.set);
    EXPECT_EQ(thread->Priority(), c.set > 0 ? c.set : 5) << c.set;
  }
  thread->SetPriority(5);
  thread->Run();
  EXPECT_RAISES(thread->SetStackSize(0x30000), kThreadAlreadyRunningExceptionDecl);
  EXPECT_EQ(thread->StackSize(), 0x20000);
  EXPECT_FALSE(Thread::Current());
  stop = true;
  WaitUntilEnded(thread.get());
}

}  // namespace
}  // namespace corv::testing
