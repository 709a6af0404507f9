// Cooperative threads: a yield between two threads against a bare
// Boost.Context switch pair, a switch among 100 ready threads, and the start
// and end of a thread against creating and joining a system thread.
#include <benchmark/benchmark.h>

#include <boost/context/fiber.hpp>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include "core/scheduler.h"
#include "corv.h"
#include "corv/class_decl.h"
#include "corv/thread.h"

namespace {

std::map<CORVobject, std::function<void()>> gBodies;

void RunBody(CORVobject thread) {
  std::function<void()> body = gBodies[thread];
  body();
}
const CORVhandlerDecl kHandlers[] = {{"Run", reinterpret_cast<void *>(&RunBody)}};
const CORVclassDecl kBenchThreadDecl =
    corv::ClassDecl("BenchThread", sizeof(CORVthread)).Super(&kThreadDecl).Handlers(kHandlers);

corv::Ref<corv::Thread> MakeThread(int32_t priority, std::function<void()> body) {
  corv::Ref<corv::Thread> thread = corv::Thread::New(&kBenchThreadDecl);
  thread->SetPriority(priority);
  gBodies[thread.object()] = std::move(body);
  return thread;
}

void NoSleep(uint32_t) {}

// Runs the benchmark loop on the first of `count` threads of priority 1,
// all yielding in turn, while the main thread sleeps: every yield is then
// one pick and one fiber switch.
void YieldAmong(benchmark::State &state, int count) {
  RuntimeRegisterConsoleAppObject(nullptr, false);
  corv::SetProcessSleepForTest(&NoSleep);
  bool done = false;
  bool started = false;
  std::vector<corv::Ref<corv::Thread>> threads;
  threads.push_back(MakeThread(1, [&] {
    while (!started) YieldToNextThread();
    for (auto _ : state) YieldToNextThread();
    done = true;
  }));
  for (int i = 1; i < count; ++i)
    threads.push_back(MakeThread(1, [&] {
      while (!done) YieldToNextThread();
    }));
  for (auto &thread : threads) thread->Run();
  started = true;  // the main thread sleeps from here on
  for (auto &thread : threads)
    while (thread->State() != kThreadStateNotRunning) RuntimeDoEvents(1000000);
  // Each iteration passes once round all the threads: items are switches.
  state.SetItemsProcessed(state.iterations() * count);
  corv::SetProcessSleepForTest(nullptr);
  gBodies.clear();
}

// One yield of the runner is a switch to the partner and one back, like
// one iteration of the bare switch pair below. The main thread sleeps
// meanwhile: every pick passes its slots and looks at the clock.
void BM_YieldPairBetweenTwoThreads(benchmark::State &state) {
  RuntimeRegisterConsoleAppObject(nullptr, false);
  corv::SetProcessSleepForTest(&NoSleep);
  bool done = false;
  corv::Ref<corv::Thread> partner = MakeThread(1, [&] {
    while (!done) YieldToNextThread();
  });
  corv::Ref<corv::Thread> runner = MakeThread(1, [&] {
    for (auto _ : state) YieldToNextThread();
    done = true;
  });
  partner->Run();
  runner->Run();
  while (partner->State() != kThreadStateNotRunning || runner->State() != kThreadStateNotRunning)
    RuntimeDoEvents(1000000);
  corv::SetProcessSleepForTest(nullptr);
  gBodies.clear();
}
BENCHMARK(BM_YieldPairBetweenTwoThreads);

// The same with the main thread as the runner: the two threads are all
// there is, none of them asleep.
void BM_YieldPairMainAndOneThread(benchmark::State &state) {
  RuntimeRegisterConsoleAppObject(nullptr, false);
  bool done = false;
  corv::Ref<corv::Thread> partner = MakeThread(5, [&] {
    while (!done) YieldToNextThread();
  });
  partner->Run();
  for (auto _ : state) YieldToNextThread();
  done = true;
  while (partner->State() != kThreadStateNotRunning) YieldToNextThread();
  gBodies.clear();
}
BENCHMARK(BM_YieldPairMainAndOneThread);

// The same with both threads at priority 1, so that every yield switches:
// one iteration is a switch to the partner and one back, as in the bare pair.
void BM_YieldSwitchMainAndOneThread(benchmark::State &state) {
  RuntimeRegisterConsoleAppObject(nullptr, false);
  bool done = false;
  corv::Ref<corv::Thread> partner = MakeThread(1, [&] {
    while (!done) YieldToNextThread();
  });
  partner->Run();
  corv::SetRecordPriority(corv::MainRecord(), 1);
  for (auto _ : state) YieldToNextThread();
  done = true;
  while (partner->State() != kThreadStateNotRunning) YieldToNextThread();
  corv::SetRecordPriority(corv::MainRecord(), kThreadDefaultPriority);
  gBodies.clear();
}
BENCHMARK(BM_YieldSwitchMainAndOneThread);

void BM_BareFiberSwitchPair(benchmark::State &state) {
  namespace ctx = boost::context;
  bool done = false;
  ctx::fiber partner([&](ctx::fiber &&back) {
    while (!done) back = std::move(back).resume();
    return std::move(back);
  });
  for (auto _ : state) partner = std::move(partner).resume();
  done = true;
  partner = std::move(partner).resume();
}
BENCHMARK(BM_BareFiberSwitchPair);

void BM_SwitchAmong100Threads(benchmark::State &state) {
  YieldAmong(state, 100);
}
BENCHMARK(BM_SwitchAmong100Threads);

void BM_StartAndEndThread(benchmark::State &state) {
  corv::Ref<corv::Thread> thread = MakeThread(5, [] {});
  for (auto _ : state) thread->Run();
  YieldToNextThread();  // frees the last record
  gBodies.clear();
}
BENCHMARK(BM_StartAndEndThread);

void BM_SystemThreadCreateAndJoin(benchmark::State &state) {
  for (auto _ : state) std::thread([] {}).join();
}
BENCHMARK(BM_SystemThreadCreateAndJoin);

}  // namespace
