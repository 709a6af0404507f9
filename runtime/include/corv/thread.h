// Threads and locks as the application uses them: Ref<Thread>, Ref<Semaphore>,
// Ref<CriticalSection>, Ref<Mutex> with the language's members. Each member
// is the entry point of the same meaning; a thread's body is the Run event
// handler of its class (or of a subclass declared over kThreadDecl).
#pragma once

#include <cstdint>

#include "corv/ref.h"
#include "corv_thread.h"

namespace corv {

/// The Thread record with the language's members (it adds no fields).
struct Thread : CORVthread {
  static Ref<Thread> New(const CORVclassDecl *decl = &kThreadDecl) {
    return corv::New<Thread>(decl);
  }
  /// The running thread; nil on the main thread.
  static Ref<Thread> Current() { return Ref<Thread>::Adopt(CORVGetCurrentThread()); }

  void Run() { threadRun(self()); }
  void Kill() { ThreadKill(self()); }
  void Sleep(int32_t milliseconds, bool wakeEarly = false) {
    ThreadSleep(self(), milliseconds, wakeEarly);
  }
  void Suspend() { ThreadSuspend(self()); }
  void Resume() { ThreadResume(self()); }
  int32_t State() { return ThreadGetState(self()); }
  int32_t Priority() { return ThreadGetPriority(self()); }
  void SetPriority(int32_t priority) { ThreadSetPriority(self(), priority); }
  int32_t StackSize() { return ThreadGetStackSize(self()); }
  void SetStackSize(int32_t bytes) { ThreadSetStackSize(self(), bytes); }
  intptr_t ThreadID() { return ThreadGetID(self()); }

 private:
  CORVobject self() { return reinterpret_cast<CORVobject>(this); }
};

/// Lets the next ready thread run.
inline void YieldToNextThread() {
  ::YieldToNextThread();
}

struct Semaphore : CORVsemaphore {
  static Ref<Semaphore> New(int32_t count = 1) {
    Ref<Semaphore> semaphore = corv::New<Semaphore>(&kSemaphoreDecl);
    SemaphoreConstructor(semaphore.object(), count);
    return semaphore;
  }
  void Signal() { Semaphore_Signal(self()); }
  bool TrySignal() { return Semaphore_TrySignal(self()); }
  void Release() { semaphore_release(self()); }

 private:
  CORVobject self() { return reinterpret_cast<CORVobject>(this); }
};

struct CriticalSection : CORVcriticalSection {
  static Ref<CriticalSection> New() { return corv::New<CriticalSection>(&kCriticalSectionDecl); }
  void Enter() { criticalsection_enter(self()); }
  bool TryEnter() { return CriticalSection_TryEnter(self()); }
  void Leave() { criticalsection_leave(self()); }

 private:
  CORVobject self() { return reinterpret_cast<CORVobject>(this); }
};

struct Mutex : CORVcriticalSection {
  static Ref<Mutex> New() { return corv::New<Mutex>(&kMutexDecl); }
  void Lock() { MutexLock(self()); }
  bool TryLock() { return MutexTryLock(self()); }
  void Unlock() { MutexUnlock(self()); }

 private:
  CORVobject self() { return reinterpret_cast<CORVobject>(this); }
};

}  // namespace corv
