// The stack check that every compiled function pays on entry, against the one
// comparison it should cost, and the price of a raise once it happens.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "corv.h"
#include "corv/exception.h"

namespace {

// Baseline: one comparison of a stack address against a limit in memory.
void BM_PlainLimitComparison(benchmark::State &state) {
  volatile std::uintptr_t limit = 0x1000;
  int local = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(&local);
    bool low = reinterpret_cast<std::uintptr_t>(&local) < limit;
    benchmark::DoNotOptimize(low);
  }
}
BENCHMARK(BM_PlainLimitComparison);

void BM_RuntimeStackCheck(benchmark::State &state) {
  CORVInitStackChecker(0x40000, 0);
  for (auto _ : state) RuntimeStackCheck();
}
BENCHMARK(BM_RuntimeStackCheck);

// A raise from native code caught one frame up: stack names, hook, throw.
void BM_RaiseAndCatch(benchmark::State &state) {
  for (auto _ : state) {
    corv::Ref<CORVexception> e = corv::CatchAny([] { RaiseNilObjectException(); });
    benchmark::DoNotOptimize(e.get());
  }
}
BENCHMARK(BM_RaiseAndCatch);

}  // namespace
