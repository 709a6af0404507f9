/* The event loop: DoEvents, the loop check of compiled loops, pollable
 * objects, background tasks and the runtime's Timer class. */
#ifndef CORV_EVENT_LOOP_H
#define CORV_EVENT_LOOP_H

#include <stdbool.h>

#include "corv_object.h"

CORV_BEGIN_DECLS

void RuntimeDoEvents(int32_t milliseconds);
void ApplicationAddPollableObject(CORVobject app, CORVobject obj);
void ApplicationRemovePollableObject(CORVobject app, CORVobject obj);
void RuntimeBackgroundTask(void);
bool getUserCancelled(void);

/* The `_Pollable` interface: one method, `Poll`, in slot 0 of the vtable an
 * implementing class gives for it. */
CORVclass *CORVPollableInterface(void);
typedef void (*CORVPollFunction)(CORVobject obj);

/* Background tasks (plugins register theirs through these). */
typedef void (*CORVBackgroundTaskFunction)(void *context);
int32_t PluginRegisterBackgroundTask(CORVBackgroundTaskFunction task, void *context,
                                     uint32_t periodTicks, bool disabledWhileLooping);
void PluginUnregisterBackgroundTask(int32_t task);

/* The millisecond counter (unsigned, wrapping). */
uint32_t CORVCurrentMilliseconds(void);
/* The tick (1/60 s) now: the millisecond counter × 0.06, truncated. */
uint32_t CORVCurrentTick(void);

/* The ticks from `earlier` to `later`, both read from the tick counter,
 * also when the counter went round in between: it restarts at 0 when the
 * millisecond counter wraps (every 49.7 days), so deadlines compare elapsed
 * ticks rather than absolute values. */
uint32_t CORVElapsedTicks(uint32_t earlier, uint32_t later);

/* Timer: fires its Action event after `Period` milliseconds, once (mode 1)
 * or repeatedly (mode 2), from inside event-loop steps. */
typedef struct CORVtimer {
  CORVobjectHeader header;
  bool enabled;
  int32_t mode;   /* 0 off, 1 single, 2 multiple */
  int32_t period; /* milliseconds */
  uint32_t lastFired;
} CORVtimer;
extern const CORVclassDecl kTimerDecl;
typedef void (*CORVTimerActionHandler)(CORVobject timer);
void TimerModeSetter(CORVobject timer, int32_t mode);
void TimerPeriodSetter(CORVobject timer, int32_t period);
void TimerEnabledSetter(CORVobject timer, bool enabled);
void TimerReset(CORVobject timer);

CORV_END_DECLS

#endif
