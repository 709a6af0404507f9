// The cooperative thread scheduler: thread records, the run queue, picking
// the next thread and switching fibers.
//
// Invariants: every live record (the main thread's included, once a second
// thread has started) holds exactly `priority` slots in the run queue, a
// thread of priority p thus running p times per cycle; a dead record holds
// none. The thread list holds the live records other than the main
// thread's. The current record is live and never on the finished list. A
// finished record's fiber has returned; the next switch frees both.
//
// Sleeps are compared as time elapsed since the sleep began against its
// length, both unsigned, so that a sleep across the wrap of the millisecond
// counter lasts its full length.
#include "core/scheduler.h"

#include <vector>

#include "corv/exception.h"
#include "corv/ref.h"
#include "platform/clock.h"
#include "platform/fiber.h"

namespace corv {
namespace {

struct Slot {
  ThreadRecord *record;
  bool usedThisCycle;
};

ThreadRecord gMain;
ThreadRecord *gCurrent = &gMain;
ThreadRecord *gThreads = nullptr;
int gLive = 1;
bool gMainQueued = false;  // the main thread's slots join with the second thread
std::vector<Slot> gRunQueue;
// Every slot before this one is used this cycle: a pick starts its walk
// for an unused slot here. A lower bound only, so 0 is always right.
size_t gFirstUnused = 0;
std::vector<ThreadRecord *> gFinished;
bool gDeadlockReported = false;
int32_t gYieldTask = 0;
void (*gProcessSleep)(uint32_t) = &platform::SleepMilliseconds;

// The scheduler's reading of the clock during one pick: taken only when a
// sleeping thread needs it, from the coarse clock while scanning (it may lag
// by a few milliseconds, so a sleeper is never picked early) and from the
// precise one before the process sleeps.
class PickClock {
 public:
  explicit PickClock(bool precise) : precise_(precise) {}
  int32_t Now() {
    if (!read_) {
      uint32_t counter =
          precise_ ? platform::MillisecondCounter() : platform::CoarseMillisecondCounter();
      now_ = static_cast<int32_t>(counter - 0x80000000u);
      read_ = true;
    }
    return now_;
  }

 private:
  bool precise_;
  bool read_ = false;
  int32_t now_ = 0;
};

// Time since the sleep began, across a wrap of the counter too. A reading
// of the coarse clock may lie just before a precise start: no time passed.
uint32_t Elapsed(const ThreadRecord *record, int32_t now) {
  uint32_t elapsed = static_cast<uint32_t>(now) - static_cast<uint32_t>(record->sleepStart);
  return elapsed > 0x80000000u ? 0 : elapsed;
}
uint32_t SleepLength(const ThreadRecord *record) {
  return static_cast<uint32_t>(record->wakeTime) - static_cast<uint32_t>(record->sleepStart);
}
bool Awake(const ThreadRecord *record, int32_t now) {
  return Elapsed(record, now) >= SleepLength(record);
}
bool Awake(const ThreadRecord *record, PickClock &clock) {
  return SleepLength(record) == 0 || Awake(record, clock.Now());
}
uint32_t RemainingSleep(const ThreadRecord *record, int32_t now) {
  return Awake(record, now) ? 0 : SleepLength(record) - Elapsed(record, now);
}

// The time until the earliest runnable sleeper wakes; 0 when one is awake.
uint32_t EarliestWake(int32_t now) {
  uint32_t earliest = UINT32_MAX;
  for (const Slot &slot : gRunQueue)
    if (slot.record->suspendCount == 0) {
      uint32_t remaining = RemainingSleep(slot.record, now);
      if (remaining < earliest) earliest = remaining;
    }
  return earliest == UINT32_MAX ? 0 : earliest;
}

bool EveryLiveThreadSuspended() {
  if (gMain.suspendCount == 0) return false;
  for (ThreadRecord *record = gThreads; record; record = record->next)
    if (record->suspendCount == 0) return false;
  return true;
}

void ReportDeadlockOnce() {
  if (gDeadlockReported) return;
  gDeadlockReported = true;
  CORV_REPORT("false",
              "Infinite loop detected in the thread scheduler.  This is likely caused by "
              "incorrectly locking resources with semaphores or critical sections.");
}

// Marks the slot at `index` used and answers its thread, due from now on.
inline ThreadRecord *Chosen(size_t index) {
  Slot *slots = gRunQueue.data();
  size_t count = gRunQueue.size();
  slots[index].usedThisCycle = true;
  if (index == gFirstUnused) {
    size_t next = index + 1;
    while (next < count && slots[next].usedThisCycle) ++next;
    gFirstUnused = next;
  }
  ThreadRecord *record = slots[index].record;
  if (record->state & kThreadSleepingBit) MakeDue(record);  // woken early: its sleep is over
  record->state = 0;
  return record;
}

// The next thread to run, or null when every live thread is suspended or,
// without `wait`, none is ready now.
__attribute__((noinline)) ThreadRecord *PickNextByScan(bool wait) {
  if (gLive <= 1) {
    if (gMain.suspendCount > 0) {
      ReportDeadlockOnce();
      return nullptr;
    }
    if (wait && (gMain.state & kThreadSleepingBit))
      gProcessSleep(RemainingSleep(&gMain, SchedulerNow()));
    gMain.state = 0;
    return &gMain;
  }
  for (bool precise = false;;) {
    PickClock clock(precise);
    size_t earlySleeper = SIZE_MAX;
    const ThreadRecord *asleep = nullptr;  // its further slots need no second look
    for (size_t i = gFirstUnused; i < gRunQueue.size(); ++i) {
      Slot &slot = gRunQueue[i];
      const ThreadRecord *record = slot.record;
      if (slot.usedThisCycle || record == asleep || record->suspendCount > 0) continue;
      if (Awake(record, clock)) return Chosen(i);
      if (record->wakeEarly && earlySleeper == SIZE_MAX) earlySleeper = i;
      asleep = record;
    }
    // No unused slot is ready: the cycle ends here, and a new one begins.
    size_t usedAwake = SIZE_MAX;
    for (size_t i = 0; i < gRunQueue.size(); ++i) {
      Slot &slot = gRunQueue[i];
      if (usedAwake == SIZE_MAX && slot.usedThisCycle && slot.record->suspendCount == 0 &&
          Awake(slot.record, clock))
        usedAwake = i;
      slot.usedThisCycle = false;
    }
    gFirstUnused = 0;
    if (earlySleeper != SIZE_MAX) return Chosen(earlySleeper);
    if (usedAwake != SIZE_MAX) return Chosen(usedAwake);
    // Only now can every thread be suspended: then none will ever be ready.
    if (EveryLiveThreadSuspended()) {
      ReportDeadlockOnce();
      return nullptr;
    }
    if (!wait) return nullptr;
    if (precise) gProcessSleep(EarliestWake(clock.Now()));
    precise = true;
  }
}

// The same answer, taking first the pick of nearly every yield: the first
// slot not used this cycle is that of a thread ready to run, no clock needed.
inline ThreadRecord *PickNext(bool wait) {
  size_t index = gFirstUnused;
  if (gLive > 1 && index < gRunQueue.size()) {
    const Slot &slot = gRunQueue[index];
    const ThreadRecord *record = slot.record;
    if (!slot.usedThisCycle && record->suspendCount == 0 && record->wakeTime == record->sleepStart)
      return Chosen(index);
  }
  return PickNextByScan(wait);
}

void RemoveSlots(ThreadRecord *record) {
  SetRecordPriority(record, 0);
}

__attribute__((noinline)) void DeleteFinishedRecords() {
  std::vector<ThreadRecord *> finished;
  finished.swap(gFinished);
  for (ThreadRecord *record : finished) {
    if (record == gCurrent) {
      CORV_REPORT("record != current", "The running thread is on the finished list.");
      gFinished.push_back(record);
      continue;
    }
    RemoveSlots(record);
    platform::DeleteFiber(record->fiber);
    delete record;
  }
}

void YieldTask(void *) {
  YieldToNextThread();
}

__attribute__((noinline)) void EndKilledThread(ThreadRecord *self) {
  self->killRequested = false;  // one ThreadEndException per kill
  RaiseNew(&kThreadEndExceptionDecl);
}

// What every switch does when its thread runs again. Kept to three tests
// when there is nothing to do, which is nearly always.
inline void Resumed(ThreadRecord *self) {
  if (!gFinished.empty()) DeleteFinishedRecords();
  if (gLive <= 1 && gYieldTask) {
    PluginUnregisterBackgroundTask(gYieldTask);
    gYieldTask = 0;
  }
  if (self->killRequested) EndKilledThread(self);
}

// Out of line, like the rare work above, so that a yield which keeps its
// thread saves no registers.
__attribute__((noinline)) void SwitchFibers(ThreadRecord *self, ThreadRecord *record) {
  if (!gMain.fiber) gMain.fiber = platform::RunningFiber();  // first switch: main becomes a fiber
  gCurrent = record;
  SwitchStackBounds(record == &gMain ? nullptr : &record->stack);
  platform::SwitchToFiber(record->fiber);
  SwitchStackBounds(self == &gMain ? nullptr : &self->stack);
}

inline void SwitchTo(ThreadRecord *record) {
  ThreadRecord *self = gCurrent;
  if (record != self) SwitchFibers(self, record);
  Resumed(self);
}

void Unlink(ThreadRecord *record) {
  for (ThreadRecord **link = &gThreads; *link; link = &(*link)->next)
    if (*link == record) {
      *link = record->next;
      return;
    }
}

}  // namespace

int32_t SchedulerNow() {
  return static_cast<int32_t>(platform::MillisecondCounter() - 0x80000000u);
}

ThreadRecord *CurrentRecord() {
  return gCurrent;
}

ThreadRecord *MainRecord() {
  return &gMain;
}

int LiveThreadCount() {
  return gLive;
}

void MakeDue(ThreadRecord *record) {
  // A sleep of no length is over whatever the time (no clock read needed).
  record->wakeTime = record->sleepStart;
}

void SleepRecord(ThreadRecord *record, int32_t milliseconds, bool wakeEarly) {
  uint32_t length = milliseconds > 0 ? static_cast<uint32_t>(milliseconds) : 0;
  record->state |= kThreadSleepingBit;
  record->sleepStart = SchedulerNow();
  record->wakeTime = static_cast<int32_t>(static_cast<uint32_t>(record->sleepStart) + length);
  record->wakeEarly = wakeEarly;
}

void SetRecordPriority(ThreadRecord *record, int32_t priority) {
  if (priority < 0) priority = 0;
  gFirstUnused = 0;
  for (; record->priority < priority; ++record->priority) gRunQueue.push_back({record, false});
  for (size_t i = gRunQueue.size(); i-- > 0 && record->priority > priority;)
    if (gRunQueue[i].record == record) {
      gRunQueue.erase(gRunQueue.begin() + static_cast<ptrdiff_t>(i));
      --record->priority;
    }
}

ThreadRecord *NewThreadRecord(CORVthread *thread) {
  if (!gMainQueued) {
    gMainQueued = true;
    int32_t mainPriority = gMain.priority > 0 ? gMain.priority : kThreadDefaultPriority;
    gMain.priority = 0;
    SetRecordPriority(&gMain, mainPriority);
  }
  auto *record = new ThreadRecord;
  MakeDue(record);
  record->thread = thread;
  Retain(&thread->header);
  thread->running = record;
  record->next = gThreads;
  gThreads = record;
  ++gLive;
  SetRecordPriority(record, thread->priority);
  return record;
}

void SwitchToRecord(ThreadRecord *record) {
  SwitchTo(record);
}

bool SwitchToNextThread() {
  ThreadRecord *next = PickNext(true);
  if (!next) return false;
  SwitchTo(next);
  return true;
}

void SwitchToReadyThread() {
  if (gLive <= 1) return;
  if (ThreadRecord *next = PickNext(false)) SwitchToRecord(next);
}

namespace {

// Detaches the record from its thread object and takes it out of the run
// queue and the thread list: it is dead from here on.
void Detach(ThreadRecord *record) {
  CORVthread *thread = record->thread;
  thread->running = nullptr;
  record->thread = nullptr;
  RemoveSlots(record);
  Unlink(record);
  record->dead = true;
  record->state = kThreadFinishedBit;
  --gLive;
  Release(&thread->header);
}

}  // namespace

void DiscardThreadRecord(ThreadRecord *record) {
  Detach(record);
  delete record;
}

platform::Fiber *FinishThreadRecord(ThreadRecord *record) {
  Detach(record);
  gFinished.push_back(record);
  ThreadRecord *next = PickNext(true);
  if (!next) next = &gMain;  // the main thread then finds itself still blocked
  gCurrent = next;
  SwitchStackBounds(next == &gMain ? nullptr : &next->stack);
  return next->fiber;
}

void EnsureYieldTask() {
  if (!gYieldTask) gYieldTask = PluginRegisterBackgroundTask(&YieldTask, nullptr, 0, false);
}

void KillOtherThreads() {
  for (;;) {
    ThreadRecord *victim = gThreads;
    while (victim && victim == gCurrent) victim = victim->next;
    if (!victim) return;
    ThreadKill(&victim->thread->header);
  }
}

void SetProcessSleepForTest(void (*sleep)(uint32_t milliseconds)) {
  gProcessSleep = sleep ? sleep : &platform::SleepMilliseconds;
}

void ResetDeadlockReportForTest() {
  gDeadlockReported = false;
}

int FinishedRecordCount() {
  return static_cast<int>(gFinished.size());
}

bool YieldTaskPresent() {
  return gYieldTask != 0;
}

}  // namespace corv

extern "C" void YieldToNextThread(void) {
  corv::SwitchToNextThread();
}
