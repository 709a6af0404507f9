// Stop signals on POSIX: the handler only notes the signal (all it may do
// safely there); the program looks at the note when it polls or waits.
#include "platform/stop_signals.h"

#include <signal.h>

#include <initializer_list>

namespace corv::platform {
namespace {

volatile sig_atomic_t gStopSignal = 0;

void NoteStopSignal(int signal) {
  if (gStopSignal != 0) {
    // Asked twice: end as the signal would have ended an unprepared process.
    ::signal(signal, SIG_DFL);
    raise(signal);
    return;
  }
  gStopSignal = signal;
}

}  // namespace

void CatchStopSignals() {
  struct sigaction action = {};
  action.sa_handler = NoteStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
  // Reads, writes and waits carry on where they were; sleeps end early (the
  // clock looks at the note) and polls come back on their own.
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // One ignored from the start stays so: nohup, or a shell's background
    // job that the terminal's Ctrl-C is not meant for.
    struct sigaction before;
    if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

int StopSignal() {
  return gStopSignal;
}

}  // namespace corv::platform
