// Appending to a String array through its operation table (UBound, then
// Insert at UBound + 1, as compiled code does) against push_back on a
// std::vector<std::string>, measured in the same run at 10k, 100k and 1M
// elements. The per_append counter shows whether the cost per append
// stays flat as the array grows.
//
// The growth increment stops doubling at 131072 elements, so past 262128
// elements the buffer grows by a constant step. Growing by a fresh buffer
// and a copy would make long runs of appends quadratic; the array grows
// with realloc, which extends or remaps the block instead. The long-run
// pair shows both at 1M and 4M appends.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "corv.h"

namespace {

// 12 bytes fit std::string's inline buffer (its best case); 40 do not.
std::string Line(int64_t length) {
  return std::string(static_cast<size_t>(length), 'x');
}

void SetPerAppend(benchmark::State &state, int64_t appends) {
  // Seconds of CPU time per append, printed with its SI prefix ("17n").
  state.counters["per_append"] = benchmark::Counter(
      static_cast<double>(appends),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_StringArrayAppend(benchmark::State &state) {
  const int64_t appends = state.range(0);
  std::string text = Line(state.range(1));
  CORVstring line =
      RuntimeCreateString(text.data(), static_cast<int32_t>(text.size()), kEncodingUTF8);
  for (auto _ : state) {
    CORVobject array = CreateArray(1, kCORVArrayString, -1);
    for (int64_t i = 0; i < appends; ++i) CORVArrayAppendString(array, line);
    benchmark::DoNotOptimize(array);
    RuntimeUnlockObject(array);
  }
  RuntimeUnlockString(line);
  SetPerAppend(state, appends);
}

void BM_VectorStringPushBack(benchmark::State &state) {
  const int64_t appends = state.range(0);
  std::string line = Line(state.range(1));
  for (auto _ : state) {
    std::vector<std::string> lines;
    for (int64_t i = 0; i < appends; ++i) lines.push_back(line);
    benchmark::DoNotOptimize(lines.data());
  }
  SetPerAppend(state, appends);
}

void Sizes(benchmark::internal::Benchmark *b) {
  for (int64_t length : {12, 40})
    for (int64_t appends : {10000, 100000, 1000000}) b->Args({appends, length});
  b->ArgNames({"appends", "bytes"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_StringArrayAppend)->Apply(Sizes);
BENCHMARK(BM_VectorStringPushBack)->Apply(Sizes);

// The same growth rule applied by allocating a new buffer and copying the
// elements into it at every growth: the cost that realloc avoids.
void BM_GrowthRuleWithCopy(benchmark::State &state) {
  const int64_t appends = state.range(0);
  for (auto _ : state) {
    void **buffer = nullptr;
    int64_t capacity = 0, increment = 16;
    for (int64_t i = 0; i < appends; ++i) {
      if (i == capacity) {
        auto *grown = static_cast<void **>(std::malloc((capacity + increment) * sizeof(void *)));
        if (capacity) std::memcpy(grown, buffer, capacity * sizeof(void *));
        std::free(buffer);
        buffer = grown;
        capacity += increment;
        if (increment < 0x20000) increment *= 2;
      }
      buffer[i] = &state;
    }
    benchmark::DoNotOptimize(buffer);
    std::free(buffer);
  }
  SetPerAppend(state, appends);
}

void LongRuns(benchmark::internal::Benchmark *b) {
  b->Args({1000000, 12})->Args({4000000, 12})->ArgNames({"appends", "bytes"});
  b->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_StringArrayAppend)->Name("BM_StringArrayAppendLongRun")->Apply(LongRuns);
BENCHMARK(BM_GrowthRuleWithCopy)->Apply(LongRuns);

}  // namespace
