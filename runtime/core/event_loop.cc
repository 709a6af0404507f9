// The event loop of a console application: one step polls the registered
// objects, fires due timers, polls sockets and runs background tasks, all
// inside the application's exception wrapper; the loop check of compiled
// loops runs the background tasks at most once per tick.
//
// Pitfalls: a poll function, timer action or task may add or remove entries
// while a list is walked, so every walk re-checks its position against the
// list's current size and a timer walk stops when the timer that just fired
// is no longer listed.
#include <vector>

#include "core/app_state.h"
#include "core/event_loop.h"
#include "core/scheduler.h"
#include "corv/ref.h"
#include "lib/string_record.h"
#include "platform/clock.h"

namespace corv {
namespace {

struct PollableEntry {
  CORVobject obj;  // counted
  CORVPollFunction poll;
};

struct BackgroundTask {
  int32_t id;
  CORVBackgroundTaskFunction function;
  void *context;
  uint32_t periodTicks;
  uint32_t lastRun;
  bool disabledWhileLooping;
};

std::vector<PollableEntry> gPollables;  // registration order
std::vector<BackgroundTask> gTasks;
std::vector<CORVtimer *> gTimers;  // not counted: a timer leaves the list when it dies
int32_t gNextTaskId = 1;
bool gUserCancelled = false;
uint32_t gLastLoopTick = 0;
uint32_t gLastEscapeTick = 0;
bool gEscapeChecked = false;
uint32_t gLastTimerPass = 0;
SocketPollHook gSocketPoll = nullptr;

CORVPollFunction FindPollFunction(CORVobject obj) {
  if (!obj->cls) return nullptr;
  CORVclass *pollable = CORVPollableInterface();
  CORVinterfaceEntry *interfaces = CORVClassInterfaces(obj->cls);
  for (uint32_t i = 0; i < obj->cls->interfaceCount; ++i)
    if (interfaces[i].iface == pollable && interfaces[i].vtable)
      return reinterpret_cast<CORVPollFunction>(interfaces[i].vtable[0]);
  return nullptr;
}

void PollAll() {
  for (size_t i = gPollables.size(); i-- > 0;) {
    if (i >= gPollables.size()) continue;
    PollableEntry entry = gPollables[i];
    Ref<> keep = Ref<>::Share(entry.obj);  // the poll may remove its own entry
    if (entry.poll) entry.poll(entry.obj);
  }
}

bool TimerListed(CORVtimer *timer) {
  for (CORVtimer *t : gTimers)
    if (t == timer) return true;
  return false;
}

void FireTimers() {
  uint32_t now = platform::MillisecondCounter();
  if (now == gLastTimerPass) return;
  gLastTimerPass = now;
  for (size_t i = 0; i < gTimers.size(); ++i) {
    CORVtimer *timer = gTimers[i];
    if (!timer->enabled || timer->mode == 0) continue;
    if (now - timer->lastFired <= static_cast<uint32_t>(timer->period)) continue;
    timer->lastFired = now;
    if (timer->mode == 1) timer->mode = 0;
    auto *header = reinterpret_cast<CORVobject>(timer);
    int32_t action = CORVEventIndex(header->cls, "Action");
    auto handler = action < 0 ? nullptr
                              : reinterpret_cast<CORVTimerActionHandler>(
                                    CORVEventHandler(header, static_cast<uint32_t>(action)));
    if (!handler) continue;
    Ref<> keep = Ref<>::Share(header);
    handler(header);
    if (!TimerListed(timer)) return;  // removed by its own action: the walk ends
    for (i = 0; i < gTimers.size() && gTimers[i] != timer; ++i) {
    }
  }
}

// Ticks are 1/60 s: milliseconds × 0.06, truncated.
uint32_t TicksOf(uint32_t milliseconds) {
  return static_cast<uint32_t>(milliseconds * 0.06);
}

// The current tick for the loop check.
uint32_t LoopTick() {
  return TicksOf(platform::CoarseMillisecondCounter());
}

void MainLoopIteration() {
  PollAll();
  FireTimers();
  if (Process().socketsAvailable && gSocketPoll) gSocketPoll();
  gUserCancelled = false;
  RunBackgroundTasks();
  SwitchToReadyThread();
}

}  // namespace

void RunBackgroundTasks() {
  if (gTasks.empty()) return;
  bool anyEnabled = false;
  for (const BackgroundTask &task : gTasks) anyEnabled |= !task.disabledWhileLooping;
  if (!anyEnabled) return;
  uint32_t tick = CORVCurrentTick();
  for (size_t i = gTasks.size(); i-- > 0;) {
    if (i >= gTasks.size()) continue;
    BackgroundTask &task = gTasks[i];
    if (task.disabledWhileLooping || CORVElapsedTicks(task.lastRun, tick) < task.periodTicks)
      continue;
    task.lastRun = tick;
    CORVBackgroundTaskFunction function = task.function;
    void *context = task.context;
    function(context);
  }
}

void SetSocketPollHook(SocketPollHook hook) {
  gSocketPoll = hook;
}

void AddTimer(CORVtimer *timer) {
  if (!TimerListed(timer)) gTimers.push_back(timer);
}

void RemoveTimer(CORVtimer *timer) {
  for (size_t i = 0; i < gTimers.size(); ++i)
    if (gTimers[i] == timer) {
      gTimers.erase(gTimers.begin() + static_cast<ptrdiff_t>(i));
      return;
    }
}

int PollableEntryCount() {
  return static_cast<int>(gPollables.size());
}

void ResetEventLoopForTest() {
  for (PollableEntry &entry : gPollables) Release(entry.obj);
  gPollables.clear();
  gTasks.clear();
  gUserCancelled = false;
  gEscapeChecked = false;
}

}  // namespace corv

extern "C" uint32_t CORVCurrentMilliseconds(void) {
  return corv::platform::MillisecondCounter();
}

extern "C" uint32_t CORVCurrentTick(void) {
  return corv::TicksOf(corv::platform::MillisecondCounter());
}

extern "C" uint32_t CORVElapsedTicks(uint32_t earlier, uint32_t later) {
  // Ticks run from 0 to 2^32 × 0.06 (truncated), then start again at 0.
  constexpr uint32_t kTicksPerRound = 257698038;
  return later >= earlier ? later - earlier : later + (kTicksPerRound - earlier);
}

extern "C" void RuntimeDoEvents(int32_t milliseconds) {
  // Only the main cooperative thread polls; any other merely yields.
  if (corv::OnMainThread())
    CORVCallThroughApplication(&corv::MainLoopIteration);
  else
    corv::SwitchToNextThread();
  if (milliseconds < 0) return;
  // The process sleeps only while no other thread is ready.
  corv::SleepRecord(corv::CurrentRecord(), milliseconds, false);
  corv::SwitchToNextThread();
}

extern "C" void RuntimeBackgroundTask(void) {
  // Called in every iteration of every compiled loop: the tick comes from
  // the coarse clock, whose lag of a few milliseconds is far below a tick.
  uint32_t tick = corv::LoopTick();
  if (tick == corv::gLastLoopTick) return;
  corv::gLastLoopTick = tick;
  corv::RunBackgroundTasks();
  if (!corv::gEscapeChecked || tick < corv::gLastEscapeTick || tick - corv::gLastEscapeTick > 60) {
    corv::gEscapeChecked = true;
    corv::gLastEscapeTick = tick;
    corv::gUserCancelled = corv::platform::EscapeKeyDown();
  }
  corv::gLastLoopTick = corv::LoopTick();
}

extern "C" bool getUserCancelled(void) {
  return corv::gUserCancelled;
}

extern "C" void ApplicationAddPollableObject(CORVobject app, CORVobject obj) {
  (void)app;  // one console application: its list is the poll list
  if (!obj) {
    CORV_REPORT("base", nullptr);
    return;
  }
  corv::Retain(obj);
  corv::gPollables.push_back({obj, corv::FindPollFunction(obj)});
}

extern "C" void ApplicationRemovePollableObject(CORVobject app, CORVobject obj) {
  (void)app;
  for (size_t i = corv::gPollables.size(); i-- > 0;) {
    if (corv::gPollables[i].obj != obj) continue;
    corv::gPollables.erase(corv::gPollables.begin() + static_cast<ptrdiff_t>(i));
    corv::Release(obj);
  }
}

extern "C" CORVclass *CORVPollableInterface(void) {
  static CORVclass *pollable = [] {
    CORVclass *cls = RuntimeNewClass(nullptr, 1, 0, 0, 0, 0, 0);
    cls->name = corv::MakePermanentString("_Pollable");
    cls->isInterface = 1;
    cls->methods[0].name = corv::MakePermanentString("Poll");
    return cls;
  }();
  return pollable;
}

extern "C" int32_t PluginRegisterBackgroundTask(CORVBackgroundTaskFunction task, void *context,
                                                uint32_t periodTicks, bool disabledWhileLooping) {
  if (!task) return 0;
  int32_t id = corv::gNextTaskId++;
  corv::gTasks.push_back({id, task, context, periodTicks, CORVCurrentTick(), disabledWhileLooping});
  return id;
}

extern "C" void PluginUnregisterBackgroundTask(int32_t task) {
  for (size_t i = 0; i < corv::gTasks.size(); ++i)
    if (corv::gTasks[i].id == task) {
      corv::gTasks.erase(corv::gTasks.begin() + static_cast<ptrdiff_t>(i));
      return;
    }
}
