// Stop requests on Windows: Ctrl-C, Ctrl-Break and the closing of the
// console window reach a handler that the system runs on a thread of its
// own. It notes the request under the number of the matching C signal
// (SIGINT 2, SIGBREAK 21, and 1 for the closing window, which has no signal
// of its own) and sets the stop event; a second request is left to the
// system, which ends the process. A Ctrl-C that the process was started to
// ignore never reaches the handler.
#include "platform/stop_signals.h"

#include <windows.h>

#include <atomic>

#include "platform/windows/stop_event.h"

namespace corv::platform {
namespace {

std::atomic<int> gStopSignal{0};

BOOL WINAPI NoteStopRequest(DWORD request) {
  int signal;
  switch (request) {
    case CTRL_C_EVENT:
      signal = 2;
      break;
    case CTRL_BREAK_EVENT:
      signal = 21;
      break;
    case CTRL_CLOSE_EVENT:
      signal = 1;
      break;
    default:
      return FALSE;  // log-off and shut-down: the system's own handling
  }
  int none = 0;
  if (!gStopSignal.compare_exchange_strong(none, signal)) return FALSE;  // asked twice
  SetEvent(StopEvent());
  return TRUE;
}

}  // namespace

HANDLE StopEvent() {
  static HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

void CatchStopSignals() {
  StopEvent();
  SetConsoleCtrlHandler(NoteStopRequest, TRUE);
}

int StopSignal() {
  return gStopSignal.load();
}

}  // namespace corv::platform
