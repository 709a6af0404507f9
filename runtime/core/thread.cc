// The language's Thread class: starting a thread on a fiber of its own, its
// entry function, and sleeping, suspending, resuming and killing it.
#include <cstdint>

#include "core/app_state.h"
#include "core/scheduler.h"
#include "corv/class_decl.h"
#include "corv/exception.h"
#include "corv/ref.h"
#include "corv/string.h"
#include "platform/fiber.h"
#include "platform/stack.h"

namespace corv {
namespace {

// Below a thread's stack limit and above its guard page: room for raising
// StackOverflowException (recording the stack, throwing) once the limit is
// passed.
constexpr std::uintptr_t kRaiseHeadroom = 0x10000;

const CORVeventDecl kThreadEvents[] = {{0x804, "Run", "", ""}};

CORVthread *ThreadOf(CORVobject obj) {
  return reinterpret_cast<CORVthread *>(obj);
}

ThreadRecord *RecordOf(CORVobject thread) {
  return static_cast<ThreadRecord *>(ThreadOf(thread)->running);
}

CORVThreadRunHandler RunHandler(CORVobject thread) {
  int32_t index = thread->cls ? CORVEventIndex(thread->cls, "Run") : -1;
  return index < 0 ? nullptr
                   : reinterpret_cast<CORVThreadRunHandler>(
                         CORVEventHandler(thread, static_cast<uint32_t>(index)));
}

// Called through the application's exception wrapper, which takes a plain
// function: the thread is the current one.
void CallRunOfCurrentThread() {
  CORVobject thread = &CurrentRecord()->thread->header;
  if (CORVThreadRunHandler run = RunHandler(thread)) run(thread);
}

// Nothing a thread raises goes past its entry function: the wrapper handles
// the language's exceptions, and anything else ends the thread here.
void RunThreadBody(ThreadRecord *record) {
  if (!RunHandler(&record->thread->header)) return;
  EnsureYieldTask();
  try {
    if (Process().app)
      CORVCallThroughApplication(&CallRunOfCurrentThread);
    else
      CORVCallFunctionWithExceptionHandling(nullptr, &CallRunOfCurrentThread);
  } catch (...) {
    CORV_REPORT("Run", "An exception outside the RuntimeException family ended a thread.");
  }
}

platform::Fiber *ThreadEntry(void *argument) {
  auto *record = static_cast<ThreadRecord *>(argument);
  // The limit comes from the stack as mapped, above the raise headroom.
  std::uintptr_t base = platform::CurrentStackPosition();
  std::uintptr_t limit = platform::StackOf(record->fiber).lowest + kRaiseHeadroom;
  CORVInitStackChecker(base > limit ? base - limit : 0, base);
  RunThreadBody(record);
  return FinishThreadRecord(record);
}

}  // namespace
}  // namespace corv

using corv::RecordOf;
using corv::ThreadRecord;

const CORVclassDecl kThreadDecl = corv::ClassDecl("Thread", sizeof(CORVthread))
                                      .Initializer(ThreadInitializer)
                                      .Events(corv::kThreadEvents);

#define CORV_THREAD_OR_RETURN(thread, ...) \
  if (!(thread)) {                         \
    CORV_REPORT("thread", nullptr);        \
    return __VA_ARGS__;                    \
  }

extern "C" void ThreadInitializer(CORVobject thread) {
  CORV_THREAD_OR_RETURN(thread);
  corv::ThreadOf(thread)->priority = kThreadDefaultPriority;
}

extern "C" void threadRun(CORVobject thread) {
  CORV_THREAD_OR_RETURN(thread);
  if (RecordOf(thread)) {
    corv::String message("You cannot call Run on a thread that is already running.");
    CORVRaiseNewWithMessage(CORVBindDeclaration(&kThreadAlreadyRunningExceptionDecl), message.get(),
                            0);
    return;
  }
  corv::MakeDue(corv::CurrentRecord());
  ThreadRecord *record = corv::NewThreadRecord(corv::ThreadOf(thread));
  auto stackSize = static_cast<std::size_t>(ThreadGetStackSize(thread)) + corv::kRaiseHeadroom;
  record->fiber = corv::platform::CreateFiber(stackSize, &corv::ThreadEntry, record);
  if (!record->fiber) {
    corv::DiscardThreadRecord(record);  // no memory for its stack: it never ran
    corv::RaiseNew(&kOutOfMemoryExceptionDecl);
  }
  corv::SwitchToRecord(record);
}

extern "C" void ThreadKill(CORVobject thread) {
  CORV_THREAD_OR_RETURN(thread);
  ThreadRecord *record = RecordOf(thread);
  if (!record) return;
  corv::Ref<> keep = corv::Ref<>::Share(thread);
  record->suspendCount = 0;
  corv::MakeDue(record);
  if (record == corv::CurrentRecord()) corv::RaiseNew(&kThreadEndExceptionDecl);
  record->killRequested = true;
  ThreadResume(thread);
  // The killed thread raises ThreadEndException in itself when it next runs.
  while (RecordOf(thread) == record)
    if (!corv::SwitchToNextThread()) return;
}

extern "C" void ThreadSleep(CORVobject thread, int32_t milliseconds, bool wakeEarly) {
  CORV_THREAD_OR_RETURN(thread);
  ThreadRecord *record = RecordOf(thread);
  if (!record) return;
  corv::SleepRecord(record, milliseconds, wakeEarly);
  if (record == corv::CurrentRecord()) corv::SwitchToNextThread();
}

extern "C" void ThreadSuspend(CORVobject thread) {
  CORV_THREAD_OR_RETURN(thread);
  ThreadRecord *record = RecordOf(thread);
  if (!record) return;
  ++record->suspendCount;
  record->state |= corv::kThreadSuspendedBit;
  if (record == corv::CurrentRecord()) corv::SwitchToNextThread();
}

extern "C" void ThreadResume(CORVobject thread) {
  CORV_THREAD_OR_RETURN(thread);
  ThreadRecord *record = RecordOf(thread);
  if (!record) return;
  if (record->suspendCount > 0) --record->suspendCount;
  record->state &= ~(corv::kThreadSuspendedBit | corv::kThreadSleepingBit);
  corv::MakeDue(record);
}

extern "C" int32_t ThreadGetState(CORVobject thread) {
  CORV_THREAD_OR_RETURN(thread, kThreadStateNotRunning);
  const ThreadRecord *record = RecordOf(thread);
  if (!record) return kThreadStateNotRunning;
  uint32_t state = record->state;
  if (state == 0) return kThreadStateRunning;
  // A thread can be put to sleep and suspended at once: what keeps it from
  // running longest answers.
  if (state & corv::kThreadWaitingBit) return kThreadStateWaiting;
  if (state & corv::kThreadSuspendedBit) return kThreadStateSuspended;
  if (state & corv::kThreadSleepingBit) return kThreadStateSleeping;
  CORV_REPORT("0", nullptr);
  return kThreadStateRunning;
}

extern "C" int32_t ThreadGetPriority(CORVobject thread) {
  CORV_THREAD_OR_RETURN(thread, 0);
  return corv::ThreadOf(thread)->priority;
}

extern "C" void ThreadSetPriority(CORVobject thread, int32_t priority) {
  CORV_THREAD_OR_RETURN(thread);
  if (priority <= 0) return;
  corv::ThreadOf(thread)->priority = priority;
  if (ThreadRecord *record = RecordOf(thread)) corv::SetRecordPriority(record, priority);
}

extern "C" int32_t ThreadGetStackSize(CORVobject thread) {
  CORV_THREAD_OR_RETURN(thread, 0);
  int32_t size = corv::ThreadOf(thread)->stackSize;
  return size > 0 ? size : kThreadDefaultStackSize;
}

extern "C" void ThreadSetStackSize(CORVobject thread, int32_t bytes) {
  CORV_THREAD_OR_RETURN(thread);
  if (RecordOf(thread)) corv::RaiseNew(&kThreadAlreadyRunningExceptionDecl);
  corv::ThreadOf(thread)->stackSize = bytes > 0 ? bytes : kThreadDefaultStackSize;
}

extern "C" intptr_t ThreadGetID(CORVobject thread) {
  CORV_THREAD_OR_RETURN(thread, 0);
  return reinterpret_cast<intptr_t>(RecordOf(thread));
}

extern "C" CORVobject CORVGetCurrentThread(void) {
  CORVthread *thread = corv::CurrentRecord()->thread;
  if (!thread) return nullptr;
  corv::Retain(&thread->header);
  return &thread->header;
}

extern "C" void AppSleepCurrentThread(CORVobject app, int32_t milliseconds) {
  if (!app) {
    CORV_REPORT("self", nullptr);
    return;
  }
  corv::SleepRecord(corv::CurrentRecord(), milliseconds, false);
  corv::SwitchToNextThread();
}
