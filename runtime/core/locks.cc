// Semaphore, CriticalSection and Mutex: blocking locks built on the
// scheduler. A thread that must wait queues a node on its own stack, raises
// its suspend count and switches away; whoever frees the lock hands it to
// the first node in the queue (arrival order) and lowers that thread's
// suspend count again. A waiter that leaves early (killed, or every thread
// waits) takes its node out, or passes on what it was handed.
#include <memory>

#include "core/scheduler.h"
#include "corv/class_decl.h"
#include "corv/exception.h"
#include "corv/ref.h"
#include "corv/string.h"

namespace corv {
namespace {

struct Waiter {
  ThreadRecord *record;
  bool granted = false;
  Waiter *next = nullptr;
};

void Enqueue(CORVwaitQueue &queue, Waiter *waiter) {
  if (auto *last = static_cast<Waiter *>(queue.last))
    last->next = waiter;
  else
    queue.first = waiter;
  queue.last = waiter;
}

void Remove(CORVwaitQueue &queue, Waiter *waiter) {
  Waiter *previous = nullptr;
  for (auto *node = static_cast<Waiter *>(queue.first); node; previous = node, node = node->next) {
    if (node != waiter) continue;
    (previous ? previous->next : reinterpret_cast<Waiter *&>(queue.first)) = node->next;
    if (queue.last == node) queue.last = previous;
    return;
  }
}

// Takes the first waiter out of the queue and lets its thread run again;
// null when nobody waits.
Waiter *GrantFirst(CORVwaitQueue &queue) {
  auto *waiter = static_cast<Waiter *>(queue.first);
  if (!waiter) return nullptr;
  Remove(queue, waiter);
  waiter->granted = true;
  ThreadRecord *record = waiter->record;
  if (record->suspendCount > 0) --record->suspendCount;
  record->state &= ~kThreadWaitingBit;
  return waiter;
}

// Waits in the lock's queue until the lock is handed over. `giveBack` frees
// what was handed over when the wait ends in an exception after all.
void WaitForGrant(CORVobject lock, CORVwaitQueue &queue, void (*giveBack)(CORVobject)) {
  Ref<> keep = Ref<>::Share(lock);  // nobody frees a lock while it is waited on
  ThreadRecord *self = CurrentRecord();
  // On the heap rather than this stack: the queue outlives no waiter, but
  // the compiler cannot see that.
  auto node = std::make_unique<Waiter>(Waiter{self});
  Waiter &waiter = *node;
  Enqueue(queue, &waiter);
  auto leave = [&] {
    if (waiter.granted) {
      giveBack(lock);
      return;
    }
    Remove(queue, &waiter);
    if (self->suspendCount > 0) --self->suspendCount;
    self->state &= ~kThreadWaitingBit;
  };
  while (!waiter.granted) {
    // Resumed by someone else meanwhile: not runnable until handed the lock.
    if (self->suspendCount == 0) self->suspendCount = 1;
    self->state |= kThreadWaitingBit;
    bool switched;
    try {
      switched = SwitchToNextThread();
    } catch (...) {
      leave();
      throw;
    }
    if (!switched && !waiter.granted) {
      leave();
      String message("Every thread is waiting for a lock: none can go on.");
      CORVRaiseNewWithMessage(CORVBindDeclaration(&kIllegalLockingExceptionDecl), message.get(), 0);
      return;
    }
  }
}

CORVsemaphore *SemaphoreOf(CORVobject obj) {
  return reinterpret_cast<CORVsemaphore *>(obj);
}
CORVcriticalSection *SectionOf(CORVobject obj) {
  return reinterpret_cast<CORVcriticalSection *>(obj);
}

void ReportWaiters(const CORVwaitQueue &queue) {
  if (queue.first) CORV_REPORT("waiters", "A lock was destroyed while threads waited on it.");
}

}  // namespace
}  // namespace corv

using corv::SectionOf;
using corv::SemaphoreOf;

const CORVclassDecl kSemaphoreDecl = corv::ClassDecl("Semaphore", sizeof(CORVsemaphore))
                                         .Initializer(SemaphoreInitializer)
                                         .Finalizer(SemaphoreFinalizer);
const CORVclassDecl kCriticalSectionDecl =
    corv::ClassDecl("CriticalSection", sizeof(CORVcriticalSection))
        .Initializer(CriticalSectionInitializer)
        .Finalizer(CriticalSectionFinalizer);
const CORVclassDecl kMutexDecl = corv::ClassDecl("Mutex", sizeof(CORVcriticalSection))
                                     .Super(&kCriticalSectionDecl)
                                     .Initializer(MutexInitializer)
                                     .Finalizer(MutexFinalizer);

extern "C" void SemaphoreInitializer(CORVobject semaphore) {
  if (semaphore) SemaphoreOf(semaphore)->count = 1;
}

extern "C" void SemaphoreConstructor(CORVobject semaphore, int32_t count) {
  if (!semaphore) return RaiseNilObjectException();
  SemaphoreOf(semaphore)->count = count > 0 ? count : 0;
}

extern "C" void SemaphoreFinalizer(CORVobject semaphore) {
  corv::ReportWaiters(SemaphoreOf(semaphore)->waiters);
}

extern "C" void Semaphore_Signal(CORVobject semaphore) {
  if (!semaphore) return RaiseNilObjectException();
  if (Semaphore_TrySignal(semaphore)) return;
  corv::WaitForGrant(semaphore, SemaphoreOf(semaphore)->waiters, &semaphore_release);
}

extern "C" bool Semaphore_TrySignal(CORVobject semaphore) {
  if (!semaphore) {
    RaiseNilObjectException();
    return false;
  }
  CORVsemaphore *record = SemaphoreOf(semaphore);
  // Units freed while others wait went to them already: none is left over.
  if (record->count <= 0 || record->waiters.first) return false;
  --record->count;
  return true;
}

extern "C" void semaphore_release(CORVobject semaphore) {
  if (!semaphore) return RaiseNilObjectException();
  CORVsemaphore *record = SemaphoreOf(semaphore);
  if (!corv::GrantFirst(record->waiters)) ++record->count;
}

extern "C" void CriticalSectionInitializer(CORVobject section) {
  if (!section) return;
  SectionOf(section)->owner = nullptr;
  SectionOf(section)->entries = 0;
}

extern "C" void CriticalSectionFinalizer(CORVobject section) {
  corv::ReportWaiters(SectionOf(section)->waiters);
}

extern "C" void criticalsection_enter(CORVobject section) {
  if (!section) return RaiseNilObjectException();
  if (CriticalSection_TryEnter(section)) return;
  corv::WaitForGrant(section, SectionOf(section)->waiters, &criticalsection_leave);
}

extern "C" bool CriticalSection_TryEnter(CORVobject section) {
  if (!section) {
    RaiseNilObjectException();
    return false;
  }
  CORVcriticalSection *record = SectionOf(section);
  corv::ThreadRecord *self = corv::CurrentRecord();
  if (record->owner && record->owner != self) return false;
  record->owner = self;
  ++record->entries;
  return true;
}

extern "C" void criticalsection_leave(CORVobject section) {
  if (!section) return RaiseNilObjectException();
  CORVcriticalSection *record = SectionOf(section);
  if (record->owner != corv::CurrentRecord()) {
    corv::String message("A thread left a critical section it had not entered.");
    CORVRaiseNewWithMessage(CORVBindDeclaration(&kIllegalLockingExceptionDecl), message.get(), 0);
    return;
  }
  if (--record->entries > 0) return;
  record->owner = nullptr;
  if (corv::Waiter *next = corv::GrantFirst(record->waiters)) {
    record->owner = next->record;
    record->entries = 1;
  }
}

extern "C" void MutexInitializer(CORVobject mutex) {
  CriticalSectionInitializer(mutex);
}
extern "C" void MutexFinalizer(CORVobject mutex) {
  CriticalSectionFinalizer(mutex);
}
extern "C" void MutexLock(CORVobject mutex) {
  criticalsection_enter(mutex);
}
extern "C" bool MutexTryLock(CORVobject mutex) {
  return CriticalSection_TryEnter(mutex);
}
extern "C" void MutexUnlock(CORVobject mutex) {
  criticalsection_leave(mutex);
}
