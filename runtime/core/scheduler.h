// The cooperative thread scheduler's records and operations, shared by the
// Thread class, the locks and the event loop.
#pragma once

#include <cstdint>

#include "core/stack_check.h"
#include "corv.h"

namespace corv {

namespace platform {
struct Fiber;
}

/// Thread-record state bits.
enum : uint32_t {
  kThreadSuspendedBit = 1,
  kThreadSleepingBit = 2,
  kThreadWaitingBit = 4,
  kThreadFinishedBit = 8,
};

/// One running thread. The main thread's record is static; the others live
/// from threadRun until the switch after they finished.
struct ThreadRecord {
  platform::Fiber *fiber = nullptr;  // the main thread's: set when it first switches
  StackBounds stack;
  CORVthread *thread = nullptr;  // counted while running; null for the main thread
  ThreadRecord *next = nullptr;  // thread list, newest first
  int32_t wakeTime = 0;          // biased clock (SchedulerNow)
  int32_t sleepStart = 0;
  int32_t suspendCount = 0;  // not runnable while above 0
  int32_t priority = 0;      // slots held in the run queue
  bool wakeEarly = false;
  bool dead = false;
  bool killRequested = false;
  uint32_t state = 0;
};

/// The millisecond counter minus 2^31, read as signed.
int32_t SchedulerNow();
ThreadRecord *CurrentRecord();
ThreadRecord *MainRecord();
inline bool OnMainThread() {
  return CurrentRecord() == MainRecord();
}
/// Live records, the main thread's included.
int LiveThreadCount();

/// Makes the record due at once: its sleep, if any, is over.
void MakeDue(ThreadRecord *record);
/// Starts the record's sleep (no switch).
void SleepRecord(ThreadRecord *record, int32_t milliseconds, bool wakeEarly);
/// Gives the record `priority` run-queue slots.
void SetRecordPriority(ThreadRecord *record, int32_t priority);

/// A new live record for the thread object (taking a reference on it), at
/// the head of the thread list with the thread's priority.
ThreadRecord *NewThreadRecord(CORVthread *thread);
/// Makes the record current and runs its fiber until some thread switches
/// back here; then does what every switch does on resuming.
void SwitchToRecord(ThreadRecord *record);
/// Switches to the next thread the scheduler picks, waiting (the process
/// sleeps) while none is ready. False when none can ever run (deadlock):
/// the caller goes on.
bool SwitchToNextThread();
/// The end of a thread's life on its own fiber: detaches and releases the
/// thread object, takes the record out of the run queue and the thread list
/// and returns the fiber to switch to; the record is freed by that switch.
platform::Fiber *FinishThreadRecord(ThreadRecord *record);
/// Undoes NewThreadRecord for a thread whose fiber could not be made.
void DiscardThreadRecord(ThreadRecord *record);
/// Step 7 of the event-loop step: a switch only when another thread is ready.
void SwitchToReadyThread();
/// Registers the background task that yields once per tick (idempotent).
void EnsureYieldTask();
/// Kills every thread but the current one (the quit sequence).
void KillOtherThreads();

/// Tests: how the process sleeps while no thread is ready (null: the real
/// sleep), and the once-per-process deadlock report armed again.
void SetProcessSleepForTest(void (*sleep)(uint32_t milliseconds));
void ResetDeadlockReportForTest();
/// Tests: records on the finished list (freed by the next switch), and
/// whether the thread-yield background task is registered.
int FinishedRecordCount();
bool YieldTaskPresent();

}  // namespace corv
