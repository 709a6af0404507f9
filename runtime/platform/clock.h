// Time for the event loop: the millisecond counter, sleeping and the
// Escape-key check.
#pragma once

#include <cstdint>

namespace corv::platform {

/// The system millisecond up-time counter, as an unsigned 32-bit value.
uint32_t MillisecondCounter();
/// The same counter from a clock that is read without asking the hardware
/// and may lag by up to one scheduler interval (a few milliseconds): cheap
/// enough for a check made in every iteration of a loop, and precise enough
/// for anything counted in 1/60-second ticks.
uint32_t CoarseMillisecondCounter();
/// Tests: both counters read `milliseconds` from now on, so that a test
/// steps the time itself, until ResumeSystemClockForTest.
void FixMillisecondCounterForTest(uint32_t milliseconds);
void ResumeSystemClockForTest();
/// Tests: both counters run on, moved by `shift` milliseconds (wrapping), so
/// that "now" can lie just before the counter wraps; 0 restores them.
void ShiftMillisecondCounterForTest(uint32_t shift);
/// The processor time the process has used so far, in milliseconds (how
/// tests tell sleeping from spinning).
double ProcessorMilliseconds();
/// Sleeps the whole process thread; 0 merely gives the processor up.
void SleepMilliseconds(uint32_t milliseconds);
/// Whether the Escape key is down: read without blocking from standard
/// input, only when it is a terminal.
bool EscapeKeyDown();

}  // namespace corv::platform
