// The runtime's minimal Timer class: listed for the event loop while it lives.
#include "core/event_loop.h"
#include "corv.h"
#include "corv/class_decl.h"

namespace {

void TimerInitializer(CORVobject obj) {
  auto *timer = reinterpret_cast<CORVtimer *>(obj);
  timer->enabled = true;
  timer->mode = 2;
  timer->period = 1000;
  timer->lastFired = CORVCurrentMilliseconds();
  corv::AddTimer(timer);
}

void TimerDestructor(CORVobject obj) {
  corv::RemoveTimer(reinterpret_cast<CORVtimer *>(obj));
}

const CORVeventDecl kTimerEvents[] = {{0x804, "Action", "", ""}};

}  // namespace

const CORVclassDecl kTimerDecl = corv::ClassDecl("Timer", sizeof(CORVtimer))
                                     .Initializer(TimerInitializer)
                                     .Destructor(TimerDestructor)
                                     .Events(kTimerEvents);

extern "C" void TimerModeSetter(CORVobject timer, int32_t mode) {
  if (!timer) return RaiseNilObjectException();
  reinterpret_cast<CORVtimer *>(timer)->mode = mode < 0 || mode > 2 ? 0 : mode;
  TimerReset(timer);
}

extern "C" void TimerPeriodSetter(CORVobject timer, int32_t period) {
  if (!timer) return RaiseNilObjectException();
  reinterpret_cast<CORVtimer *>(timer)->period = period < 1 ? 1 : period;
}

extern "C" void TimerEnabledSetter(CORVobject timer, bool enabled) {
  if (!timer) return RaiseNilObjectException();
  reinterpret_cast<CORVtimer *>(timer)->enabled = enabled;
  TimerReset(timer);
}

extern "C" void TimerReset(CORVobject timer) {
  if (!timer) return RaiseNilObjectException();
  reinterpret_cast<CORVtimer *>(timer)->lastFired = CORVCurrentMilliseconds();
}
