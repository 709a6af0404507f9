/* Cooperative threads: the Thread class, switching and sleeping, and the
 * locks built on the scheduler (Semaphore, CriticalSection, Mutex). All
 * threads share the process's one system thread; they change only where a
 * call below switches. */
#ifndef CORV_THREAD_H
#define CORV_THREAD_H

#include <stdbool.h>

#include "corv_object.h"

CORV_BEGIN_DECLS

/* Thread's fields after the object header. */
typedef struct CORVthread {
  CORVobjectHeader header;
  void *running;     /* the scheduler's record while the thread runs, else null */
  int32_t stackSize; /* bytes; 0 or less: the default */
  int32_t priority;  /* run-queue slots per cycle */
} CORVthread;

extern const CORVclassDecl kThreadDecl;
/* The handler of a thread's Run event. */
typedef void (*CORVThreadRunHandler)(CORVobject thread);

enum { kThreadDefaultStackSize = 0xE2000, kThreadDefaultPriority = 5 };
/* ThreadGetState's answers. */
enum {
  kThreadStateRunning = 0,
  kThreadStateWaiting = 1,
  kThreadStateSuspended = 2,
  kThreadStateSleeping = 3,
  kThreadStateNotRunning = 4
};

void ThreadInitializer(CORVobject thread);
void threadRun(CORVobject thread);
void ThreadKill(CORVobject thread);
void ThreadSleep(CORVobject thread, int32_t milliseconds, bool wakeEarly);
void ThreadSuspend(CORVobject thread);
void ThreadResume(CORVobject thread);
int32_t ThreadGetState(CORVobject thread);
int32_t ThreadGetPriority(CORVobject thread);
void ThreadSetPriority(CORVobject thread, int32_t priority);
int32_t ThreadGetStackSize(CORVobject thread);
void ThreadSetStackSize(CORVobject thread, int32_t bytes);
/* The running thread's record address (0 when not running): a pointer-sized
 * integer, since an address does not fit in 32 bits here. */
intptr_t ThreadGetID(CORVobject thread);
void YieldToNextThread(void);
/* The running thread's Thread object with a new reference; nil on the main
 * thread. */
CORVobject CORVGetCurrentThread(void);
/* ConsoleApplication.SleepCurrentThread: the running thread sleeps. */
void AppSleepCurrentThread(CORVobject app, int32_t milliseconds);

/* The threads waiting on a lock, in arrival order (the runtime's nodes). */
typedef struct CORVwaitQueue {
  void *first;
  void *last;
} CORVwaitQueue;

/* Semaphore: a count of free units; Signal takes one, waiting while there
 * is none, and Release gives one back to the first waiter or the count. */
typedef struct CORVsemaphore {
  CORVobjectHeader header;
  int32_t count;
  CORVwaitQueue waiters;
} CORVsemaphore;
extern const CORVclassDecl kSemaphoreDecl;
void SemaphoreInitializer(CORVobject semaphore); /* one unit */
void SemaphoreConstructor(CORVobject semaphore, int32_t count);
void SemaphoreFinalizer(CORVobject semaphore);
void Semaphore_Signal(CORVobject semaphore);
bool Semaphore_TrySignal(CORVobject semaphore);
void semaphore_release(CORVobject semaphore);

/* CriticalSection, and Mutex (its subclass): one owning thread at a time,
 * which may enter again; each entry is left once. */
typedef struct CORVcriticalSection {
  CORVobjectHeader header;
  void *owner; /* the owning thread's record */
  int32_t entries;
  CORVwaitQueue waiters;
} CORVcriticalSection;
extern const CORVclassDecl kCriticalSectionDecl;
extern const CORVclassDecl kMutexDecl;
void CriticalSectionInitializer(CORVobject section);
void CriticalSectionFinalizer(CORVobject section);
void criticalsection_enter(CORVobject section);
bool CriticalSection_TryEnter(CORVobject section);
void criticalsection_leave(CORVobject section);
void MutexInitializer(CORVobject mutex);
void MutexFinalizer(CORVobject mutex);
void MutexLock(CORVobject mutex);
bool MutexTryLock(CORVobject mutex);
void MutexUnlock(CORVobject mutex);

CORV_END_DECLS

#endif
