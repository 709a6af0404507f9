// Semaphore, CriticalSection and Mutex on the scheduler: waiting in arrival
// order, re-entry by the owner, leaving early, and deadlock.
#include "thread_test_util.h"

namespace corv::testing {
namespace {

using LocksTest = ThreadTest;

// One lock kind behind the same three operations.
struct LockKind {
  const char *name;
  std::function<Ref<>()> make;
  void (*acquire)(CORVobject);
  bool (*tryAcquire)(CORVobject);
  void (*release)(CORVobject);
};

const LockKind kLockKinds[] = {
    {"Semaphore", [] { return Ref<>::Adopt(CORVInstantiateDeclaration(&kSemaphoreDecl)); },
     Semaphore_Signal, Semaphore_TrySignal, semaphore_release},
    {"CriticalSection",
     [] { return Ref<>::Adopt(CORVInstantiateDeclaration(&kCriticalSectionDecl)); },
     criticalsection_enter, CriticalSection_TryEnter, criticalsection_leave},
    {"Mutex", [] { return Ref<>::Adopt(CORVInstantiateDeclaration(&kMutexDecl)); }, MutexLock,
     MutexTryLock, MutexUnlock},
};

TEST_F(LocksTest, WaitersGetTheLockInTheOrderTheyArrived) {
  for (const LockKind &kind : kLockKinds) {
    Ref<> lock = kind.make();
    ASSERT_TRUE(kind.tryAcquire(lock.object())) << kind.name;
    std::string order;
    std::vector<Ref<Thread>> threads;
    // Started A, B, C, but arriving B, C, A.
    for (auto [name, delay] : {std::pair{"A", 20}, std::pair{"B", 0}, std::pair{"C", 10}}) {
      threads.push_back(MakeThread([&, name, delay] {
        if (delay) Thread::Current()->Sleep(delay);
        kind.acquire(lock.object());
        order += name;
        kind.release(lock.object());
      }));
      threads.back()->Run();
    }
    for (Ref<Thread> &thread : threads)
      while (thread->State() != kThreadStateWaiting) RuntimeDoEvents(5);
    kind.release(lock.object());
    for (Ref<Thread> &thread : threads) WaitUntilEnded(thread.get());
    EXPECT_EQ(order, "BCA") << kind.name;
  }
}

TEST_F(LocksTest, TheOwnerEntersAgainAndOthersWaitUntilItLeftAsOftenAsItEntered) {
  for (const LockKind &kind : kLockKinds) {
    if (std::string(kind.name) == "Semaphore") continue;
    Ref<> lock = kind.make();
    kind.acquire(lock.object());
    kind.acquire(lock.object());
    EXPECT_TRUE(kind.tryAcquire(lock.object())) << kind.name;
    bool entered = false;
    Ref<Thread> thread = MakeThread([&] {
      EXPECT_FALSE(kind.tryAcquire(lock.object()));
      kind.acquire(lock.object());
      entered = true;
      kind.release(lock.object());
    });
    thread->Run();
    for (int leave = 1; leave <= 3; ++leave) {
      EXPECT_EQ(thread->State(), kThreadStateWaiting) << kind.name << " " << leave;
      kind.release(lock.object());
    }
    WaitUntilEnded(thread.get());
    EXPECT_TRUE(entered) << kind.name;
    EXPECT_TRUE(kind.tryAcquire(lock.object())) << kind.name;
    kind.release(lock.object());
  }
}

TEST_F(LocksTest, LeavingASectionThatAnotherThreadOwnsRaises) {
  for (const LockKind &kind : kLockKinds) {
    if (std::string(kind.name) == "Semaphore") continue;
    Ref<> lock = kind.make();
    EXPECT_RAISES(kind.release(lock.object()), kIllegalLockingExceptionDecl);
    kind.acquire(lock.object());
    bool raised = false;
    Ref<Thread> thread = MakeThread([&] {
      raised = bool(Catch(&kIllegalLockingExceptionDecl, [&] { kind.release(lock.object()); }));
    });
    thread->Run();
    EXPECT_TRUE(raised) << kind.name;
    EXPECT_FALSE(thread->State() == kThreadStateWaiting);
    kind.release(lock.object());
  }
}

TEST_F(LocksTest, ASemaphoreHandsOutAsManyUnitsAsItHolds) {
  struct Case {
    int32_t count;
    int units;
  };
  for (Case c : {Case{2, 2}, Case{1, 1}, Case{0, 0}, Case{-3, 0}}) {
    Ref<Semaphore> semaphore = Semaphore::New(c.count);
    int units = 0;
    while (units < 10 && semaphore->TrySignal()) ++units;
    EXPECT_EQ(units, c.units) << c.count;
    semaphore->Release();
    EXPECT_TRUE(semaphore->TrySignal()) << c.count;
  }
}

TEST_F(LocksTest, ResumingAWaiterDoesNotLetItIn) {
  Ref<Semaphore> semaphore = Semaphore::New(0);
  bool in = false;
  Ref<Thread> thread = MakeThread([&] {
    semaphore->Signal();
    in = true;
  });
  thread->Run();
  thread->Resume();
  for (int i = 0; i < 20; ++i) YieldToNextThread();
  EXPECT_FALSE(in);
  EXPECT_EQ(thread->State(), kThreadStateWaiting);
  semaphore->Release();
  WaitUntilEnded(thread.get());
  EXPECT_TRUE(in);
}

// Two threads take two sections in opposite order while the main thread
// waits for both: every thread waits. The scheduler reports it (once per
// process) and the lock call that found it raises IllegalLockingException;
// that thread lets go and the other finishes.
TEST_F(LocksTest, ADeadlockIsReportedOnceAndBrokenByAnException) {
  for (int round = 0; round < 2; ++round) {
    Ref<CriticalSection> first = CriticalSection::New();
    Ref<CriticalSection> second = CriticalSection::New();
    Ref<Semaphore> done = Semaphore::New(0);
    int broken = 0;
    auto body = [&](CriticalSection *a, CriticalSection *b) {
      return [&, a, b] {
        a->Enter();
        Thread::Current()->Sleep(10);  // both hold their first section now
        if (Catch(&kIllegalLockingExceptionDecl, [&] { b->Enter(); })) {
          ++broken;
        } else {
          b->Leave();
        }
        a->Leave();
        done->Release();
      };
    };
    Ref<Thread> one = MakeThread(body(first.get(), second.get()));
    Ref<Thread> two = MakeThread(body(second.get(), first.get()));
    one->Run();
    two->Run();
    done->Signal();
    done->Signal();
    EXPECT_EQ(broken, 1) << round;
    EXPECT_EQ(
        CountReports("Infinite loop detected in the thread scheduler.  This is likely caused "
                     "by incorrectly locking resources with semaphores or critical sections."),
        round == 0 ? 1 : 0);
    WaitUntilEnded(one.get());
    WaitUntilEnded(two.get());
  }
}

TEST_F(LocksTest, NilLocksRaiseNilObjectException) {
  for (const LockKind &kind : kLockKinds) {
    EXPECT_RAISES(kind.acquire(nullptr), kNilObjectExceptionDecl);
    EXPECT_RAISES(kind.tryAcquire(nullptr), kNilObjectExceptionDecl);
    EXPECT_RAISES(kind.release(nullptr), kNilObjectExceptionDecl);
  }
}

}  // namespace
}  // namespace corv::testing
