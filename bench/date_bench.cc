// Date conversions between clock fields and TotalSeconds, against the C++
// standard library's calendar conversions in the same run.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

#include "corv.h"
#include "corv/ref.h"

namespace {

// TotalSeconds -> fields: set the seconds, read a field (a day apart each time).
void BM_DateSecondsToFields(benchmark::State &state) {
  auto date = corv::New<CORVdate>(&kDateDecl);
  double seconds = 0;
  int64_t sum = 0;
  for (auto _ : state) {
    dateTotalSecondsSetter(date.object(), seconds);
    sum += dateFieldGetter(date.object(), kDateFieldDay);
    seconds += 86400 + 3661;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DateSecondsToFields);

// Fields -> TotalSeconds: set a field (normalised on the next read) and read
// TotalSeconds.
void BM_DateFieldsToSeconds(benchmark::State &state) {
  auto date = corv::New<CORVdate>(&kDateDecl);
  int32_t day = 1;
  double sum = 0;
  for (auto _ : state) {
    dateFieldSetter(date.object(), kDateFieldDay, day);
    sum += dateTotalSecondsGetter(date.object());
    day = day % 28 + 1;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DateFieldsToSeconds);

// Baseline: std::chrono's days <-> year_month_day, plus the time of day.
void BM_ChronoSecondsToFields(benchmark::State &state) {
  using namespace std::chrono;
  int64_t seconds = 0;
  int64_t sum = 0;
  for (auto _ : state) {
    sys_seconds t{std::chrono::seconds(seconds)};
    auto dayPoint = floor<days>(t);
    year_month_day ymd{dayPoint};
    hh_mm_ss hms{t - dayPoint};
    sum += static_cast<unsigned>(ymd.day()) + hms.hours().count();
    seconds += 86400 + 3661;
    benchmark::DoNotOptimize(seconds);
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChronoSecondsToFields);

void BM_ChronoFieldsToSeconds(benchmark::State &state) {
  using namespace std::chrono;
  unsigned d = 1;
  int64_t sum = 0;
  for (auto _ : state) {
    sys_days dayPoint{year{2008} / March / day{d}};
    sum += (dayPoint.time_since_epoch().count() * 86400) + 9 * 3600 + 7 * 60 + 3;
    d = d % 28 + 1;
    benchmark::DoNotOptimize(d);
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChronoFieldsToSeconds);

}  // namespace
