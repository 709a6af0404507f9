// The event loop's internal hooks: timers, sockets and tests.
#pragma once

#include "corv.h"

namespace corv {

/// Runs the background tasks that are due (step 6 of the event-loop step).
void RunBackgroundTasks();
/// The IPC socket layer's poll of every open socket (step 4).
using SocketPollHook = void (*)();
void SetSocketPollHook(SocketPollHook hook);
/// Timers enter the list when created and leave it when destroyed.
void AddTimer(CORVtimer *timer);
void RemoveTimer(CORVtimer *timer);
/// Pollable entries now (tests).
int PollableEntryCount();
/// Drops every pollable entry and background task (tests).
void ResetEventLoopForTest();

}  // namespace corv
