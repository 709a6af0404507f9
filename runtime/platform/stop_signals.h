// Requests from outside to stop: the signals with which a person (Ctrl-C),
// a closing terminal or a scheduler's time limit ends a program.
#pragma once

namespace corv::platform {

/// From now on the interrupt, terminate and hang-up signals are only noted,
/// so that the program can stop at a point of its choosing and clean up; a
/// second one ends the process at once, as if none had been caught. A
/// signal that was ignored when the program started stays ignored.
void CatchStopSignals();
/// The number of the first stop signal noted, 0 while there was none.
int StopSignal();

}  // namespace corv::platform
