// The single-threaded event loop: the loop check of compiled loops when the
// tick has changed and when it has not, and one event-loop step, each with
// only the main thread alive (what kilnrun pays in its waiting loops).
#include <benchmark/benchmark.h>

#include <cstdint>

#include "corv.h"
#include "platform/clock.h"

namespace {

void BM_LoopCheckSameTick(benchmark::State &state) {
  for (auto _ : state) RuntimeBackgroundTask();
}
BENCHMARK(BM_LoopCheckSameTick);

// The clock is stepped by one tick before every check, so each check does
// the whole of its work (no background task is registered).
void BM_LoopCheckNewTick(benchmark::State &state) {
  uint32_t now = corv::platform::MillisecondCounter();
  for (auto _ : state) {
    now += 17;
    corv::platform::FixMillisecondCounterForTest(now);
    RuntimeBackgroundTask();
  }
  corv::platform::ResumeSystemClockForTest();
}
BENCHMARK(BM_LoopCheckNewTick);

// DoEvents(-1): one event-loop step with no pollable object, and no sleep.
void BM_EventLoopStep(benchmark::State &state) {
  RuntimeRegisterConsoleAppObject(nullptr, false);
  for (auto _ : state) RuntimeDoEvents(-1);
}
BENCHMARK(BM_EventLoopStep);

}  // namespace
